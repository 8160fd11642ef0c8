#include "iptool/CDiscoverySocket.h"

#include "common/ModuleFrame.h"
#include "iptool/UnitList.h"

#include <QSocketNotifier>
#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace duvo::iptool {

CDiscoverySocket::CDiscoverySocket(const std::string &target, const std::string &bind, QObject *parent)
    : QObject(parent), FTarget(target), FBind(bind)
{
}

CDiscoverySocket::~CDiscoverySocket()
{
    delete FNotifier;
    if (FFd >= 0)
        close(FFd);
}

bool CDiscoverySocket::open()
{
    if (FFd >= 0)
        return true;
    const int fd = module::OpenModuleSocket(FBind);
    if (fd < 0)
        return false;
    FFd = fd;
    FNotifier = new QSocketNotifier(FFd, QSocketNotifier::Read);
    connect(FNotifier, &QSocketNotifier::activated, this, [this] { receivePending(); });
    return true;
}

void CDiscoverySocket::setRelay(const std::string &address, uint16_t port)
{
    FRelayAddress = address;
    FRelayPort = port;
}

void CDiscoverySocket::send(const std::vector<uint8_t> &bytes)
{
    if (FFd >= 0)
        module::SendModuleDatagram(FFd, FTarget, bytes.data(), bytes.size());
}

void CDiscoverySocket::SendDiscoveryRequest()
{
    send(module::DiscoveryRequest());
}

void CDiscoverySocket::SendVerifyList(const UnitList &list)
{
    send(VerifyList(VerifyPairs(list)));
}

void CDiscoverySocket::SendConfig(const UnitConfigRecord &record)
{
    send(ConfigRequest(record));
}

void CDiscoverySocket::SendConfigWithLogin(const UnitConfigRecord &record, const std::string &password,
                                           const std::string &userName)
{
    send(ConfigRequestWithLogin(record, password, userName));
}

void CDiscoverySocket::relay(const uint8_t *data, size_t n, const Ipv4 &source)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(FRelayPort);
    if (inet_pton(AF_INET, FRelayAddress.c_str(), &to.sin_addr) != 1)
        return;
    std::vector<uint8_t> out(data, data + n);
    out.insert(out.end(), source.begin(), source.end());
    sendto(FFd, out.data(), out.size(), MSG_NOSIGNAL | MSG_DONTWAIT, reinterpret_cast<sockaddr *>(&to),
           sizeof to);
}

void CDiscoverySocket::receivePending()
{
    if (FFd < 0)
        return;
    // A bounded number per notification keeps the window responsive under a flood.
    for (int i = 0; i < 256; ++i) {
        uint8_t buffer[DatagramRoom];
        sockaddr_in from{};
        socklen_t len = sizeof from;
        const ssize_t got = recvfrom(FFd, buffer, sizeof buffer, MSG_DONTWAIT,
                                     reinterpret_cast<sockaddr *>(&from), &len);
        if (got < 0)
            return;
        if (got < 1 || from.sin_family != AF_INET)
            continue;
        Ipv4 source;
        std::memcpy(source.data(), &from.sin_addr, 4);
        const size_t n = size_t(got);
        relay(buffer, n, source);
        if (auto reply = ParseDiscoveryReply(buffer, n, source); reply && FHandler)
            FHandler(*reply);
    }
}

} // namespace duvo::iptool
