#include "protocols/ProtocolDocument.h"

#include "link/CommandDocs.h"
#include "protocols/ProtocolDocumentReader.h"

#include "protocols/CyclerStepRecord.h"

#include <tinyxml.h>

#include <cstdio>

namespace duvo {

namespace {

// The element's text into `out` when it has one (an empty element leaves `out` empty); false
// when the element is missing or its text is wider than `width`.
bool childText(const TiXmlElement *parent, const char *name, size_t width, std::string &out)
{
    const TiXmlElement *e = parent ? parent->FirstChildElement(name) : nullptr;
    if (!e)
        return false;
    out.clear();
    if (const char *t = e->GetText())
        out = t;
    return out.size() <= width;
}

} // namespace

ParsedProtocolDocument::ParsedProtocolDocument(const std::string &text)
    : FDocument(std::make_unique<TiXmlDocument>())
{
    // The instruments' parser settings: bytes one by one and bounded nesting (the UTF-8 path
    // reads past the end of a text cut inside a multi-byte sequence).
    if (!ParseInstrumentXml(*FDocument, text))
        return;
    const TiXmlElement *root = FDocument->FirstChildElement("Root");
    FProtocol = root ? root->FirstChildElement("CyclerProtocol") : nullptr;
    const TiXmlElement *steps = FProtocol ? FProtocol->FirstChildElement("CyclerSteps") : nullptr;
    for (const TiXmlElement *e = steps ? steps->FirstChildElement("CyclerStep") : nullptr; e;
         e = e->NextSiblingElement("CyclerStep"))
        FSteps.push_back(e);
}

ParsedProtocolDocument::~ParsedProtocolDocument() = default;

bool ParsedProtocolDocument::stepCount(std::string &count) const
{
    return childText(FProtocol, "NumberOfSteps", StepCountTextWidth, count);
}

const TiXmlElement *ParsedProtocolDocument::step(int index) const
{
    if (index < 0 || size_t(index) >= FSteps.size())
        return nullptr;
    const TiXmlElement *e = FSteps[size_t(index)];
    const char *attribute = e->Attribute("Index");
    const auto value = attribute ? ParseInteger(attribute) : std::nullopt;
    return (value && *value == index) ? e : nullptr;
}

bool ParsedProtocolDocument::stepType(int index, std::string &stepType) const
{
    return childText(step(index), "StepType", StepTypeTextWidth, stepType);
}

bool ParsedProtocolDocument::temperatureStep(int index, TemperatureStepTexts &s) const
{
    const TiXmlElement *e = step(index);
    return childText(e, "StepType", StepTypeTextWidth, s.StepType)
        && childText(e, "PlateRead", StepFlagTextWidth, s.PlateRead)
        && childText(e, "Temperature", StepNumberTextWidth, s.Temperature)
        && childText(e, "TemperatureIncrementPerCycle", StepNumberTextWidth, s.TemperatureIncrementPerCycle)
        && childText(e, "IncubationTime", StepNumberTextWidth, s.IncubationTime)
        && childText(e, "InfiniteHoldOn", StepFlagTextWidth, s.InfiniteHoldOn)
        && childText(e, "IncubationTimeIncrementPerCycle", StepNumberTextWidth, s.IncubationTimeIncrementPerCycle)
        && childText(e, "RampRate", StepNumberTextWidth, s.RampRate);
}

bool ParsedProtocolDocument::loopStep(int index, LoopStepTexts &l) const
{
    const TiXmlElement *e = step(index);
    return childText(e, "NumberOfCyclesToLoop", LoopCountTextWidth, l.NumberOfCyclesToLoop)
        && childText(e, "NumberOfStepsInsideLoop", LoopCountTextWidth, l.NumberOfStepsInsideLoop);
}

bool ReadProtocolStepCount(const std::string &text, std::string &count)
{
    return ParsedProtocolDocument(text).stepCount(count);
}

bool ReadProtocolStepType(const std::string &text, int index, std::string &stepType)
{
    return ParsedProtocolDocument(text).stepType(index, stepType);
}

bool ReadTemperatureStep(const std::string &text, int index, TemperatureStepTexts &step)
{
    return ParsedProtocolDocument(text).temperatureStep(index, step);
}

bool ReadLoopStep(const std::string &text, int index, LoopStepTexts &loop)
{
    return ParsedProtocolDocument(text).loopStep(index, loop);
}

bool CompactXml(std::string &text)
{
    TiXmlDocument doc;
    if (!ParseInstrumentXml(doc, text))
        return false;
    TiXmlPrinter printer;
    printer.SetIndent("");
    printer.SetLineBreak("");
    doc.Accept(&printer);
    text = printer.Str();
    return true;
}

std::string EscapeXmlText(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default:
            if (static_cast<unsigned char>(c) < 32) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "&#x%02X;", static_cast<unsigned char>(c));
                out += buf;
            } else {
                out += c;
            }
        }
    }
    return out;
}

} // namespace duvo
