#include "SimulatedLab.h"

namespace duvo::test {

SimulatedLab::SimulatedLab(const std::string &base, int devices, const std::string &type) : FLab(base)
{
    for (int i = 0; i < devices; ++i)
        FLab.addInstrument(type);
    FStarted = FLab.start(&FError);
}

SimulatedLab::~SimulatedLab() { FLab.stop(); }

void SimulatedLab::fail(int k, int n, const std::string &command)
{
    duvosim::SimFault f;
    f.kind = duvosim::FaultKind::ResetBeforeReply;
    f.command = command;
    f.count = n;
    instrument(k).addFault(f);
}

std::vector<duvosim::SimRequestLogEntry> SimulatedLab::requests(int k) const
{
    return k < 0 ? FLab.requests() : FLab.requests(k);
}

std::vector<std::string> SimulatedLab::requestBytes(int k) const
{
    std::vector<std::string> out;
    for (const auto &e : requests(k))
        out.push_back(e.bytes);
    return out;
}

} // namespace duvo::test
