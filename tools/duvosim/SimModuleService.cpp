#include "duvosim/SimModuleService.h"

namespace duvosim {

SimModuleService::SimModuleService(const std::string &hubAddress) : FNetwork(hubAddress) {}

SimModuleService *SimModuleService::install(SimLab &lab)
{
    auto service = std::make_unique<SimModuleService>(lab.hubAddress());
    SimModuleService *raw = service.get();
    raw->FLab = &lab;
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
    SimModule m = moduleOf(instrument);
    if (SimLab *lab = FLab) {
        SimInstrument *live = &instrument;
        m.uploaded = [lab, live](const std::vector<uint8_t> &image) {
            const std::string text(image.begin(), image.end());
            auto field = [&text](const std::string &key) {
                const size_t at = text.find(key);
                if (at == std::string::npos)
                    return std::string();
                const size_t from = at + key.size();
                size_t end = from;
                while (end < text.size() && text[end] != ';' && text[end] != '\0' && end - from < 32)
                    ++end;
                return text.substr(from, end - from);
            };
            const std::string version = field("DUVOFW=");
            const std::string type = field("TYPE=");
            if (!version.empty())
                live->setFirmware(version);
            if (!type.empty())
                live->setType(type);
            lab->restart(lab->indexOfAddress(live->address()));
        };
    }
    FNetwork.add(m);
}

} // namespace duvosim
