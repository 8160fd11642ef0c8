#include "iptool/ConfigMessages.h"

#include "common/ModuleFrame.h"
#include "iptool/UnitList.h"

#include <algorithm>
#include <cstring>

namespace duvo::iptool {

namespace {

void appendField(std::vector<uint8_t> &out, const std::string &text, size_t room)
{
    const size_t n = std::min(text.size(), room - 1);
    out.insert(out.end(), text.begin(), text.begin() + long(n));
    out.insert(out.end(), room - n, 0);
}

VerifyPair pairOf(const UnitNode &node)
{
    const Mac mac = node.record.mac();
    VerifyPair p{mac[4], mac[5]};
    if (!AddressMatches(node.record, node.source))
        p.mac4 ^= 0x80;
    return p;
}

// Length of the text from pos up to its zero byte, at most room characters and never past n.
size_t textLength(const uint8_t *data, size_t n, size_t pos, size_t room)
{
    size_t len = 0;
    while (pos + len < n && len < room && data[pos + len] != 0)
        ++len;
    return len;
}

} // namespace

std::vector<uint8_t> VerifyList(const std::vector<VerifyPair> &pairs)
{
    std::vector<uint8_t> out(VerifyMagic, VerifyMagic + 4);
    out.push_back(uint8_t(VerifyLetter));
    for (const VerifyPair &p : pairs) {
        out.push_back(p.mac4);
        out.push_back(p.mac5);
    }
    out.insert(out.end(), 5, 0);
    return out;
}

std::vector<VerifyPair> VerifyPairs(const UnitList &list)
{
    std::vector<VerifyPair> pairs;
    for (const auto &device : list.devices()) {
        if (device->children.empty())
            pairs.push_back(pairOf(*device));
        for (const auto &child : device->children)
            pairs.push_back(pairOf(*child));
    }
    return pairs;
}

std::vector<uint8_t> ConfigRequest(const UnitConfigRecord &record)
{
    std::vector<uint8_t> out(module::RequestMagic, module::RequestMagic + 4);
    out.push_back(uint8_t(ConfigLetter));
    out.insert(out.end(), record.bytes.begin(), record.bytes.end());
    return out;
}

std::vector<uint8_t> ConfigRequestWithLogin(const UnitConfigRecord &record, const std::string &password,
                                            const std::string &userName)
{
    std::vector<uint8_t> out = ConfigRequest(record);
    out.insert(out.end(), CredentialsMark, CredentialsMark + 4);
    appendField(out, password, CredentialRoom);
    appendField(out, userName, CredentialRoom);
    return out;
}

std::optional<DiscoveryReply> ParseDiscoveryReply(const uint8_t *data, size_t n, const Ipv4 &source)
{
    constexpr size_t textsAt = 5 + RecordSize;  // 153
    if (!data || n < textsAt || std::memcmp(data, module::ReplyMagic, 4) != 0)
        return std::nullopt;

    DiscoveryReply reply;
    reply.source = source;
    reply.record = UnitConfigRecord::fromBytes(data + 5);
    if (n > textsAt) {
        const size_t nameLen = textLength(data, n, textsAt, ApplicationRoom);
        reply.application.assign(reinterpret_cast<const char *>(data + textsAt), nameLen);
        // The type text starts after the name's zero byte; the name itself may run on past
        // its room, so find its real end first.
        size_t nameEnd = textsAt;
        while (nameEnd < n && data[nameEnd] != 0)
            ++nameEnd;
        if (nameEnd + 2 <= n) {
            const size_t typeAt = nameEnd + 1;
            const size_t typeLen = textLength(data, n, typeAt, TypeRoom);
            reply.type.assign(reinterpret_cast<const char *>(data + typeAt), typeLen);
            size_t typeEnd = typeAt;
            while (typeEnd < n && data[typeEnd] != 0)
                ++typeEnd;
            static const char pass[] = "PASSNEEDED";
            constexpr size_t passLen = sizeof pass;  // with its zero byte
            for (size_t p = typeEnd; p + passLen <= n && !reply.passwordNeeded; ++p)
                reply.passwordNeeded = std::memcmp(data + p, pass, passLen) == 0;
            if (reply.type == ":Unknown")
                reply.type.clear();
        }
    }
    return reply;
}

} // namespace duvo::iptool
