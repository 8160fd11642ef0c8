// Protocol documents from anywhere (files, instruments, pastes) into the editor's record list.
// A document that reads must write back and read again to the same records (a holding step
// loses its times, numbers keep six decimals). A document the small reader takes must give
// the answers the general parser gives.

#include "protocols/CyclerStepList.h"
#include "protocols/ProtocolDocument.h"
#include "protocols/ProtocolDocumentReader.h"

#include <cstdlib>
#include <string>

namespace {

std::string answersOf(const duvo::ParsedProtocolDocument &doc)
{
    std::string out, value;
    out += doc.stepCount(value) ? "count " + value : std::string("-");
    for (int i = 0; i < 8; ++i) {
        out += doc.stepType(i, value) ? "|type " + value : std::string("|-");
        duvo::TemperatureStepTexts t;
        if (doc.temperatureStep(i, t))
            out += "|step " + t.StepType + "," + t.PlateRead + "," + t.Temperature + "," + t.TemperatureIncrementPerCycle
                + "," + t.IncubationTime + "," + t.InfiniteHoldOn + "," + t.IncubationTimeIncrementPerCycle + "," + t.RampRate;
        duvo::LoopStepTexts l;
        if (doc.loopStep(i, l))
            out += "|loop " + l.NumberOfCyclesToLoop + "," + l.NumberOfStepsInsideLoop;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    {
        const duvo::ParsedProtocolDocument any(text);
        if (any.readPlain()) {
            const duvo::ParsedProtocolDocument general(text, duvo::ParsedProtocolDocument::Reader::GeneralOnly);
            if (answersOf(any) != answersOf(general))
                std::abort();
        }
    }
    duvo::CyclerStepList list;
    if (list.ReadProtocolXml(text) && !list.isEmpty()) {
        std::string written;
        if (!list.WriteProtocolXml(QStringLiteral("FUZZ"), written))
            std::abort();
        duvo::CyclerStepList again;
        if (!again.ReadProtocolXml(written) || again.Count() != list.Count())
            std::abort();
        for (int i = 0; i < list.Count(); ++i) {
            duvo::CyclerStepRecord expected = *list.at(i);
            if (expected.InfiniteHoldOn) {   // a holding step is written without its times
                expected.IncubationTime = 0.0;
                expected.IncubationTimeIncrementPerCycle = 0.0;
                expected.DecrementTime = 0;
            }
            // The document keeps six decimals.
            auto sixDecimals = [](double v) { return *duvo::ParseDecimal(duvo::FormatDocumentNumber(v)); };
            expected.RampRate = sixDecimals(expected.RampRate);
            expected.TemperatureIncrementPerCycle = sixDecimals(expected.TemperatureIncrementPerCycle);
            expected.Temperature = sixDecimals(expected.Temperature);
            if (!(*again.at(i) == expected))
                std::abort();
        }
    }
    std::string compact = text;
    duvo::CompactXml(compact);
    return 0;
}
