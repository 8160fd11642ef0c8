#pragma once
// The network modules' frame, shared by the workstation and the network address tool:
// fixed-field datagrams over UDP port 20034 on both ends. Requests begin with "DVMQ",
// replies with "DVMR", byte 4 is the message letter. Here: the frame constants, the
// discovery request, the module socket and the sender.
//
// Addresses: the product sends to 255.255.255.255 and binds 0.0.0.0. Programs read the two
// addresses from DUVO_MODULE_TARGET and DUVO_MODULE_BIND (same defaults), so tests and demos
// can keep all module traffic on a loopback /24.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace duvo::module {

constexpr uint16_t ModulePort = 20034;
constexpr char RequestMagic[4] = {'D', 'V', 'M', 'Q'};
constexpr char ReplyMagic[4] = {'D', 'V', 'M', 'R'};
constexpr char DiscoveryLetter = 'R';
constexpr size_t DiscoveryRequestSize = 153;  // magic, letter, 148 bytes without meaning
constexpr size_t ConfigRecordSize = 148;      // the module's configuration record, from byte 5
constexpr size_t ReplyMacOffset = 112;        // record byte 107: the interface's MAC
constexpr size_t ReplyTextsOffset = 153;      // application name, then type text
constexpr size_t ReceiveBufferSize = 512;
constexpr int DefaultTableSize = 500;

// Result codes of DiscoverModules below zero.
constexpr int ErrBind = -101;
constexpr int ErrVersion = -102;
constexpr int ErrBroadcast = -103;
constexpr int ErrSend = -104;

constexpr const char *LimitedBroadcast = "255.255.255.255";
constexpr const char *AnyAddress = "0.0.0.0";

// DUVO_MODULE_TARGET, or 255.255.255.255 when unset or empty.
std::string ModuleTargetAddress();
// DUVO_MODULE_BIND, or 0.0.0.0 when unset or empty.
std::string ModuleBindAddress();

// The 153-byte discovery request: "DVMQ", 'R', 148 zero bytes.
std::vector<uint8_t> DiscoveryRequest();

// Creates a UDP socket bound to bindAddress:20034 without address sharing (so a second user
// of the port fails), broadcasting enabled and a receive buffer large enough for a burst of
// replies. Returns the descriptor, or ErrBind / ErrBroadcast after writing the diagnostic to
// standard error.
int OpenModuleSocket(const std::string &bindAddress);

// Sends one datagram to target:20034. When target is the limited broadcast the datagram goes
// out through every IPv4 interface that is up (Linux would otherwise use only the interface
// of the default route, and none at all on a network without one); true when at least one
// copy was sent.
bool SendModuleDatagram(int fd, const std::string &target, const void *data, size_t size);

} // namespace duvo::module
