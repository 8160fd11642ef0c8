#pragma once
// The address tool's own module messages: the verification list ('V', "DVM2"), the
// configuration request ('W') with and without user name and password, and the reading of a
// discovery reply.

#include "iptool/UnitConfigRecord.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace duvo::iptool {

class UnitList;

constexpr char VerifyMagic[4] = {'D', 'V', 'M', '2'};
constexpr char VerifyLetter = 'V';
constexpr char ConfigLetter = 'W';
constexpr char CredentialsMark[4] = {'1', '4', '1', '4'};
constexpr size_t ConfigRequestSize = 153;
constexpr size_t ConfigLoginRequestSize = 197;
constexpr size_t CredentialRoom = 20;  // 19 characters and a zero byte
constexpr size_t ApplicationRoom = 79;
constexpr size_t TypeRoom = 199;

// One pair of the verification list: MAC bytes 4 and 5 of the interface, byte 4 with its top
// bit inverted when the interface's last reply failed AddressMatches.
struct VerifyPair {
    uint8_t mac4 = 0;
    uint8_t mac5 = 0;
};

// "DVM2", 'V', the pairs, four zero bytes and a zero filler byte: 10 + 2n bytes.
std::vector<uint8_t> VerifyList(const std::vector<VerifyPair> &pairs);
// The pairs of the tool's device list, in its order: every interface node of a device with
// interface nodes, the device node itself otherwise.
std::vector<VerifyPair> VerifyPairs(const UnitList &list);

// "DVMQ", 'W', the 148 record bytes: 153 bytes. Always the whole record, whatever its length
// field says.
std::vector<uint8_t> ConfigRequest(const UnitConfigRecord &record);
// The same with "1414" at byte 153, then the password and the user name, each cut to 19
// characters and zero-filled to 20 bytes: 197 bytes.
std::vector<uint8_t> ConfigRequestWithLogin(const UnitConfigRecord &record, const std::string &password,
                                            const std::string &userName);

struct DiscoveryReply {
    std::string application;
    std::string type;
    bool passwordNeeded = false;
    UnitConfigRecord record;
    Ipv4 source{};
};

// Reads a discovery reply of n bytes from source: "DVMR", the record from byte 5, the
// application name from byte 153, the type text after it (":Unknown" reads as empty) and the
// "PASSNEEDED" text after the type. Nothing when the magic is not "DVMR" or the datagram is
// shorter than 153 bytes. Texts are never read past the datagram's end.
std::optional<DiscoveryReply> ParseDiscoveryReply(const uint8_t *data, size_t n, const Ipv4 &source);

} // namespace duvo::iptool
