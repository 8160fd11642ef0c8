// Protocol documents from anywhere (files, instruments, pastes) into the editor's record list.
// A document that reads must write back and read again to the same records (a holding step
// loses its times, numbers keep six decimals).

#include "protocols/CyclerStepList.h"
#include "protocols/ProtocolDocument.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
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
