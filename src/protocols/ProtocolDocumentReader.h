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

class ParsedProtocolDocument {
public:
    explicit ParsedProtocolDocument(const std::string &text);
    ~ParsedProtocolDocument();
    ParsedProtocolDocument(const ParsedProtocolDocument &) = delete;
    ParsedProtocolDocument &operator=(const ParsedProtocolDocument &) = delete;

    bool stepCount(std::string &count) const;
    bool stepType(int index, std::string &stepType) const;
    bool temperatureStep(int index, TemperatureStepTexts &step) const;
    bool loopStep(int index, LoopStepTexts &loop) const;

private:
    // The index-th CyclerStep when it carries Index="index", else null.
    const TiXmlElement *step(int index) const;

    std::unique_ptr<TiXmlDocument> FDocument;
    const TiXmlElement *FProtocol = nullptr;
    std::vector<const TiXmlElement *> FSteps;
};

} // namespace duvo
