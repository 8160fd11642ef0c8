#pragma once
// The address tool's UDP socket: bound to port 20034 (on DUVO_MODULE_BIND, default all local
// addresses) with broadcasting enabled, sending to port 20034 of DUVO_MODULE_TARGET (default
// 255.255.255.255). Every datagram it receives is relayed, with the sender's IPv4 address
// appended (first octet first), to 127.0.0.1 port 20035 for an outside listener, and then read
// as a discovery reply. Sends are fire-and-forget. Lives on the GUI thread: datagrams arrive
// as socket notifications.

#include "iptool/ConfigMessages.h"

#include <QObject>
#include <functional>
#include <string>
#include <vector>

class QSocketNotifier;

namespace duvo::iptool {

class UnitList;

constexpr const char *RelayAddress = "127.0.0.1";
constexpr uint16_t RelayPort = 20035;
constexpr size_t DatagramRoom = 1024;

class CDiscoverySocket : public QObject {
    Q_OBJECT
public:
    CDiscoverySocket(const std::string &target, const std::string &bind, QObject *parent = nullptr);
    ~CDiscoverySocket() override;

    // Binds and enables broadcasting; false when either fails (the port is taken).
    bool open();
    bool isOpen() const { return FFd >= 0; }

    // Handed every valid discovery reply.
    void setReplyHandler(std::function<void(const DiscoveryReply &)> handler) { FHandler = std::move(handler); }
    // Where received datagrams are relayed (127.0.0.1:20035 unless changed).
    void setRelay(const std::string &address, uint16_t port);

    void SendDiscoveryRequest();
    void SendVerifyList(const UnitList &list);
    void SendConfig(const UnitConfigRecord &record);
    void SendConfigWithLogin(const UnitConfigRecord &record, const std::string &password,
                             const std::string &userName);

    // Reads every datagram waiting on the socket.
    void receivePending();

private:
    void send(const std::vector<uint8_t> &bytes);
    void relay(const uint8_t *data, size_t n, const Ipv4 &source);

    std::string FTarget;
    std::string FBind;
    std::string FRelayAddress = RelayAddress;
    uint16_t FRelayPort = RelayPort;
    int FFd = -1;
    QSocketNotifier *FNotifier = nullptr;
    std::function<void(const DiscoveryReply &)> FHandler;
};

} // namespace duvo::iptool
