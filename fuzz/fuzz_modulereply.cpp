// The workstation's check of a datagram in the discovery loop, on arbitrary bytes: it never
// reads outside the datagram, and what it accepts is a module reply with its texts inside.
#include "link/ModuleProtocol.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A copy of exactly the input's size, so any read past it is caught.
    const std::vector<uint8_t> datagram(data, data + size);
    char mac[18];
    std::string type;
    if (CheckModuleReply(datagram.data(), datagram.size(), mac, type)) {
        if (size < duvo::module::DiscoveryRequestSize || std::memcmp(data, "DVMR", 4) != 0
            || std::strlen(mac) != 17 || type.find('\0') != std::string::npos || type.size() >= size)
            std::abort();
    }
    return 0;
}
