#include "protocols/ProtocolDocument.h"

#include "link/CommandDocs.h"
#include "protocols/ProtocolDocumentReader.h"

#include "protocols/CyclerStepRecord.h"

#include <tinyxml.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>

namespace duvo {

// The documents the editor and the instruments write, read without the general parser: an
// optional XML declaration, one root element, elements with attributes in double quotes, and
// text. Everything else is refused, and the general parser reads the document: comments,
// CDATA, processing instructions, entities, single or missing quotes, a repeated attribute,
// bytes other than printable ASCII, tab, CR and LF, anything after the root element. For what
// it takes it keeps what the general parser (whitespace kept) keeps: an element's text is its
// first child when that child is text, blanks and all; text of blanks alone is no child.
class PlainXmlDocument {
public:
    struct Node {
        std::string_view name;
        std::string_view text;    // the first child, when it is text
        std::string_view index;   // the Index attribute
        bool hasText = false;
        bool hasIndex = false;
        bool hasChild = false;
        int firstChild = -1;
        int lastChild = -1;
        int nextSibling = -1;
    };

    bool read(const std::string &text);

    int root() const { return FRoot; }
    const Node &node(int i) const { return FNodes[size_t(i)]; }
    int firstChildElement(int parent, std::string_view name) const
    {
        int c = parent >= 0 ? node(parent).firstChild : -1;
        while (c >= 0 && node(c).name != name)
            c = node(c).nextSibling;
        return c;
    }
    int nextSiblingElement(int element, std::string_view name) const
    {
        int c = node(element).nextSibling;
        while (c >= 0 && node(c).name != name)
            c = node(c).nextSibling;
        return c;
    }

private:
    std::vector<Node> FNodes;
    int FRoot = -1;
};

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool isNameChar(char c)
{
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == ':';
}

} // namespace

bool PlainXmlDocument::read(const std::string &text)
{
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (!(u == '\t' || u == '\r' || u == '\n' || (u >= 0x20 && u < 0x7f)) || c == '&')
            return false;
    }
    if (XmlNestsDeeperThan(text, InstrumentXmlDepthLimit))
        return false;
    const std::string_view s(text);
    const size_t n = s.size();
    size_t p = 0;
    auto skipBlanks = [&] {
        while (p < n && isBlank(s[p]))
            ++p;
    };
    auto readName = [&](std::string_view &name) {
        if (p >= n || !isNameStart(s[p]))
            return false;
        const size_t from = p;
        while (p < n && isNameChar(s[p]))
            ++p;
        name = s.substr(from, p - from);
        return true;
    };
    // name="value" with no '<' in the value.
    auto readAttribute = [&](std::string_view &name, std::string_view &value) {
        if (!readName(name) || p + 1 >= n || s[p] != '=' || s[p + 1] != '"')
            return false;
        const size_t close = s.find('"', p + 2);
        if (close == std::string_view::npos)
            return false;
        value = s.substr(p + 2, close - p - 2);
        p = close + 1;
        return value.find('<') == std::string_view::npos;
    };

    skipBlanks();
    if (s.substr(p, 5) == "<?xml") {
        // The declaration ends at its "?>". Its values hold no blank and no '>': the general
        // parser steps over them token by token and must end at the same place.
        p += 5;
        for (;;) {
            const size_t before = p;
            skipBlanks();
            if (s.substr(p, 2) == "?>") {
                p += 2;
                break;
            }
            std::string_view name, value;
            if (p == before || !readAttribute(name, value)
                || std::any_of(value.begin(), value.end(), [](char c) { return c == '>' || isBlank(c); }))
                return false;
        }
        skipBlanks();
    }

    FNodes.clear();
    FNodes.reserve(n / 40);
    std::vector<int> open;
    std::vector<std::string_view> attributes;
    while (p < n) {
        if (s[p] != '<') {
            // Text: up to the next tag, inside an element only.
            const size_t lt = s.find('<', p);
            if (open.empty() || lt == std::string_view::npos)
                return false;
            const std::string_view segment = s.substr(p, lt - p);
            Node &parent = FNodes[size_t(open.back())];
            if (std::any_of(segment.begin(), segment.end(), [](char c) { return !isBlank(c); })) {
                if (!parent.hasChild) {
                    parent.text = segment;
                    parent.hasText = true;
                }
                parent.hasChild = true;
            }
            p = lt;
            continue;
        }
        if (p + 1 < n && s[p + 1] == '/') {
            // The end tag of the open element: its name, blanks, '>'.
            if (open.empty())
                return false;
            const std::string_view name = FNodes[size_t(open.back())].name;
            p += 2;
            if (s.substr(p, name.size()) != name)
                return false;
            p += name.size();
            skipBlanks();
            if (p >= n || s[p] != '>')
                return false;
            ++p;
            open.pop_back();
            if (open.empty()) {
                // Nothing but blanks after the root element.
                skipBlanks();
                return p == n;
            }
            continue;
        }
        // A start tag.
        ++p;
        Node node;
        if (!readName(node.name))
            return false;
        attributes.clear();
        bool empty = false;
        for (;;) {
            const size_t before = p;
            skipBlanks();
            if (p < n && s[p] == '>') {
                ++p;
                break;
            }
            if (p + 1 < n && s[p] == '/' && s[p + 1] == '>') {
                p += 2;
                empty = true;
                break;
            }
            std::string_view name, value;
            if (p == before || !readAttribute(name, value)
                || std::find(attributes.begin(), attributes.end(), name) != attributes.end())
                return false;
            attributes.push_back(name);
            if (name == "Index") {
                node.index = value;
                node.hasIndex = true;
            }
        }
        const int index = int(FNodes.size());
        if (open.empty()) {
            if (FRoot >= 0)
                return false;
            FRoot = index;
        } else {
            Node &parent = FNodes[size_t(open.back())];
            parent.hasChild = true;
            if (parent.lastChild >= 0)
                FNodes[size_t(parent.lastChild)].nextSibling = index;
            else
                parent.firstChild = index;
            parent.lastChild = index;
        }
        FNodes.push_back(node);
        if (!empty) {
            open.push_back(index);
        } else if (open.empty()) {
            skipBlanks();
            return p == n;
        }
    }
    return false;   // the text ended inside an element, or held no element
}

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

ParsedProtocolDocument::ParsedProtocolDocument(const std::string &text, Reader reader)
{
    if (reader == Reader::Any) {
        auto plain = std::make_unique<PlainXmlDocument>();
        if (plain->read(text)) {
            FPlain = std::move(plain);
            const int root = FPlain->root();
            const int protocol = FPlain->node(root).name == "Root" ? FPlain->firstChildElement(root, "CyclerProtocol") : -1;
            FProtocol.plain = protocol;
            const int steps = FPlain->firstChildElement(protocol, "CyclerSteps");
            for (int e = FPlain->firstChildElement(steps, "CyclerStep"); e >= 0;
                 e = FPlain->nextSiblingElement(e, "CyclerStep"))
                FSteps.push_back(Element{nullptr, e});
            return;
        }
    }
    FDocument = std::make_unique<TiXmlDocument>();
    // The instruments' parser settings: bytes one by one and bounded nesting (the UTF-8 path
    // reads past the end of a text cut inside a multi-byte sequence).
    if (!ParseInstrumentXml(*FDocument, text))
        return;
    const TiXmlElement *root = FDocument->FirstChildElement("Root");
    FProtocol.general = root ? root->FirstChildElement("CyclerProtocol") : nullptr;
    const TiXmlElement *steps = FProtocol.general ? FProtocol.general->FirstChildElement("CyclerSteps") : nullptr;
    for (const TiXmlElement *e = steps ? steps->FirstChildElement("CyclerStep") : nullptr; e;
         e = e->NextSiblingElement("CyclerStep"))
        FSteps.push_back(Element{e, -1});
}

ParsedProtocolDocument::~ParsedProtocolDocument() = default;

bool ParsedProtocolDocument::childText(Element parent, const char *name, size_t width, std::string &out) const
{
    if (!FPlain)
        return duvo::childText(parent.general, name, width, out);
    const int e = parent.plain >= 0 ? FPlain->firstChildElement(parent.plain, name) : -1;
    if (e < 0)
        return false;
    const PlainXmlDocument::Node &node = FPlain->node(e);
    if (node.hasText)
        out.assign(node.text);
    else
        out.clear();
    return out.size() <= width;
}

bool ParsedProtocolDocument::stepCount(std::string &count) const
{
    return childText(FProtocol, "NumberOfSteps", StepCountTextWidth, count);
}

ParsedProtocolDocument::Element ParsedProtocolDocument::step(int index) const
{
    if (index < 0 || size_t(index) >= FSteps.size())
        return {};
    const Element e = FSteps[size_t(index)];
    std::optional<long long> value;
    if (FPlain) {
        const PlainXmlDocument::Node &node = FPlain->node(e.plain);
        if (node.hasIndex)
            value = ParseInteger(node.index);
    } else if (const char *attribute = e.general->Attribute("Index")) {
        value = ParseInteger(attribute);
    }
    return (value && *value == index) ? e : Element{};
}

bool ParsedProtocolDocument::stepType(int index, std::string &stepType) const
{
    return childText(step(index), "StepType", StepTypeTextWidth, stepType);
}

bool ParsedProtocolDocument::temperatureStep(int index, TemperatureStepTexts &s) const
{
    const Element e = step(index);
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
    const Element e = step(index);
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
