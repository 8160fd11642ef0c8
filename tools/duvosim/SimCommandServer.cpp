#include "duvosim/SimCommandServer.h"

#include <tinyxml.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace duvosim {

namespace {

// A request that has not closed its root after this much silence is answered as it stands.
constexpr int IdleRequestMs = 3000;
// Requests larger than this are answered at once (and the rest is not read).
constexpr size_t MaxRequestBytes = 16u << 20;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

} // namespace

bool SimCommandServer::requestComplete(const std::string &text)
{
    size_t i = 0;
    for (;;) {
        while (i < text.size() && isSpace(text[i]))
            ++i;
        if (text.compare(i, 2, "<?") == 0) {
            const size_t end = text.find("?>", i + 2);
            if (end == std::string::npos)
                return false;
            i = end + 2;
        } else if (text.compare(i, 4, "<!--") == 0) {
            const size_t end = text.find("-->", i + 4);
            if (end == std::string::npos)
                return false;
            i = end + 3;
        } else if (text.compare(i, 2, "<!") == 0) {
            const size_t end = text.find('>', i + 2);
            if (end == std::string::npos)
                return false;
            i = end + 1;
        } else {
            break;
        }
    }
    if (i >= text.size() || text[i] != '<')
        return false;
    size_t n = i + 1;
    while (n < text.size() && !isSpace(text[n]) && text[n] != '/' && text[n] != '>')
        ++n;
    const std::string root = text.substr(i + 1, n - i - 1);
    if (root.empty())
        return false;
    // The end of the start tag, quotes respected.
    char quote = 0;
    size_t tagEnd = std::string::npos;
    for (size_t k = n; k < text.size(); ++k) {
        const char c = text[k];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            tagEnd = k;
            break;
        }
    }
    if (tagEnd == std::string::npos)
        return false;
    if (text[tagEnd - 1] == '/')
        return true;
    // The text must end with the root's end tag.
    size_t end = text.size();
    while (end > tagEnd && isSpace(text[end - 1]))
        --end;
    if (end == tagEnd + 1 || text[end - 1] != '>')
        return false;
    const size_t open = text.rfind("</", end - 1);
    if (open == std::string::npos || open <= tagEnd)
        return false;
    size_t k = open + 2;
    if (text.compare(k, root.size(), root) != 0)
        return false;
    k += root.size();
    while (k < end - 1 && isSpace(text[k]))
        ++k;
    if (k != end - 1)
        return false;
    TiXmlDocument doc;
    doc.Parse(text.c_str(), nullptr, TIXML_ENCODING_LEGACY);
    return !doc.Error();
}

bool SimCommandServer::start(SimLab &lab, std::string &error)
{
    FLab = &lab;
    FStarted = true;
    for (int k = 0; k < lab.count(); ++k)
        if (!lab.instrument(k).refusing() && !openListener(k, error))
            return false;
    return true;
}

void SimCommandServer::stop()
{
    while (!FConnections.empty())
        closeConnection(FConnections.begin()->first, false);
    for (auto &[k, l] : FListeners) {
        if (l.fd >= 0) {
            FLab->reactor().unwatch(l.fd);
            ::close(l.fd);
            l.fd = -1;
        }
        if (l.rebootTimer)
            FLab->reactor().cancel(l.rebootTimer);
    }
    FListeners.clear();
    FStarted = false;
}

void SimCommandServer::instrumentAdded(SimInstrument &instrument)
{
    if (!FStarted)
        return;
    std::string error;
    if (!instrument.refusing())
        openListener(instrument.index(), error);
}

bool SimCommandServer::openListener(int k, std::string &error)
{
    Listener &l = FListeners[k];
    if (l.fd >= 0)
        return true;
    const std::string address = FLab->address(k);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(CommandPort);
    if (::inet_pton(AF_INET, address.c_str(), &addr.sin_addr) != 1) {
        error = "bad address " + address;
        return false;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || ::listen(fd, 256) != 0) {
        error = address + ":" + std::to_string(CommandPort) + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    l.fd = fd;
    FLab->reactor().watch(fd, POLLIN, [this, k](short) { onAccept(k); });
    return true;
}

void SimCommandServer::closeListener(int k)
{
    auto it = FListeners.find(k);
    if (it == FListeners.end() || it->second.fd < 0)
        return;
    FLab->reactor().unwatch(it->second.fd);
    ::close(it->second.fd);
    it->second.fd = -1;
}

void SimCommandServer::syncListener(int k)
{
    if (!FStarted || k < 0 || k >= FLab->count())
        return;
    const bool rebooting = FListeners.count(k) && FListeners[k].rebooting;
    if (FLab->instrument(k).refusing() || rebooting) {
        closeListener(k);
    } else {
        std::string error;
        openListener(k, error);
    }
}

void SimCommandServer::reboot(int k, int ms)
{
    Listener &l = FListeners[k];
    l.rebooting = true;
    closeListener(k);
    if (l.rebootTimer)
        FLab->reactor().cancel(l.rebootTimer);
    l.rebootTimer = FLab->reactor().after(ms, [this, k] {
        Listener &l2 = FListeners[k];
        l2.rebooting = false;
        l2.rebootTimer = 0;
        syncListener(k);
    });
}

void SimCommandServer::onAccept(int k)
{
    auto it = FListeners.find(k);
    if (it == FListeners.end() || it->second.fd < 0)
        return;
    for (;;) {
        const int fd = ::accept4(it->second.fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        const uint64_t id = FNextId++;
        Connection &c = FConnections[id];
        c.fd = fd;
        c.instrument = k;
        c.id = id;
        FLab->countConnection(k);
        FLab->reactor().watch(fd, POLLIN, [this, id](short revents) {
            if (revents & (POLLIN | POLLHUP | POLLERR))
                onReadable(id);
            if (FConnections.count(id) && (revents & POLLOUT))
                onWritable(id);
        });
    }
}

void SimCommandServer::onReadable(uint64_t id)
{
    auto it = FConnections.find(id);
    if (it == FConnections.end())
        return;
    Connection &c = it->second;
    char buffer[65536];
    bool gotData = false;
    for (;;) {
        const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
        if (n > 0) {
            if (!c.answered && c.in.size() < MaxRequestBytes)
                c.in.append(buffer, static_cast<size_t>(n));
            gotData = true;
            continue;
        }
        if (n == 0) {
            c.peerClosed = true;
            break;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            break;
        closeConnection(id, false);  // reset by the peer
        return;
    }
    if (!c.answered) {
        if (requestComplete(c.in) || c.in.size() >= MaxRequestBytes || (c.peerClosed && !c.in.empty())) {
            answer(c);
            return;
        }
        if (c.peerClosed) {
            closeConnection(id, false);
            return;
        }
        if (gotData) {
            if (c.timer)
                FLab->reactor().cancel(c.timer);
            c.timer = FLab->reactor().after(IdleRequestMs, [this, id] {
                auto i2 = FConnections.find(id);
                if (i2 != FConnections.end() && !i2->second.answered) {
                    i2->second.timer = 0;
                    answer(i2->second);
                }
            });
        }
        return;
    }
    // Answered: the client closing ends a silent or finished connection.
    if (c.peerClosed) {
        if (c.after == Connection::After::Silence || c.sent >= c.out.size())
            closeConnection(id, false);
        else
            FLab->reactor().setEvents(c.fd, POLLOUT);  // finish writing, then close
    }
}

void SimCommandServer::answer(Connection &c)
{
    c.answered = true;
    if (c.timer) {
        FLab->reactor().cancel(c.timer);
        c.timer = 0;
    }
    SimInstrument &instrument = FLab->instrument(c.instrument);
    SimResponse response = instrument.handleRequest(c.in);

    SimRequestLogEntry entry;
    entry.instrument = c.instrument;
    entry.connection = c.id;
    entry.time = std::chrono::system_clock::now();
    entry.steadyTime = std::chrono::steady_clock::now();
    entry.bytes = c.in;
    entry.command = response.command;
    entry.folder = response.folder;
    entry.file = response.file;
    FLab->logRequest(std::move(entry));

    const uint64_t id = c.id;
    auto act = [this, id, response]() {
        auto it = FConnections.find(id);
        if (it == FConnections.end())
            return;
        Connection &conn = it->second;
        conn.timer = 0;
        const std::string &reply = response.reply;
        if (!response.fault) {
            beginSend(conn, reply, Connection::After::Close);
            return;
        }
        switch (response.fault->kind) {
        case FaultKind::CloseWithoutReply:
            closeConnection(id, false);
            return;
        case FaultKind::ResetBeforeReply:
            closeConnection(id, true);
            return;
        case FaultKind::ResetMidReply:
            beginSend(conn, reply.substr(0, reply.size() / 2), Connection::After::Reset);
            return;
        case FaultKind::HalfReplyThenSilence:
            beginSend(conn, reply.substr(0, reply.size() / 2), Connection::After::Silence);
            return;
        default:
            beginSend(conn, reply, Connection::After::Close);
            return;
        }
    };
    const int delay = response.fault ? response.fault->delayMs : 0;
    if (delay > 0)
        c.timer = FLab->reactor().after(delay, act);
    else
        act();
}

void SimCommandServer::beginSend(Connection &c, std::string bytes, Connection::After after)
{
    c.out = std::move(bytes);
    c.sent = 0;
    c.after = after;
    onWritable(c.id);
}

void SimCommandServer::onWritable(uint64_t id)
{
    auto it = FConnections.find(id);
    if (it == FConnections.end())
        return;
    Connection &c = it->second;
    if (!c.answered)
        return;
    while (c.sent < c.out.size()) {
        const ssize_t n = ::send(c.fd, c.out.data() + c.sent, c.out.size() - c.sent, MSG_NOSIGNAL);
        if (n > 0) {
            c.sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            FLab->reactor().setEvents(c.fd, POLLIN | POLLOUT);
            return;
        }
        closeConnection(id, false);
        return;
    }
    FLab->reactor().setEvents(c.fd, POLLIN);
    finish(id);
}

void SimCommandServer::finish(uint64_t id)
{
    Connection &c = FConnections[id];
    switch (c.after) {
    case Connection::After::Close: {
        const int k = c.instrument;
        closeConnection(id, false);
        applyPowerRequest(k);
        return;
    }
    case Connection::After::Silence:
        return;  // stays open until the client gives up
    case Connection::After::Reset: {
        // Let the half reply leave the send queue before the reset, so it reaches the client.
        int queued = 0;
        if (::ioctl(c.fd, SIOCOUTQ, &queued) == 0 && queued > 0) {
            c.timer = FLab->reactor().after(2, [this, id] {
                if (FConnections.count(id))
                    finish(id);
            });
            return;
        }
        c.timer = FLab->reactor().after(20, [this, id] {
            if (FConnections.count(id))
                closeConnection(id, true);
        });
        return;
    }
    }
}

void SimCommandServer::applyPowerRequest(int k)
{
    SimInstrument &instrument = FLab->instrument(k);
    const std::string request = instrument.takePowerRequest();
    if (request == "Off") {
        instrument.setPoweredOff(true);
        syncListener(k);
    } else if (request == "On") {
        reboot(k, FLab->rebootMs());
    }
}

void SimCommandServer::closeConnection(uint64_t id, bool reset)
{
    auto it = FConnections.find(id);
    if (it == FConnections.end())
        return;
    Connection &c = it->second;
    if (c.timer)
        FLab->reactor().cancel(c.timer);
    FLab->reactor().unwatch(c.fd);
    if (reset) {
        linger lg{1, 0};
        ::setsockopt(c.fd, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
    } else {
        ::shutdown(c.fd, SHUT_WR);
    }
    ::close(c.fd);
    FConnections.erase(it);
}

} // namespace duvosim
