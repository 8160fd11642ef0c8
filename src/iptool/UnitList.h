#pragma once
// The address tool's device list: device nodes in ascending order of their keys, each either
// one interface itself or the owner of a list of interface nodes (the first a copy of the
// device's first reply). InsertDeviceReply files every discovery reply and says what changed,
// so the window can mirror it in its tree (which keeps the order of arrival).

#include "iptool/ConfigMessages.h"
#include "iptool/UnitConfigRecord.h"

#include <memory>
#include <string>
#include <vector>

namespace duvo::iptool {

struct UnitNode {
    UnitNode *parent = nullptr;  // the device node of an interface node
    std::vector<std::unique_ptr<UnitNode>> children;  // interface nodes
    Ipv4 source{};  // source address of the reply the node was made from
    Mac key{};      // NodeKey of the record
    std::string application;
    std::string type;
    bool passwordNeeded = false;
    UnitConfigRecord record;

    bool isDevice() const { return parent == nullptr; }
    bool hasInterfaces() const { return !children.empty(); }
};

// What InsertDeviceReply did.
struct InsertResult {
    enum Kind {
        Ignored,       // a repeated reply
        NewDevice,     // node: a new device at the end of the tree's root level
        Replaced,      // node: an interface node took the new reply (label and image change)
        Split,         // node: the device that now has two interface nodes (both new)
        NewInterface,  // node: a further interface node of the device node->parent
    } kind = Ignored;
    UnitNode *node = nullptr;
    bool first = false;  // the list was empty before this reply
};

class UnitList {
public:
    InsertResult InsertDeviceReply(const DiscoveryReply &reply);
    void clear() { FDevices.clear(); }
    bool empty() const { return FDevices.empty(); }
    const std::vector<std::unique_ptr<UnitNode>> &devices() const { return FDevices; }

private:
    std::vector<std::unique_ptr<UnitNode>> FDevices;  // ascending keys
};

// The tree text of a node.
std::string FormatNodeLabel(const UnitNode &node);
// 1 a device with interface nodes; 2 wired, 4 WiFi, plus 1 when the address does not match.
int NodeStateImage(const UnitNode &node);
// "Ethernet", "WiFi" or "Ethernet2" by the interface kind modulo 3.
std::string InterfaceName(const UnitConfigRecord &record);
// The address a label shows: the reply's source when it matches the record, else the active
// address when set, else the static address.
Ipv4 ShownAddress(const UnitNode &node);

// The wireless settings carried in the TFTP file text "SSID:%s,WEP:%s": the text after "SSID:"
// up to the next ',', and the text after ",WEP:"; both empty without "SSID:".
struct WirelessSettings {
    std::string ssid;
    std::string wep;
};
WirelessSettings ReadWirelessSettings(const std::string &tftpFile);
// "SSID:%s,WEP:%s", cut to 79 characters.
std::string WirelessText(const std::string &ssid, const std::string &wep);

enum class WepCheck { Ok, BadCharacters, BadLength };
// Empty passes; 10 or 26 hexadecimal digits pass.
WepCheck CheckWepKeyText(const std::string &text);

} // namespace duvo::iptool
