#include "common/ModuleFrame.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
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
