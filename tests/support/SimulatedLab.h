#pragma once
// A simulated lab started in-process for one test: instruments on the test's own loopback
// /24 (instrument k at base.(10+k)), their command servers running on the lab's thread.
//
//   SimulatedLab lab("127.0.21", 2);
//   QVERIFY2(lab.started(), lab.error().c_str());
//   lab.instrument(0).addFault({duvosim::FaultKind::ResetMidReply, "GetStatus"});
//   ... exchanges with lab.address(0) ...
//   QCOMPARE(lab.requests(0).size(), size_t(2));

#include "duvosim/SimLab.h"

#include <string>
#include <vector>

namespace duvo::test {

class SimulatedLab {
public:
    // Starts at once; check started().
    explicit SimulatedLab(const std::string &base, int devices = 1, const std::string &type = "DUVO 96");
    ~SimulatedLab();
    SimulatedLab(const SimulatedLab &) = delete;
    SimulatedLab &operator=(const SimulatedLab &) = delete;

    bool started() const { return FStarted; }
    const std::string &error() const { return FError; }

    duvosim::SimLab &lab() { return FLab; }
    duvosim::SimInstrument &instrument(int k) { return FLab.instrument(k); }
    std::string address(int k) const { return FLab.address(k); }
    int count() const { return FLab.count(); }

    // Faults of instrument k; fail(k, n, command) makes the first n requests of a command
    // (every command when empty) end in a reset, so those exchanges fail.
    void addFault(int k, const duvosim::SimFault &fault) { instrument(k).addFault(fault); }
    void fail(int k, int n, const std::string &command = {});
    void clearFaults(int k) { instrument(k).clearFaults(); }
    void setRefusing(int k, bool on) { FLab.setRefusing(k, on); }

    // The request log (all instruments when k is -1), and the requests' bytes only.
    std::vector<duvosim::SimRequestLogEntry> requests(int k = -1) const;
    std::vector<std::string> requestBytes(int k = -1) const;
    void clearRequests() { FLab.clearRequests(); }

private:
    duvosim::SimLab FLab;
    bool FStarted = false;
    std::string FError;
};

} // namespace duvo::test
