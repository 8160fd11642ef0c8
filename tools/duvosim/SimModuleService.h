#pragma once
// The network modules of a simulated lab: a SimModuleNetwork with the discovery hub on the
// lab's hub address and one module per instrument on the instrument's address, answering
// with the instrument's MAC and type. Instruments added later get their module at once.
// A completed firmware upload restarts the instrument (its command server is away for the
// lab's reboot time) on the firmware the image names: a marker "DUVOFW=<version>;TYPE=<type>"
// in the image data sets the version and type the instrument reports from then on.
//
//   auto *modules = SimModuleService::install(lab);
//   modules->network().setFault(3, duvosim::ModuleFault::NoReply);

#include "duvosim/SimLab.h"
#include "duvosim/SimModules.h"

#include <memory>

namespace duvosim {

class SimModuleService : public SimService {
public:
    explicit SimModuleService(const std::string &hubAddress);

    // Makes the service, hands it to the lab and returns it (owned by the lab).
    static SimModuleService *install(SimLab &lab);

    bool start(SimLab &lab, std::string &error) override;
    void stop() override;
    void instrumentAdded(SimInstrument &instrument) override;

    // Module k is instrument k's; modules added by hand (a second interface, a second module
    // on one address) come after them.
    SimModuleNetwork &network() { return FNetwork; }

    static SimModule moduleOf(SimInstrument &instrument);

private:
    SimModuleNetwork FNetwork;
    SimLab *FLab = nullptr;
};

} // namespace duvosim
