// IPDuvo's discovery replies on arbitrary bytes, filed as the dialog files them: the input is a
// sequence of datagrams, each a source-address byte, a length byte and that many bytes. The
// reader never reads outside a datagram, and the device list stays well formed after every
// reply: devices in ascending key order, interface nodes pointing at their device, every node
// labelled.
#include "iptool/ConfigMessages.h"
#include "iptool/UnitList.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

using namespace duvo::iptool;

namespace {

void checkNode(const UnitNode &node, const UnitNode *parent)
{
    if (node.parent != parent)
        std::abort();
    if (FormatNodeLabel(node).empty())
        std::abort();
    const int image = NodeStateImage(node);
    if (image < 0 || image > 5)
        std::abort();
    for (const auto &child : node.children) {
        if (parent)
            std::abort();  // interfaces have no interfaces of their own
        checkNode(*child, &node);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    UnitList list;
    size_t at = 0;
    int replies = 0;
    while (at + 2 <= size && replies < 64) {
        const Ipv4 source = {127, 0, 0, data[at]};
        const size_t length = data[at + 1] * 2u;  // up to 510 bytes
        at += 2;
        const size_t n = std::min(length, size - at);
        const std::vector<uint8_t> datagram(data + at, data + at + n);  // exactly its size
        at += n;
        ++replies;
        const std::optional<DiscoveryReply> reply = ParseDiscoveryReply(datagram.data(), datagram.size(), source);
        if (!reply)
            continue;
        const InsertResult r = list.InsertDeviceReply(*reply);
        if (r.kind != InsertResult::Ignored && !r.node)
            std::abort();
        const auto &devices = list.devices();
        for (size_t i = 0; i < devices.size(); ++i) {
            if (i > 0 && !(devices[i - 1]->key < devices[i]->key))
                std::abort();
            checkNode(*devices[i], nullptr);
        }
    }
    return 0;
}
