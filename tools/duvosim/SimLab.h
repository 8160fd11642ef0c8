#pragma once
// A simulated lab: instruments on one loopback /24 (base "127.0.7": the workstation side is
// 127.0.7.1, the discovery hub 127.0.7.2, instrument k answers from 127.0.7.(10+k)), each
// with its XML command server on TCP 62751, all run by one reactor thread of the lab's own.
// Further services (network modules, discovery hub, ...) plug in as SimService objects that
// register their sockets with the lab's reactor.
//
// Every request a command server reads is logged byte for byte with its time and connection.

#include "duvosim/SimInstrument.h"
#include "duvosim/SimReactor.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace duvosim {

constexpr uint16_t CommandPort = 62751;

struct SimRequestLogEntry {
    int instrument = -1;
    uint64_t connection = 0;   // lab-wide connection number, from 1
    std::chrono::system_clock::time_point time;
    std::chrono::steady_clock::time_point steadyTime;
    std::string bytes;         // the request exactly as read
    std::string command;       // the command's finer name ("GetStatus", "DirFiles", "GetTime")
    std::string folder, file;  // the folder and file texts exactly as they arrived
};

class SimLab;

// A service of the lab run on its reactor thread: start() registers sockets, stop()
// releases them. instrumentAdded() tells of instruments added while the lab runs.
class SimService {
public:
    virtual ~SimService() = default;
    virtual bool start(SimLab &lab, std::string &error) = 0;
    virtual void stop() = 0;
    virtual void instrumentAdded(SimInstrument &) {}
};

class SimLab {
public:
    // base: the first three numbers of the /24, e.g. "127.0.7".
    explicit SimLab(std::string base = "127.0.7", int devices = 0);
    ~SimLab();
    SimLab(const SimLab &) = delete;
    SimLab &operator=(const SimLab &) = delete;

    // Binds every server and starts the lab's thread; false with the reason on failure.
    bool start(std::string *error = nullptr);
    void stop();
    bool running() const { return FReactor.running(); }

    // Adds an instrument at the next address (also while running); returns it.
    SimInstrument &addInstrument(const std::string &type = "DUVO 96");
    int count() const;
    SimInstrument &instrument(int k);
    const std::string &base() const { return FBase; }
    std::string address(int k) const { return FBase + "." + std::to_string(10 + k); }
    std::string workstationAddress() const { return FBase + ".1"; }
    std::string hubAddress() const { return FBase + ".2"; }
    // Index of the instrument at this address, -1 when none.
    int indexOfAddress(const std::string &address) const;

    // Connections to the instrument's command server are refused while set.
    void setRefusing(int k, bool on);
    // Switches a powered-off instrument on again (a Power "Off" command switches it off).
    void powerOn(int k);
    // Restarts instrument k: its command server is away for the reboot time (any thread).
    void restart(int k);
    // How long a Power "On" (reboot) keeps the command server away.
    void setRebootMs(int ms) { FRebootMs = ms; }
    int rebootMs() const { return FRebootMs; }

    // The request log.
    std::vector<SimRequestLogEntry> requests() const;
    std::vector<SimRequestLogEntry> requests(int k) const;
    void clearRequests();
    // Connections accepted by instrument k's command server.
    int connectionCount(int k) const;

    // Services run with the lab; added before start or while running.
    void addService(std::unique_ptr<SimService> service);
    SimReactor &reactor() { return FReactor; }

private:
    friend class SimCommandServer;
    void logRequest(SimRequestLogEntry entry);
    void countConnection(int k);

    std::string FBase;
    SimReactor FReactor;
    mutable std::mutex FMutex;  // instruments list, log, counters
    std::vector<std::unique_ptr<SimInstrument>> FInstruments;
    std::vector<SimRequestLogEntry> FLog;
    std::vector<int> FConnections;
    std::unique_ptr<class SimCommandServer> FCommands;
    std::vector<std::unique_ptr<SimService>> FServices;
    int FRebootMs = 1000;
};

} // namespace duvosim
