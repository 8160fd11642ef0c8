#pragma once
// A protocol document parsed once, with the element readers of ProtocolDocument.h working on
// it. The public readers parse the text anew on every call; the document reader parses it
// once for all of its records.

#include "protocols/ProtocolDocument.h"

#include <memory>
#include <vector>

class TiXmlDocument;
class TiXmlElement;

namespace duvo {

class PlainXmlDocument;

class ParsedProtocolDocument {
public:
    // Documents made only of elements, attributes in double quotes and plain text (what the
    // editor and the instruments write) are read by a small reader of our own; anything else
    // (comments, entities, CDATA, bytes outside printable ASCII, ...) by the general XML parser.
    // Both give the same answers for a document the small reader takes; GeneralOnly skips the
    // small reader.
    enum class Reader { Any, GeneralOnly };
    explicit ParsedProtocolDocument(const std::string &text, Reader reader = Reader::Any);
    ~ParsedProtocolDocument();
    ParsedProtocolDocument(const ParsedProtocolDocument &) = delete;
    ParsedProtocolDocument &operator=(const ParsedProtocolDocument &) = delete;

    bool stepCount(std::string &count) const;
    bool stepType(int index, std::string &stepType) const;
    bool temperatureStep(int index, TemperatureStepTexts &step) const;
    bool loopStep(int index, LoopStepTexts &loop) const;

    // Whether the small reader took the document.
    bool readPlain() const { return FPlain != nullptr; }

private:
    // An element of either reader: a TinyXML element, or an index into the plain document.
    struct Element {
        const TiXmlElement *general = nullptr;
        int plain = -1;
        explicit operator bool() const { return general || plain >= 0; }
    };
    // The index-th CyclerStep when it carries Index="index", else none.
    Element step(int index) const;
    bool childText(Element parent, const char *name, size_t width, std::string &out) const;

    std::unique_ptr<PlainXmlDocument> FPlain;
    std::unique_ptr<TiXmlDocument> FDocument;
    Element FProtocol;
    std::vector<Element> FSteps;
};

} // namespace duvo
