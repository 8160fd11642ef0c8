#pragma once
// The device scan behind the discovery window: phase 1 finds the network modules (UDP),
// checks each one's address and TCP reachability and keeps those of the three known types;
// phase 2 asks every reachable instrument, command by command, for its identity, clock,
// boards and run state. The result is one DVDEVICEINFO_T per instrument in the device list,
// in discovery order. Runs on a worker thread; touches no window.

#include "link/DeviceRecord.h"
#include "link/ModuleProtocol.h"
#include "link/NetExchange.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// The clients phase 2's workers use, so that the window can end the exchanges in flight on
// all of them from its own thread. A client added after abortAll() is aborted at once.
class ScanClients {
public:
    void add(TcpClient *client);
    void remove(TcpClient *client);
    // Aborts every client, now and later (TcpClient::abort() is atomic).
    void abortAll();
    bool aborted() const;

private:
    mutable std::mutex FMutex;
    std::vector<TcpClient *> FClients;
    bool FAborted = false;
};

struct ScanSettings {
    int waitMs = 10000;          // discovery wait: silence after the last new module
    std::string localIP;         // the host PC's address (FLocalIP)
    DiscoveryOptions modules;    // target and bind address of the module protocol
    int tableSize = duvo::module::DefaultTableSize;
    int connectTimeoutMs = 10000;             // TCP reachability test
    int exchangeTimeoutMs = InstrumentTimeout; // every instrument command
    uint16_t port = InstrumentTcpPort;
    // Phase 2 may ask this many instruments at once (each instrument's commands stay in
    // order on a client of its own); 1 asks them one after another.
    int parallel = 1;
    // The client of phase 2's first worker (the window's own client); the others, and the
    // first when this is null, use clients of their own.
    TcpClient *client = nullptr;
    const std::atomic<bool> *stop = nullptr;  // checked before each module, instrument and command
    // Where phase 2 registers its clients while it uses them (may be null).
    ScanClients *clients = nullptr;
};

enum class ScanOutcome {
    Done,
    AllocError,  // the discovery table could not be had: "Memory alloc error"
    Stopped,     // a stop request ended the scan early
};

// True when ip equals localIP or the address of a record already in the list.
bool IsAddressInUse(const DeviceList &list, const std::string &localIP, const std::string &ip);

// TCP reachability of ip:port: failed is false when a connection could be made within
// timeoutMs (it is closed again at once). Every failure (refused, reset, unreachable, time-out,
// a stop request) only sets failed.
void TestConnect(const std::string &ip, bool &failed, int timeoutMs = 10000,
                 uint16_t port = InstrumentTcpPort, const std::atomic<bool> *stop = nullptr);

// Empties nothing: the caller empties the list first. Appends the records as it goes.
ScanOutcome ScanDevices(DeviceList &list, const ScanSettings &settings);

// Phase 2 for one record (exposed for the status-reply rules' tests).
void AskInstrument(DVDEVICEINFO_T &record, TcpClient &client, const std::atomic<bool> *stop = nullptr);

// Stores a GetStatus reply's texts into the record as discovery does: ok false means the
// reply could not be read.
void StoreDiscoveryStatus(DVDEVICEINFO_T &record, const std::array<std::string, 19> &status, bool ok);
