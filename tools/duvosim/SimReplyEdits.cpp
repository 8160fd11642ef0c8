// Reply edits of a simulated instrument: status fields that answer a text of the test's
// choosing (a state of 5, a hold of "maybe", a count of "12.5"), decimals written with ','
// as old firmware does, and replies that say ErrCode 0 yet lack an element.

#include "SimInstrument.h"

#include <tinyxml.h>

namespace duvosim {

namespace {

TiXmlElement *findElement(TiXmlElement *parent, const std::string &name)
{
    for (TiXmlElement *e = parent->FirstChildElement(); e; e = e->NextSiblingElement()) {
        if (name == e->Value())
            return e;
        if (TiXmlElement *inner = findElement(e, name))
            return inner;
    }
    return nullptr;
}

void setText(TiXmlElement *e, const std::string &text)
{
    while (TiXmlNode *child = e->FirstChild())
        e->RemoveChild(child);
    if (!text.empty())
        e->LinkEndChild(new TiXmlText(text));
}

const char *const DecimalStatusFields[] = {"TotalTime",    "TimeLeft",    "TargetTemp",
                                           "TargetTempInc", "HoldTime",   "HoldTimeInc",
                                           "HoldTimeLeft", "RampTime",    "RampRate"};

} // namespace

void SimInstrument::setStatusOverride(const std::string &field, const std::string &text)
{
    std::lock_guard l(FMutex);
    FStatusOverrides[field] = text;
}

void SimInstrument::clearStatusOverrides()
{
    std::lock_guard l(FMutex);
    FStatusOverrides.clear();
    FCommaDecimals = false;
}

void SimInstrument::setCommaDecimals(bool on)
{
    std::lock_guard l(FMutex);
    FCommaDecimals = on;
}

void SimInstrument::setReplyWithout(const std::string &command, const std::string &element)
{
    std::lock_guard l(FMutex);
    FReplyWithout[command] = element;
}

void SimInstrument::clearReplyWithout()
{
    std::lock_guard l(FMutex);
    FReplyWithout.clear();
}

void SimInstrument::editReplyLocked(const std::string &command, std::string &reply) const
{
    const bool status = command == "GetStatus" && (!FStatusOverrides.empty() || FCommaDecimals);
    const auto without = FReplyWithout.find(command);
    if (!status && without == FReplyWithout.end())
        return;
    TiXmlDocument doc;
    doc.Parse(reply.c_str(), nullptr, TIXML_ENCODING_UTF8);
    TiXmlElement *root = doc.RootElement();
    TiXmlElement *cmd = root ? root->FirstChildElement() : nullptr;
    if (doc.Error() || !cmd)
        return;
    if (status) {
        if (FCommaDecimals)
            for (const char *name : DecimalStatusFields)
                if (TiXmlElement *e = cmd->FirstChildElement(name); e && e->GetText()) {
                    std::string t = e->GetText();
                    for (char &c : t)
                        if (c == '.')
                            c = ',';
                    setText(e, t);
                }
        for (const auto &[name, text] : FStatusOverrides)
            if (TiXmlElement *e = cmd->FirstChildElement(name.c_str()))
                setText(e, text);
    }
    if (without != FReplyWithout.end())
        if (TiXmlElement *e = findElement(cmd, without->second))
            e->Parent()->RemoveChild(e);
    TiXmlPrinter printer;
    printer.SetIndent("");
    printer.SetLineBreak("");
    doc.Accept(&printer);
    reply = printer.Str();
}

} // namespace duvosim
