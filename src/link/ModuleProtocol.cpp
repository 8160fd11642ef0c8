#include "link/ModuleProtocol.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

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
        if (got < 0 || from.sin_family != AF_INET)
            continue;
        char mac[18];
        std::string type;
        if (!CheckModuleReply(buffer, static_cast<size_t>(got), mac, type))
            continue;

        char ip[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &from.sin_addr, ip, sizeof ip);

        bool known = false;
        for (int i = 0; i < count && !known; ++i)
            known = std::strcmp(table[i].ip, ip) == 0 && std::strcmp(table[i].mac, mac) == 0;
        if (known || count >= tableSize)
            continue;

        DiscoveryEntry &e = table[count++];
        copyText(e.ip, sizeof e.ip, ip, std::strlen(ip));
        copyText(e.mac, sizeof e.mac, mac, std::strlen(mac));
        copyText(e.type, sizeof e.type, type.data(), type.size());
        deadline = nowMs() + wait;
    }
    close(fd);
    return count;
}

bool CheckModuleReply(const uint8_t *data, size_t size, char mac[18], std::string &type)
{
    if (!data || size < DiscoveryRequestSize || std::memcmp(data, ReplyMagic, 4) != 0)
        return false;
    size_t nameEnd = 0, typeEnd = 0;
    if (!zeroEndedText(data, size, ReplyTextsOffset, nameEnd) || !zeroEndedText(data, size, nameEnd + 1, typeEnd))
        return false;
    FormatMac(data + ReplyMacOffset, mac);
    type.assign(reinterpret_cast<const char *>(data + nameEnd + 1), typeEnd - nameEnd - 1);
    return true;
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
