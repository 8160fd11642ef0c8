#include "link/NetExchange.h"

#include <QCoreApplication>
#include <QThread>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// While waiting on the thread of the application object, pending events are processed at
// least this often.
constexpr int PumpSliceMs = 10;
// A wait looks at the client's abort flag at least this often, on any thread.
constexpr int AbortSliceMs = 20;
// What a wait ended on besides readiness.
constexpr int WaitTimedOut = 0;
constexpr int WaitError = -1;
constexpr int WaitAborted = -2;

bool onEventThread()
{
    const QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

class Socket {
public:
    ~Socket() { close(); }
    int fd = -1;
    void close()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};

// Clears the busy flag however the exchange ends.
class BusyGuard {
public:
    explicit BusyGuard(std::atomic<bool> &flag) : FFlag(flag) {}
    ~BusyGuard() { FFlag.store(false); }

private:
    std::atomic<bool> &FFlag;
};

// Waits until fd is ready for events, the deadline passes or the client is aborted,
// processing pending events on the application's thread in slices. Returns the poll revents,
// WaitTimedOut, WaitError or WaitAborted.
int waitFor(int fd, short events, Clock::time_point deadline, bool pump, const std::atomic<bool> &aborted)
{
    Clock::time_point lastPump = Clock::now();
    for (;;) {
        if (aborted.load())
            return WaitAborted;
        const auto now = Clock::now();
        if (now >= deadline)
            return WaitTimedOut;
        int sliceMs = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count()) + 1;
        sliceMs = std::min(sliceMs, pump ? PumpSliceMs : AbortSliceMs);
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, sliceMs);
        if (n < 0 && errno != EINTR)
            return WaitError;
        if (n > 0)
            return p.revents;
        if (pump && Clock::now() - lastPump >= std::chrono::milliseconds(PumpSliceMs)) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            lastPump = Clock::now();
        }
    }
}

} // namespace

bool SendNetCommand(TcpClient &client, const std::string &host, const std::string &request,
                    std::string &reply)
{
    reply.clear();
    bool expected = false;
    if (!client.FBusy.compare_exchange_strong(expected, true)) {
        client.FLastOutcome = ExchangeOutcome::Busy;
        client.FLastErrno = 0;
        return false;
    }
    BusyGuard busy(client.FBusy);
    if (client.FAborted.load()) {
        client.FLastOutcome = ExchangeOutcome::Aborted;
        client.FLastErrno = 0;
        return false;
    }
    const bool pump = onEventThread();
    const auto timeout = std::chrono::milliseconds(std::max(client.FTimeout, 0));

    auto fail = [&client](ExchangeOutcome outcome, int err) {
        client.FLastOutcome = outcome;
        client.FLastErrno = err;
        return false;
    };

    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(client.FPort);
    if (::inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1)
        return fail(ExchangeOutcome::BadHost, 0);

    Socket s;
    s.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (s.fd < 0)
        return fail(ExchangeOutcome::ConnectFailed, errno);
    const int one = 1;
    ::setsockopt(s.fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);

    // Connect. A connection still being made is waited for only when the first send finds
    // it so (on a near instrument it is mostly made within connect() already).
    bool connecting = false;
    if (::connect(s.fd, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) != 0) {
        if (errno != EINPROGRESS && errno != EINTR)
            return fail(ExchangeOutcome::ConnectFailed, errno);
        connecting = true;
    }
    // Waits until the socket is ready for events; after an abort, the timeout or an error it
    // records the outcome and answers false.
    const auto waitReady = [&](short events, ExchangeOutcome timedOut, ExchangeOutcome failed) -> bool {
        const int ready = waitFor(s.fd, events, Clock::now() + timeout, pump, client.FAborted);
        if (ready == WaitAborted)
            return fail(ExchangeOutcome::Aborted, 0);
        if (ready == WaitTimedOut)
            return fail(timedOut, ETIMEDOUT);
        if (ready < 0)
            return fail(failed, errno);
        return true;
    };
    const auto waitConnected = [&]() -> bool {
        if (!waitReady(POLLOUT, ExchangeOutcome::ConnectTimeout, ExchangeOutcome::ConnectFailed))
            return false;
        int err = 0;
        socklen_t len = sizeof err;
        if (::getsockopt(s.fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0)
            return fail(ExchangeOutcome::ConnectFailed, err ? err : errno);
        connecting = false;
        return true;
    };
    if (request.empty() && connecting && !waitConnected())
        return false;

    // Write the whole request as it stands.
    size_t sent = 0;
    while (sent < request.size()) {
        const ssize_t n = ::send(s.fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            connecting = false;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (connecting) {
            // Not connected yet (EAGAIN), or the connection failed (refused, reset...).
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                if (!waitConnected())
                    return false;
                continue;
            }
            return fail(ExchangeOutcome::ConnectFailed, n < 0 ? errno : 0);
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitReady(POLLOUT, ExchangeOutcome::WriteFailed, ExchangeOutcome::WriteFailed))
                return false;
            continue;
        }
        return fail(ExchangeOutcome::WriteFailed, n < 0 ? errno : 0);
    }

    // Read in blocks until the orderly close. Nothing can have come yet right after the
    // request went out: wait first.
    char buffer[65536];
    bool waitFirst = true;
    for (;;) {
        if (waitFirst) {
            waitFirst = false;
            if (!waitReady(POLLIN, ExchangeOutcome::ReadTimeout, ExchangeOutcome::Reset))
                return false;
        }
        const ssize_t n = ::recv(s.fd, buffer, sizeof buffer, 0);
        if (n > 0) {
            reply.append(buffer, static_cast<size_t>(n));
            if (client.FEventsPerBlock && pump)
                QCoreApplication::processEvents(QEventLoop::AllEvents);
            if (client.FAborted.load())
                return fail(ExchangeOutcome::Aborted, 0);
            continue;
        }
        if (n == 0) {
            client.FLastOutcome = ExchangeOutcome::Completed;
            client.FLastErrno = 0;
            return true;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!waitReady(POLLIN, ExchangeOutcome::ReadTimeout, ExchangeOutcome::Reset))
                return false;
            continue;  // readable, closed or in error: the next recv() tells which
        }
        return fail(ExchangeOutcome::Reset, errno);
    }
}

QString exchangeOutcomeName(ExchangeOutcome outcome)
{
    switch (outcome) {
    case ExchangeOutcome::Completed: return QStringLiteral("completed");
    case ExchangeOutcome::Busy: return QStringLiteral("client busy");
    case ExchangeOutcome::BadHost: return QStringLiteral("bad host address");
    case ExchangeOutcome::ConnectFailed: return QStringLiteral("connect failed");
    case ExchangeOutcome::ConnectTimeout: return QStringLiteral("connect time-out");
    case ExchangeOutcome::WriteFailed: return QStringLiteral("write failed");
    case ExchangeOutcome::ReadTimeout: return QStringLiteral("read time-out");
    case ExchangeOutcome::Reset: return QStringLiteral("connection reset");
    case ExchangeOutcome::Aborted: return QStringLiteral("aborted");
    }
    return {};
}
