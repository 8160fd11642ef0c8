// duvosim: runs a simulated lab of instruments on a loopback /24 until it is killed.
//   duvosim --lab 127.0.7 --devices 6

#include "duvosim/SimBrowseSetup.h"
#include "duvosim/DemoMaintenance.h"
#include "duvosim/SimLab.h"
#include "duvosim/SimCopyDemo.h"
#include "duvosim/SimModuleService.h"
#include "duvosim/SimSerialConsole.h"
#include "link/CommandDocs.h"
#include "protocols/CyclerStepList.h"

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
    std::fprintf(stderr, "usage: duvosim [--lab A.B.C] [--devices N] [--demo] [--serial PATH]\n"
                         "  --lab      the loopback /24 the instruments live on (default 127.0.7)\n"
                         "  --devices  how many instruments (default 6)\n"
                         "  --demo     six instruments in varied states (running, idle, paused,\n"
                         "             old firmware, answering with errors, completed on hold)\n"
                         "  --serial   an instrument console on a pseudo-terminal, linked at PATH\n");
}

// A two-step PCR: initial denaturation, 30 cycles of three steps, and a cool-down step that
// holds (or not) at the end.
std::string demoProtocol(const char *name, int cycles, bool holdAtEnd)
{
    duvo::CyclerStepList list;
    list.AddStepItem("95.0", "02:00", "4.0", "00:00", "0.0", false, false, true, 0);
    list.AddLoopItem("3", QString::number(cycles), true, 0);
    list.AddStepItem("95.0", "00:15", "4.0", "00:00", "0.0", false, false, true, 20);
    list.AddStepItem("60.0", "00:30", "3.0", "00:00", "0.0", false, false, true, 20);
    list.AddStepItem("72.0", "00:30", "3.0", "00:00", "0.0", false, false, true, 20);
    list.AddStepItem("4.0", "00:30", "4.0", "00:00", "0.0", holdAtEnd, false, true, 0);
    list.RebuildStepList();
    std::string text;
    list.WriteProtocolXml(QString::fromLatin1(name), text);
    return text;
}

void setUpDemo(duvosim::SimLab &lab)
{
    const std::string qpcr = demoProtocol("QPCR30", 30, false);
    const std::string held = demoProtocol("HOLD4", 2, true);
    for (int k = 0; k < lab.count(); ++k) {
        duvosim::SimInstrument &in = lab.instrument(k);
        in.makeFolder("ROUTINE");
        in.putProtocol("ROUTINE", "QPCR30", qpcr);
        in.putProtocol("ROUTINE", "HOLD4", held);
        in.setParameter("63", "Lab " + std::string(1, static_cast<char>('A' + k % 3)));
    }
    duvosim::setUpCopyDemo(lab, qpcr);
    const char *types[] = {"DUVO 96", "DUVO 24", "DUVO 96", "SV cycler", "DUVO 24", "DUVO 96"};
    const char *aliases[] = {"Bench 1", "Bench 2", "Bench 3", "Old unit", "Bench 5", "Bench 6"};
    for (int k = 0; k < lab.count() && k < 6; ++k) {
        lab.instrument(k).setType(types[k]);
        lab.instrument(k).setParameter("84", aliases[k]);
    }
    duvosim::setUpBrowseDemo(lab, qpcr);
    if (lab.count() > 0) {  // a run that completes within a few minutes
        lab.instrument(0).setTimeScale(12.0);
        lab.instrument(0).startRun("ROUTINE", "QPCR30");
    }
    if (lab.count() > 2) {  // a paused run
        lab.instrument(2).startRun("ROUTINE", "QPCR30");
        lab.instrument(2).handleRequest(Pause_doc());
    }
    if (lab.count() > 3)  // old firmware: needs an update before the workstation works with it
        lab.instrument(3).setFirmware("1.20");
    if (lab.count() > 4) {  // answers its status with an error
        duvosim::SimFault fault;
        fault.kind = duvosim::FaultKind::ErrorReply;
        fault.command = "GetStatus";
        fault.errCode = 12;
        fault.errMessage = "Lid heater fault";
        lab.instrument(4).addFault(fault);
    }
    if (lab.count() > 5) {  // completed, held at its end, with a run log to read
        lab.instrument(5).setTimeScale(1000.0);
        lab.instrument(5).startRun("ROUTINE", "HOLD4");
        duvosim::SimLogError warning;
        warning.code = "W104";
        warning.manualCode = "4.2";
        warning.errorText = "Lid temperature below set point";
        warning.actionText = "Check the lid heater";
        warning.severity = "1";
        warning.timeStamp = 1765400000;
        lab.instrument(5).addRunLogError(warning);
    }
    duvosim::setUpMaintenanceDemo(lab);
}
} // namespace

int main(int argc, char **argv)
{
    std::string base = "127.0.7";
    int devices = 6;
    bool demo = false;
    std::string serialLink;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--lab" && i + 1 < argc) {
            base = argv[++i];
        } else if (a == "--demo") {
            demo = true;
        } else if (a == "--serial" && i + 1 < argc) {
            serialLink = argv[++i];
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
    if (demo)
        setUpDemo(lab);
    std::string error;
    if (!lab.start(&error)) {
        std::fprintf(stderr, "duvosim: %s\n", error.c_str());
        return 1;
    }
    for (int k = 0; k < lab.count(); ++k)
        std::printf("duvosim: %s %s at %s\n", lab.instrument(k).type().c_str(),
                    lab.instrument(k).serialNumber().c_str(), lab.address(k).c_str());
    duvosim::SimSerialConsole console(lab.count() > 0 ? lab.instrument(0).type() : "DUVO 96");
    if (!serialLink.empty()) {
        if (!console.start(serialLink, &error)) {
            std::fprintf(stderr, "duvosim: serial console: %s\n", error.c_str());
            return 1;
        }
        std::printf("duvosim: serial console at %s (%s)\n", serialLink.c_str(), console.path().c_str());
    }
    std::fflush(stdout);

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    while (!g_stop)
        ::usleep(100 * 1000);
    lab.stop();
    return 0;
}
