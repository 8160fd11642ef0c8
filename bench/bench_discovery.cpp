// Discovery of 200 simulated instruments on 127.0.160.0/24: how many are found, and how long
// the whole scan (module discovery, reachability tests, every instrument's commands) takes
// against the search delay, which is the floor: the scan cannot end before one delay of
// silence after the last module. Phase 2 once one instrument at a time and once with
// several instruments at a time.
//
//   bench_discovery [instruments=200] [search delay seconds=2]

#include "duvosim/SimLab.h"
#include "duvosim/SimModuleService.h"
#include "link/DeviceScan.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char **argv)
{
    const int instruments = argc > 1 ? std::atoi(argv[1]) : 200;
    const int delaySeconds = argc > 2 ? std::atoi(argv[2]) : 2;
    if (instruments < 1 || instruments > 240 || delaySeconds < 1) {
        std::fprintf(stderr, "usage: bench_discovery [instruments 1..240] [search delay seconds]\n");
        return 2;
    }
    duvosim::SimLab lab("127.0.160", instruments);
    duvosim::SimModuleService::install(lab);
    std::string error;
    if (!lab.start(&error)) {
        std::fprintf(stderr, "bench_discovery: %s\n", error.c_str());
        return 1;
    }

    int status = 0;
    for (int parallel : {1, 8}) {
        ScanSettings s;
        s.waitMs = delaySeconds * 1000;
        s.localIP = lab.workstationAddress();
        s.modules.target = lab.hubAddress();
        s.modules.bind = lab.workstationAddress();
        s.parallel = parallel;
        DeviceList list;
        const auto start = std::chrono::steady_clock::now();
        ScanDevices(list, s);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        int complete = 0;
        for (const auto &r : list)
            if (!r->unreachable && r->message.rfind("Firmware:  ", 0) == 0)
                ++complete;
        std::printf("phase 2 with %d instrument(s) at a time: found %d/%d, complete %d/%d, scan %.2f s, "
                    "search delay %d s, ratio %.2f\n",
                    parallel, list.Count(), instruments, complete, instruments, seconds, delaySeconds,
                    seconds / delaySeconds);
        if (list.Count() != instruments || complete != instruments)
            status = 1;
    }
    lab.stop();
    return status;
}
