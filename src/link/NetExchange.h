#pragma once
// The instrument command exchange: one request over a new TCP connection to port 62751, the
// reply read until the instrument closes the connection in order.
//
// Built on a non-blocking POSIX socket polled in short slices, because the end of a reply is
// the orderly close (recv() returning 0) and a reset (ECONNRESET) is a failure; every network
// error is a failed exchange, never an exception. On the thread of the application object the
// exchange keeps processing pending events while it waits, so timers and clicks still run; on
// any other thread it only waits.

#include <QString>
#include <atomic>
#include <cstdint>
#include <string>

// The TCP port of an instrument's command server.
constexpr uint16_t InstrumentTcpPort = 62751;
// Connect and read time-out of an exchange, in milliseconds (three minutes).
constexpr int InstrumentTimeout = 180000;

// Why the last exchange of a client ended the way it did.
enum class ExchangeOutcome {
    Completed,      // the instrument closed the connection in order
    Busy,           // the client was still waiting for another exchange
    BadHost,        // the host text is not a dotted IPv4 address
    ConnectFailed,  // refused, unreachable or another error at connect
    ConnectTimeout,
    WriteFailed,
    ReadTimeout,    // no data for the time-out
    Reset,          // the connection was reset (or another socket error) while reading
    Aborted,        // the client's abort() ended it (or refused it) before the reply came
};

// The client a window owns for its exchanges (one at a time). Holds the time-out and whether
// pending events are also processed after every block of reply data; nothing else carries over
// between exchanges.
class TcpClient {
public:
    TcpClient() = default;
    TcpClient(const TcpClient &) = delete;
    TcpClient &operator=(const TcpClient &) = delete;

    // Connect and read time-out; the product uses InstrumentTimeout, tests set less.
    void setTimeout(int ms) { FTimeout = ms; }
    int timeout() const { return FTimeout; }
    // The port connected to; InstrumentTcpPort unless a test points it elsewhere.
    void setPort(uint16_t port) { FPort = port; }
    uint16_t port() const { return FPort; }
    // Also process pending events after each block of reply data received.
    void setProcessEventsPerBlock(bool on) { FEventsPerBlock = on; }
    bool processEventsPerBlock() const { return FEventsPerBlock; }

    // True while an exchange waits on this client.
    bool busy() const { return FBusy.load(); }

    // Stops the exchange in flight within a slice of the wait (well under 100 ms) and refuses
    // every later one at once, until resetAbort(): a window that closes while an exchange
    // waits calls it, and nothing more goes out on this client. Safe from any thread.
    void abort() { FAborted.store(true); }
    void resetAbort() { FAborted.store(false); }
    bool aborted() const { return FAborted.load(); }
    ExchangeOutcome lastOutcome() const { return FLastOutcome; }
    // errno of the last failure (0 when none), for the logs.
    int lastErrno() const { return FLastErrno; }

private:
    friend bool SendNetCommand(TcpClient &, const std::string &, const std::string &, std::string &);
    int FTimeout = InstrumentTimeout;
    uint16_t FPort = InstrumentTcpPort;
    bool FEventsPerBlock = false;
    std::atomic<bool> FBusy{false};
    std::atomic<bool> FAborted{false};
    ExchangeOutcome FLastOutcome = ExchangeOutcome::Completed;
    int FLastErrno = 0;
};

// Sends the request unchanged (no terminator) to host:port of the client and reads the reply
// until the instrument's orderly close. Returns true only then; the reply holds everything
// received (also after a failure, when callers must not use it). An exchange begun while the
// client still waits fails at once without connecting. Never throws for network errors.
bool SendNetCommand(TcpClient &client, const std::string &host, const std::string &request,
                    std::string &reply);

QString exchangeOutcomeName(ExchangeOutcome outcome);
