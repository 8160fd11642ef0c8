#pragma once
// The floor the benches measure our exchanges against: a plain blocking client doing one
// instrument exchange (connect, send the request, read until the server closes), and the
// replay of a simulator's request log through it.

#include "duvosim/SimLab.h"
#include "link/NetExchange.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace bench {

inline sockaddr_in instrumentAddress(const std::string &host)
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(InstrumentTcpPort);
    ::inet_pton(AF_INET, host.c_str(), &addr.sin_addr);
    return addr;
}

// The reply is kept in *reply when one is given.
inline bool rawExchange(const sockaddr_in &addr, const std::string &request, std::string *reply = nullptr)
{
    if (reply)
        reply->clear();
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    bool ok = ::connect(fd, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) == 0
              && ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size());
    char buf[65536];
    while (ok) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n == 0)
            break;
        if (n < 0)
            ok = false;
        else if (reply)
            reply->append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return ok;
}

inline bool rawExchange(const std::string &host, const std::string &request)
{
    return rawExchange(instrumentAddress(host), request);
}

// Replays the logged requests in order with the plain client against a lab set up like the
// logged one was; returns seconds. Counts the exchanges that failed in *failed when given.
inline double replay(const duvosim::SimLab &lab, const std::vector<duvosim::SimRequestLogEntry> &log,
                     int *failed = nullptr)
{
    const auto t0 = std::chrono::steady_clock::now();
    for (const auto &e : log)
        if (!rawExchange(lab.address(e.instrument), e.bytes) && failed)
            ++*failed;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

} // namespace bench
