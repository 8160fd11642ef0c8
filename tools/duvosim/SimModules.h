#pragma once
// The simulated instruments' network modules: a discovery hub socket that stands in for the
// broadcast (on a lab's own loopback /24 nothing is broadcast), and one UDP port 20034
// socket per module address. A discovery request ("DVMQ" 'R') that reaches the hub or a
// module's own address is answered by the modules from their own addresses to the
// requester's address and port: "DVMR", 'R', the module's 148-byte configuration record,
// the application name, the type text and, when set, "PASSNEEDED", each ended by a zero byte.
// Faults per module: no reply, a duplicate reply, a late reply, a short datagram in place of
// the reply, a foreign datagram in place of the reply, and foreign chatter after the reply.
// Two modules may share one address. Everything runs on one thread of its own.
// Firmware upload requests ("DVMQ" 'A') sent to a module's own address go to the first module
// on that address, which answers from its own upload state (SimFirmware.h).
//
// The network address tool's messages are answered from each module's own configuration
// record: a verification list ("DVM2" 'V') makes every module whose MAC bytes 4 and 5 it does
// not list answer again with its discovery reply; a configuration request ("DVMQ" 'W') whose
// record carries a module's MAC replaces that module's settings (its MAC, base MAC, interface
// kind and active address stay its own). A module with passNeeded takes the request only with
// "1414" at byte 153 followed by its password and user name (20 bytes each, zero-ended).

#include "duvosim/SimFirmware.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace duvosim {

enum class ModuleFault {
    None,
    NoReply,   // stays silent
    Duplicate, // answers twice
    Late,      // answers after delayMs
    Short,     // sends the reply cut to 152 bytes, nothing else
    Foreign,   // sends a datagram that is not a reply ("DVMQ" and junk), nothing else
    Chatter,   // answers, then sends a foreign datagram every 50 ms for delayMs
};

struct SimModule {
    std::string address;                 // the module's own IPv4 address, e.g. "127.0.7.11"
    std::array<uint8_t, 6> mac{};        // of this interface (record bytes 107 to 112)
    std::array<uint8_t, 6> baseMac{};    // the device's own MAC (record bytes 118 to 123)
    std::string application = "DuvoNet";
    std::string type = "DUVO 96";
    bool passNeeded = false;
    ModuleFault fault = ModuleFault::None;
    int delayMs = 0;
    // Configuration state. recordAddress: the static and active address the record claims
    // (empty: the module's own address); interfaceKind: 0 Ethernet, 1 WiFi, 2 Ethernet2.
    std::string recordAddress;
    uint8_t interfaceKind = 0;
    std::string tftpFile = "duvo.bin";
    uint8_t bootDelay = 3;
    std::string userName;   // the credentials a passNeeded module accepts
    std::string password;
    // The module's current 148-byte record; made from the fields above when the module is
    // added, then changed only by configuration requests the module accepts.
    std::vector<uint8_t> record;
    // When set, the type text is read from here at every answer (the instrument's own type).
    std::function<std::string()> typeSource;
    // How the module takes a firmware upload: credentials, memory, fault.
    SimUploadSettings upload;
    // Called on the module thread once an upload is complete, with the image the module
    // now holds (the instrument restarts on its new firmware).
    std::function<void(const std::vector<uint8_t> &image)> uploaded;
};

// The module's 148-byte configuration record for this interface.
std::array<uint8_t, 148> ModuleRecord(const SimModule &module);
// The whole discovery reply the module sends.
std::vector<uint8_t> ModuleReply(const SimModule &module);

class SimModuleNetwork {
public:
    // hubAddress: where a lab's discovery requests go (the workstation's DUVO_MODULE_TARGET).
    explicit SimModuleNetwork(std::string hubAddress);
    ~SimModuleNetwork();
    SimModuleNetwork(const SimModuleNetwork &) = delete;
    SimModuleNetwork &operator=(const SimModuleNetwork &) = delete;

    // Adds a module; returns its index. Modules added while running get their socket at once.
    int add(const SimModule &module);
    void setFault(int index, ModuleFault fault, int delayMs = 0);
    void setUpload(int index, const SimUploadSettings &settings);
    // The module's firmware upload state: what it received and holds.
    SimUploadStatus uploadStatus(int index) const;
    int count() const;
    SimModule module(int index) const;

    // Binds the hub and every module address on UDP 20034 and starts the thread.
    bool start(std::string *error = nullptr);
    void stop();
    bool running() const { return FThread.joinable(); }

    std::string hubAddress() const { return FHubAddress; }
    // Discovery requests received so far (hub and module addresses together).
    int requestsSeen() const { return FRequests.load(); }
    // Verification lists received, and the bytes of the last one.
    int verifyListsSeen() const { return FVerifyLists.load(); }
    std::vector<uint8_t> lastVerifyList() const;
    // Every configuration request received (accepted or not), in order, and how many a
    // module took.
    std::vector<std::vector<uint8_t>> configRequests() const;
    int configsAccepted() const { return FConfigsAccepted.load(); }

private:
    struct Pending {
        int64_t due;
        int fd;
        uint32_t toAddr;
        uint16_t toPort;
        std::vector<uint8_t> bytes;
    };
    int socketFor(const std::string &address, std::string *error);
    void run();
    void upload(int fd, uint32_t toAddr, uint16_t toPort, const uint8_t *data, size_t size);
    void answer(uint32_t toAddr, uint16_t toPort, int onlyFd,
                const std::function<bool(const SimModule &)> &wanted = {});
    void verify(const uint8_t *data, size_t size, uint32_t toAddr, uint16_t toPort, int onlyFd);
    void configure(const uint8_t *data, size_t size, int onlyFd);
    int fdOf(const std::string &address) const;

    std::string FHubAddress;
    mutable std::mutex FMutex;
    std::vector<SimModule> FModules;
    std::vector<SimFirmwareReceiver> FReceivers; // one per module
    std::vector<std::pair<std::string, int>> FSockets;  // address -> descriptor
    int FHub = -1;
    int FWake[2] = {-1, -1};
    std::vector<Pending> FPending;
    std::atomic<bool> FStop{false};
    std::atomic<int> FRequests{0};
    std::atomic<int> FVerifyLists{0};
    std::atomic<int> FConfigsAccepted{0};
    std::vector<uint8_t> FLastVerify;
    std::vector<std::vector<uint8_t>> FConfigRequests;
    std::thread FThread;
};

} // namespace duvosim
