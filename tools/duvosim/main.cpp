// duvosim: runs a simulated lab of instruments on a loopback /24 until it is killed.
//   duvosim --lab 127.0.7 --devices 6

#include "duvosim/SimLab.h"
#include "duvosim/SimModuleService.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {
std::atomic<bool> g_stop{false};
void onSignal(int) { g_stop = true; }

void usage()
{
    std::fprintf(stderr, "usage: duvosim [--lab A.B.C] [--devices N]\n"
                         "  --lab      the loopback /24 the instruments live on (default 127.0.7)\n"
                         "  --devices  how many instruments (default 6)\n");
}
} // namespace

int main(int argc, char **argv)
{
    std::string base = "127.0.7";
    int devices = 6;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--lab" && i + 1 < argc) {
            base = argv[++i];
        } else if (a == "--devices" && i + 1 < argc) {
            devices = std::atoi(argv[++i]);
        } else {
            usage();
            return 2;
        }
    }
    if (base.rfind("127.", 0) != 0) {
        std::fprintf(stderr, "duvosim: the lab must be on loopback (127.x.y)\n");
        return 2;
    }
    if (devices < 1 || devices > 240) {
        std::fprintf(stderr, "duvosim: --devices must be 1 to 240\n");
        return 2;
    }

    duvosim::SimLab lab(base, devices);
    // The instruments' network modules, with the discovery hub on base.2.
    duvosim::SimModuleService::install(lab);
    std::string error;
    if (!lab.start(&error)) {
        std::fprintf(stderr, "duvosim: %s\n", error.c_str());
        return 1;
    }
    for (int k = 0; k < lab.count(); ++k)
        std::printf("duvosim: %s %s at %s\n", lab.instrument(k).type().c_str(),
                    lab.instrument(k).serialNumber().c_str(), lab.address(k).c_str());
    std::fflush(stdout);

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    while (!g_stop)
        ::usleep(100 * 1000);
    lab.stop();
    return 0;
}
