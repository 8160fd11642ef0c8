#include "link/ModuleProtocol.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <set>
#include <sys/socket.h>
#include <unistd.h>

namespace duvo::module {

namespace {

std::string environmentOr(const char *name, const char *fallback)
{
    const char *value = std::getenv(name);
    return (value && *value) ? std::string(value) : std::string(fallback);
}

bool toSockaddr(const std::string &address, sockaddr_in &out)
{
    std::memset(&out, 0, sizeof out);
    out.sin_family = AF_INET;
    out.sin_port = htons(ModulePort);
    return inet_pton(AF_INET, address.c_str(), &out.sin_addr) == 1;
}

// Receive buffer asked for: room for replies of several hundred modules at once.
constexpr int WantedReceiveBuffer = 4 * 1024 * 1024;

void enlargeReceiveBuffer(int fd)
{
    int size = WantedReceiveBuffer;
    // As root the system limit does not apply; otherwise take what the system allows.
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
}

bool sendThrough(int fd, const sockaddr_in &to, const void *data, size_t size, unsigned ifindex,
                 in_addr source)
{
    iovec iov{const_cast<void *>(data), size};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr msg{};
    msg.msg_name = const_cast<sockaddr_in *>(&to);
    msg.msg_namelen = sizeof to;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    cmsghdr *c = CMSG_FIRSTHDR(&msg);
    c->cmsg_level = IPPROTO_IP;
    c->cmsg_type = IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_ifindex = static_cast<int>(ifindex);
    info.ipi_spec_dst = source;
    std::memcpy(CMSG_DATA(c), &info, sizeof info);
    return sendmsg(fd, &msg, MSG_NOSIGNAL) == static_cast<ssize_t>(size);
}

int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The zero-ended text starting at pos inside [0, size); false when it has no end inside.
bool zeroEndedText(const uint8_t *data, size_t size, size_t pos, size_t &end)
{
    if (pos >= size)
        return false;
    const void *zero = std::memchr(data + pos, 0, size - pos);
    if (!zero)
        return false;
    end = static_cast<size_t>(static_cast<const uint8_t *>(zero) - data);
    return true;
}

void copyText(char *dest, size_t room, const char *src, size_t len)
{
    if (len > room - 1)
        len = room - 1;
    std::memcpy(dest, src, len);
    dest[len] = '\0';
}

} // namespace

std::string ModuleTargetAddress()
{
    return environmentOr("DUVO_MODULE_TARGET", LimitedBroadcast);
}

std::string ModuleBindAddress()
{
    return environmentOr("DUVO_MODULE_BIND", AnyAddress);
}

std::vector<uint8_t> DiscoveryRequest()
{
    std::vector<uint8_t> request(DiscoveryRequestSize, 0);
    std::memcpy(request.data(), RequestMagic, 4);
    request[4] = static_cast<uint8_t>(DiscoveryLetter);
    return request;
}

int OpenModuleSocket(const std::string &bindAddress)
{
    sockaddr_in local;
    if (!toSockaddr(bindAddress, local)) {
        std::fprintf(stderr, "oops: bind socket failed: bad local address %s\n", bindAddress.c_str());
        return ErrBind;
    }
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        std::fprintf(stderr, "oops: bind socket failed: %s\n", std::strerror(errno));
        return ErrBind;
    }
    // No SO_REUSEADDR: a second user of the port must fail here.
    if (bind(fd, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0) {
        std::fprintf(stderr, "oops: bind socket failed: %s\n", std::strerror(errno));
        close(fd);
        return ErrBind;
    }
    const int on = 1;
    if (setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
        std::fprintf(stderr, "oops: set socket option failed: %s\n", std::strerror(errno));
        close(fd);
        return ErrBroadcast;
    }
    enlargeReceiveBuffer(fd);
    return fd;
}

bool SendModuleDatagram(int fd, const std::string &target, const void *data, size_t size)
{
    sockaddr_in to;
    if (!toSockaddr(target, to))
        return false;
    if (to.sin_addr.s_addr == htonl(INADDR_BROADCAST)) {
        ifaddrs *list = nullptr;
        if (getifaddrs(&list) == 0) {
            std::set<unsigned> done;
            bool any = false, sentOne = false;
            for (ifaddrs *i = list; i; i = i->ifa_next) {
                if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET)
                    continue;
                if (!(i->ifa_flags & IFF_UP) || (i->ifa_flags & IFF_LOOPBACK))
                    continue;
                const unsigned index = if_nametoindex(i->ifa_name);
                if (index == 0 || !done.insert(index).second)
                    continue;
                any = true;
                const in_addr source = reinterpret_cast<const sockaddr_in *>(i->ifa_addr)->sin_addr;
                if (sendThrough(fd, to, data, size, index, source))
                    sentOne = true;
            }
            freeifaddrs(list);
            if (any)
                return sentOne;
        }
        // No interface but loopback: let the system route it (and fail when it cannot).
    }
    return sendto(fd, data, size, MSG_NOSIGNAL, reinterpret_cast<const sockaddr *>(&to), sizeof to)
        == static_cast<ssize_t>(size);
}

} // namespace duvo::module

using namespace duvo::module;

int DiscoverModules(int waitMs, DiscoveryEntry *table, int tableSize, const DiscoveryOptions &options)
{
    // The POSIX socket layer needs no start-up, so ErrVersion never happens here.
    const int fd = OpenModuleSocket(options.bind);
    if (fd < 0)
        return fd;

    const std::vector<uint8_t> request = DiscoveryRequest();
    if (!SendModuleDatagram(fd, options.target, request.data(), request.size())) {
        std::fprintf(stderr, "oops: send failed: %s\n", std::strerror(errno));
        close(fd);
        return ErrSend;
    }

    if (tableSize < 0)
        tableSize = 0;
    for (int i = 0; i < tableSize; ++i)
        std::memset(&table[i], 0, sizeof table[i]);

    // Only a new module reply restarts the wait: foreign datagrams, our own request's echo
    // and repeated replies do not, so the loop always ends waitMs after the last new module.
    const int64_t wait = waitMs > 0 ? waitMs : 0;
    int64_t deadline = nowMs() + wait;
    int count = 0;
    uint8_t buffer[ReceiveBufferSize];
    for (;;) {
        if (options.stop && options.stop->load())
            break;
        const int64_t left = deadline - nowMs();
        if (left <= 0)
            break;
        pollfd p{fd, POLLIN, 0};
        const int slice = static_cast<int>(left < 100 ? left : 100);
        const int ready = poll(&p, 1, slice);
        if (ready < 0 && errno != EINTR)
            break;
        if (ready <= 0)
            continue;

        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        const ssize_t got = recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr *>(&from),
                                     &fromLen);
        if (got < static_cast<ssize_t>(DiscoveryRequestSize) || from.sin_family != AF_INET)
            continue;
        const size_t size = static_cast<size_t>(got);
        if (std::memcmp(buffer, ReplyMagic, 4) != 0)
            continue;
        size_t nameEnd = 0, typeEnd = 0;
        if (!zeroEndedText(buffer, size, ReplyTextsOffset, nameEnd)
            || !zeroEndedText(buffer, size, nameEnd + 1, typeEnd))
            continue;

        char ip[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &from.sin_addr, ip, sizeof ip);
        char mac[18];
        FormatMac(buffer + ReplyMacOffset, mac);

        bool known = false;
        for (int i = 0; i < count && !known; ++i)
            known = std::strcmp(table[i].ip, ip) == 0 && std::strcmp(table[i].mac, mac) == 0;
        if (known || count >= tableSize)
            continue;

        DiscoveryEntry &e = table[count++];
        copyText(e.ip, sizeof e.ip, ip, std::strlen(ip));
        copyText(e.mac, sizeof e.mac, mac, std::strlen(mac));
        copyText(e.type, sizeof e.type, reinterpret_cast<const char *>(buffer + nameEnd + 1),
                 typeEnd - nameEnd - 1);
        deadline = nowMs() + wait;
    }
    close(fd);
    return count;
}

int ParseIPv4(uint8_t out[4], const char *text)
{
    // The value is kept wide and checked at every digit, so no part can wrap round to a
    // different, valid byte; a part without digits or fewer than four parts fail.
    uint32_t value = 0;
    bool digits = false;
    int pos = 0;
    for (const char *c = text; c && *c; ++c) {
        if (*c >= '0' && *c <= '9') {
            value = value * 10 + static_cast<uint32_t>(*c - '0');
            digits = true;
            if (value > 255)
                return 0;
        } else if (*c == '.') {
            if (!digits)
                return 0;
            out[pos++] = static_cast<uint8_t>(value);
            value = 0;
            digits = false;
            if (pos == 4)
                return 1;
        }
    }
    if (pos != 3 || !digits)
        return 0;
    out[3] = static_cast<uint8_t>(value);
    return 1;
}

void FormatMac(const uint8_t mac[6], char *out)
{
    std::snprintf(out, 18, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4],
                  mac[5]);
}
