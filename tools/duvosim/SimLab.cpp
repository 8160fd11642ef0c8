#include "duvosim/SimLab.h"

#include "duvosim/SimCommandServer.h"

namespace duvosim {

SimLab::SimLab(std::string base, int devices) : FBase(std::move(base))
{
    FCommands = std::make_unique<SimCommandServer>();
    for (int i = 0; i < devices; ++i)
        addInstrument();
}

SimLab::~SimLab() { stop(); }

bool SimLab::start(std::string *error)
{
    if (running())
        return true;
    std::string why;
    bool ok = FCommands->start(*this, why);
    for (size_t i = 0; ok && i < FServices.size(); ++i)
        ok = FServices[i]->start(*this, why);
    if (!ok) {
        FCommands->stop();
        for (auto &s : FServices)
            s->stop();
        if (error)
            *error = why;
        return false;
    }
    FReactor.start();
    return true;
}

void SimLab::stop()
{
    if (!running())
        return;
    FReactor.invoke([this] {
        for (auto &s : FServices)
            s->stop();
        FCommands->stop();
    });
    FReactor.stop();
}

SimInstrument &SimLab::addInstrument(const std::string &type)
{
    SimInstrument *added = nullptr;
    {
        std::lock_guard l(FMutex);
        const int k = static_cast<int>(FInstruments.size());
        FInstruments.push_back(std::make_unique<SimInstrument>(k, FBase + "." + std::to_string(10 + k)));
        FConnections.push_back(0);
        added = FInstruments.back().get();
    }
    added->setType(type);
    if (running())
        FReactor.invoke([this, added] {
            FCommands->instrumentAdded(*added);
            for (auto &s : FServices)
                s->instrumentAdded(*added);
        });
    return *added;
}

int SimLab::count() const
{
    std::lock_guard l(FMutex);
    return static_cast<int>(FInstruments.size());
}

SimInstrument &SimLab::instrument(int k)
{
    std::lock_guard l(FMutex);
    return *FInstruments.at(static_cast<size_t>(k));
}

int SimLab::indexOfAddress(const std::string &address) const
{
    std::lock_guard l(FMutex);
    for (const auto &i : FInstruments)
        if (i->address() == address)
            return i->index();
    return -1;
}

void SimLab::setRefusing(int k, bool on)
{
    instrument(k).setRefusing(on);
    FReactor.invoke([this, k] { FCommands->syncListener(k); });
}

void SimLab::restart(int k)
{
    if (k < 0 || k >= count())
        return;
    FReactor.post([this, k] { FCommands->reboot(k, FRebootMs); });
}

void SimLab::powerOn(int k)
{
    instrument(k).setPoweredOff(false);
    FReactor.invoke([this, k] { FCommands->syncListener(k); });
}

std::vector<SimRequestLogEntry> SimLab::requests() const
{
    std::lock_guard l(FMutex);
    return FLog;
}

std::vector<SimRequestLogEntry> SimLab::requests(int k) const
{
    std::lock_guard l(FMutex);
    std::vector<SimRequestLogEntry> out;
    for (const auto &e : FLog)
        if (e.instrument == k)
            out.push_back(e);
    return out;
}

void SimLab::clearRequests()
{
    std::lock_guard l(FMutex);
    FLog.clear();
}

int SimLab::connectionCount(int k) const
{
    std::lock_guard l(FMutex);
    return (k >= 0 && k < static_cast<int>(FConnections.size())) ? FConnections[static_cast<size_t>(k)] : 0;
}

void SimLab::addService(std::unique_ptr<SimService> service)
{
    SimService *s = service.get();
    if (running()) {
        std::string error;
        FReactor.invoke([this, s, &error] { s->start(*this, error); });
    }
    FServices.push_back(std::move(service));
}

void SimLab::logRequest(SimRequestLogEntry entry)
{
    std::lock_guard l(FMutex);
    FLog.push_back(std::move(entry));
}

void SimLab::countConnection(int k)
{
    std::lock_guard l(FMutex);
    if (k >= 0 && k < static_cast<int>(FConnections.size()))
        ++FConnections[static_cast<size_t>(k)];
}

} // namespace duvosim
