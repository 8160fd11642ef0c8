#pragma once
// The protocol document: the XML text of one protocol, as the editor writes it and the
// instruments store it. Readers of single elements; each parses the whole text itself.
// Document texts are bytes (UTF-8) and stay std::string.

#include <string>

namespace duvo {

// The namespace of the document's Root element.
inline constexpr const char *ProtocolNamespace = "http://www.velmor.com/rt-pcr";

// The widest texts the reader takes from a document; a longer text fails its read.
inline constexpr size_t StepCountTextWidth = 31;
inline constexpr size_t StepTypeTextWidth = 27;
inline constexpr size_t StepNumberTextWidth = 15;   // the five numbers of a temperature step
inline constexpr size_t LoopCountTextWidth = 11;    // the two counts of a loop
inline constexpr size_t StepFlagTextWidth = 7;      // PlateRead, InfiniteHoldOn

struct TemperatureStepTexts {
    std::string StepType;
    std::string PlateRead;
    std::string Temperature;
    std::string TemperatureIncrementPerCycle;
    std::string IncubationTime;
    std::string InfiniteHoldOn;
    std::string IncubationTimeIncrementPerCycle;
    std::string RampRate;
};

struct LoopStepTexts {
    std::string NumberOfCyclesToLoop;
    std::string NumberOfStepsInsideLoop;
};

// Root/CyclerProtocol/NumberOfSteps. False when the element is missing or its text is too wide.
bool ReadProtocolStepCount(const std::string &text, std::string &count);
// StepType of the index-th CyclerStep, which must carry Index="index".
bool ReadProtocolStepType(const std::string &text, int index, std::string &stepType);
// The eight texts of a temperature step, in document order; false at the first one missing.
bool ReadTemperatureStep(const std::string &text, int index, TemperatureStepTexts &step);
// The two counts of a loop.
bool ReadLoopStep(const std::string &text, int index, LoopStepTexts &loop);

// Re-prints the document on one line without indentation (declaration included). False, and
// the text unchanged, when it does not parse.
bool CompactXml(std::string &text);

// Text for an element's content or an attribute value: & < > " ' as entities, every
// character below 32 as "&#xNN;". Other bytes pass unchanged.
std::string EscapeXmlText(const std::string &text);

} // namespace duvo
