#include "iptool/UnitList.h"

#include <cctype>
#include <cstdio>

namespace duvo::iptool {

namespace {

std::unique_ptr<UnitNode> makeNode(const DiscoveryReply &reply, UnitNode *parent)
{
    auto node = std::make_unique<UnitNode>();
    node->parent = parent;
    node->source = reply.source;
    node->key = NodeKey(reply.record);
    node->application = reply.application;
    node->type = reply.type;
    node->passwordNeeded = reply.passwordNeeded;
    node->record = reply.record;
    return node;
}

void takeReply(UnitNode &node, const DiscoveryReply &reply)
{
    node.record = reply.record;
    node.source = reply.source;
    node.application = reply.application;
    node.type = reply.type;
    node.passwordNeeded = reply.passwordNeeded;
}

} // namespace

InsertResult UnitList::InsertDeviceReply(const DiscoveryReply &reply)
{
    InsertResult result;
    result.first = FDevices.empty();
    const Mac key = NodeKey(reply.record);
    auto at = FDevices.begin();
    for (; at != FDevices.end(); ++at) {
        UnitNode &device = **at;
        if (device.key < key)
            continue;
        if (key < device.key)
            break;  // a new device goes before this one

        // The same device.
        const Mac mac = reply.record.mac();
        bool knownInterface = false;
        for (auto &child : device.children) {
            if (child->record.mac() != mac)
                continue;
            knownInterface = true;
            if (AddressMatches(child->record, child->source))
                return result;  // Ignored
            if (AddressMatches(reply.record, reply.source)) {
                takeReply(*child, reply);
                result.kind = InsertResult::Replaced;
                result.node = child.get();
                return result;
            }
        }
        // A known interface whose replies keep coming from a foreign address stays one node.
        if (knownInterface || device.record.mac() == mac)
            return result;  // Ignored
        if (device.children.empty()) {
            auto copy = std::make_unique<UnitNode>();
            copy->parent = &device;
            copy->source = device.source;
            copy->key = device.key;
            copy->application = device.application;
            copy->type = device.type;
            copy->passwordNeeded = device.passwordNeeded;
            copy->record = device.record;
            device.children.push_back(std::move(copy));
            device.children.push_back(makeNode(reply, &device));
            result.kind = InsertResult::Split;
            result.node = &device;
        } else {
            device.children.push_back(makeNode(reply, &device));
            result.kind = InsertResult::NewInterface;
            result.node = device.children.back().get();
        }
        return result;
    }
    at = FDevices.insert(at, makeNode(reply, nullptr));
    result.kind = InsertResult::NewDevice;
    result.node = at->get();
    return result;
}

std::string InterfaceName(const UnitConfigRecord &record)
{
    static const char *const names[] = {"Ethernet", "WiFi", "Ethernet2"};
    return names[record.interfaceKind() % 3];
}

Ipv4 ShownAddress(const UnitNode &node)
{
    if (AddressMatches(node.record, node.source))
        return node.source;
    if (!IsZero(node.record.activeIp()))
        return node.record.activeIp();
    return node.record.staticIp();
}

std::string FormatNodeLabel(const UnitNode &node)
{
    char text[512];
    if (node.hasInterfaces()) {
        const Mac &k = node.key;
        std::snprintf(text, sizeof text, "%s [%02X-%02X-%02X-%02X-%02X-%02X] running %s",
                      node.application.c_str(), k[0], k[1], k[2], k[3], k[4], k[5], node.type.c_str());
        return text;
    }
    const Mac m = node.record.mac();
    const Ipv4 a = ShownAddress(node);
    const char *at = IsZero(node.record.staticIp()) ? "DHCP at" : "at";
    if (node.isDevice()) {
        std::snprintf(text, sizeof text, "%s [%02X-%02X-%02X-%02X-%02X-%02X] %s %d.%d.%d.%d  Type: %s",
                      node.application.c_str(), m[0], m[1], m[2], m[3], m[4], m[5], at, a[0], a[1],
                      a[2], a[3], node.type.c_str());
    } else {
        std::snprintf(text, sizeof text, "%s [%02X-%02X-%02X-%02X-%02X-%02X] %s %d.%d.%d.%d",
                      InterfaceName(node.record).c_str(), m[0], m[1], m[2], m[3], m[4], m[5], at, a[0],
                      a[1], a[2], a[3]);
    }
    return text;
}

int NodeStateImage(const UnitNode &node)
{
    if (node.hasInterfaces())
        return 1;
    const int base = node.record.interfaceKind() == WiFi ? 4 : 2;
    return base + (AddressMatches(node.record, node.source) ? 0 : 1);
}

WirelessSettings ReadWirelessSettings(const std::string &tftpFile)
{
    WirelessSettings w;
    const size_t ssid = tftpFile.find("SSID:");
    if (ssid == std::string::npos)
        return w;
    const size_t from = ssid + 5;
    const size_t comma = tftpFile.find(',', from);
    w.ssid = tftpFile.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
    const size_t wep = tftpFile.find(",WEP:", from);
    if (wep != std::string::npos)
        w.wep = tftpFile.substr(wep + 5);
    return w;
}

std::string WirelessText(const std::string &ssid, const std::string &wep)
{
    std::string text = "SSID:" + ssid + ",WEP:" + wep;
    if (text.size() > TftpFileRoom - 1)
        text.resize(TftpFileRoom - 1);
    return text;
}

WepCheck CheckWepKeyText(const std::string &text)
{
    if (text.empty())
        return WepCheck::Ok;
    if (text.size() != 10 && text.size() != 26)
        return WepCheck::BadLength;
    for (unsigned char c : text)
        if (!std::isxdigit(c))
            return WepCheck::BadCharacters;
    return WepCheck::Ok;
}

} // namespace duvo::iptool
