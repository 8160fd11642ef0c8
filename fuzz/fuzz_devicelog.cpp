// The device log report on arbitrary reply text: the reader never fails, a report it calls
// complete starts with its title, and every time text it writes ends with its line feed.
#include "mainwindow/DeviceLog.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string reply(reinterpret_cast<const char *>(data), size);
    const DeviceLogReport report = BuildDeviceLogReport(reply);
    if (report.result == DeviceLogReportResult::Ok && report.text.rfind("Duvo Log Report", 0) != 0)
        std::abort();
    // Times from the reply: any 64-bit value has a text of its own.
    if (size >= 8) {
        int64_t seconds = 0;
        for (int i = 0; i < 8; ++i)
            seconds = int64_t(uint64_t(seconds) << 8 | data[i]);
        const std::string t = LogTimeText(seconds);
        if (t.size() < 25 || t.back() != '\n')
            std::abort();
    }
    int64_t parsed = 0;
    (void)ParseWholeSeconds(reply, parsed);
    return 0;
}
