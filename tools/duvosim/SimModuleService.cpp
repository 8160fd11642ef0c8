#include "duvosim/SimModuleService.h"

namespace duvosim {

SimModuleService::SimModuleService(const std::string &hubAddress) : FNetwork(hubAddress) {}

SimModuleService *SimModuleService::install(SimLab &lab)
{
    auto service = std::make_unique<SimModuleService>(lab.hubAddress());
    SimModuleService *raw = service.get();
    // Instruments already in the lab get their modules now, in index order.
    for (int k = 0; k < lab.count(); ++k)
        raw->instrumentAdded(lab.instrument(k));
    lab.addService(std::move(service));
    return raw;
}

SimModule SimModuleService::moduleOf(SimInstrument &instrument)
{
    SimModule m;
    m.address = instrument.address();
    m.mac = instrument.macBytes();
    m.baseMac = m.mac;
    m.type = instrument.type();
    SimInstrument *live = &instrument;
    m.typeSource = [live] { return live->type(); };
    return m;
}

bool SimModuleService::start(SimLab &, std::string &error)
{
    return FNetwork.start(&error);
}

void SimModuleService::stop()
{
    FNetwork.stop();
}

void SimModuleService::instrumentAdded(SimInstrument &instrument)
{
    // Keep module k = instrument k while nobody has added modules by hand.
    FNetwork.add(moduleOf(instrument));
}

} // namespace duvosim
