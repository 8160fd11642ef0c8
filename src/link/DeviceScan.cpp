#include "link/DeviceScan.h"

#include "link/CommandDocs.h"
#include "link/DecimalText.h"
#include "link/NetCommand.h"

#include <arpa/inet.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <netinet/in.h>
#include <new>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

bool stopRequested(const std::atomic<bool> *stop)
{
    return stop && stop->load();
}

int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void setUnreachable(DVDEVICEINFO_T &r, const std::string &text)
{
    r.unreachable = 1;
    r.message = text;
}

// One command with the one retry and the status check. False ends this device's steps: the
// exchange failed twice (errorText goes into the record) or the reply carries an error (its
// text goes into the record). With ignoreStatus a reply with an error is given back as it is.
bool Exchange(DVDEVICEINFO_T &r, TcpClient &client, const std::string &request, const char *label,
              std::string &reply, const std::atomic<bool> *stop, bool ignoreStatus = false,
              int *status = nullptr)
{
    if (stopRequested(stop))
        return false;
    NetCommandCall call(label);
    call.textOnly();
    const NetReply result = SendInstrumentCommand(client, r.ipAddress, request, call);
    if (result.netFailed) {
        setUnreachable(r, call.netErrorText().toStdString());
        return false;
    }
    if (status)
        *status = result.status;
    if (result.status != 0 && !ignoreStatus) {
        setUnreachable(r, result.statusMessage);
        return false;
    }
    reply = result.text;
    return true;
}

void resetStatusTexts(std::array<std::string, 19> &s)
{
    for (int f : {StatusVolume, StatusSteps, StatusStep, StatusCycles, StatusCycle, StatusTargetTemp,
                  StatusTargetTempInc, StatusFolder, StatusFile, StatusState})
        s[size_t(f)] = "-";
    for (int f : {StatusTotalTime, StatusTimeLeft, StatusHoldTime, StatusHoldTimeInc,
                  StatusHoldTimeLeft, StatusRampTime, StatusRampRate})
        s[size_t(f)] = "0";
    s[StatusInfiniteHold] = "false";
}

} // namespace

void ScanClients::add(TcpClient *client)
{
    std::lock_guard<std::mutex> lock(FMutex);
    FClients.push_back(client);
    if (FAborted)
        client->abort();
}

void ScanClients::remove(TcpClient *client)
{
    std::lock_guard<std::mutex> lock(FMutex);
    FClients.erase(std::remove(FClients.begin(), FClients.end(), client), FClients.end());
}

void ScanClients::abortAll()
{
    std::lock_guard<std::mutex> lock(FMutex);
    FAborted = true;
    for (TcpClient *c : FClients)
        c->abort();
}

bool ScanClients::aborted() const
{
    std::lock_guard<std::mutex> lock(FMutex);
    return FAborted;
}

bool IsAddressInUse(const DeviceList &list, const std::string &localIP, const std::string &ip)
{
    if (ip == localIP)
        return true;
    for (const auto &record : list)
        if (record->ipAddress == ip)
            return true;
    return false;
}

void TestConnect(const std::string &ip, bool &failed, int timeoutMs, uint16_t port,
                 const std::atomic<bool> *stop)
{
    failed = true;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    if (inet_pton(AF_INET, ip.c_str(), &to.sin_addr) != 1)
        return;
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    int rc = connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to);
    if (rc != 0 && errno == EINPROGRESS) {
        const int64_t deadline = nowMs() + (timeoutMs > 0 ? timeoutMs : 0);
        for (;;) {
            if (stopRequested(stop))
                break;
            const int64_t left = deadline - nowMs();
            if (left <= 0)
                break;
            pollfd p{fd, POLLOUT, 0};
            const int ready = poll(&p, 1, int(left < 100 ? left : 100));
            if (ready < 0 && errno != EINTR)
                break;
            if (ready > 0) {
                int error = 0;
                socklen_t len = sizeof error;
                getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len);
                rc = error == 0 ? 0 : -1;
                break;
            }
        }
    }
    if (rc == 0)
        failed = false;
    close(fd);
}

void StoreDiscoveryStatus(DVDEVICEINFO_T &r, const std::array<std::string, 19> &reply, bool ok)
{
    if (!ok) {
        r.runState = "????";
        r.message = "GetStatus XML error";
        resetStatusTexts(r.status);  // Mode keeps what it had
        r.totalTime = "-";
        r.timeLeft = "-";
        return;
    }
    const std::string &mode = reply[StatusMode];
    r.runState = mode;
    if (mode == "Stopped" && reply[StatusInfiniteHold] == "false") {
        resetStatusTexts(r.status);
        r.status[StatusMode] = mode;
        r.status[StatusState] = reply[StatusState];
        r.totalTime = "-";
        r.timeLeft = "-";
        return;
    }
    r.status = reply;
    if (mode == "Stopped")
        return;  // an infinite hold: the times stay as they are
    const double total = ParseDecimal(reply[StatusTotalTime]);
    if (total > 0) {
        r.totalTime = FormatDuration(total);
        const double left = ParseDecimal(reply[StatusTimeLeft]);
        r.timeLeft = left > 0 ? FormatDuration(left) : "-";
    } else {
        r.totalTime = "-";
    }
}

void AskInstrument(DVDEVICEINFO_T &r, TcpClient &client, const std::atomic<bool> *stop)
{
    if (r.typeText == "SV cycler") {
        setUnreachable(r, "Needs Firmware update");
        return;
    }
    if (r.unreachable)
        return;

    std::string reply;
    if (!Exchange(r, client, Nop_doc(), "NOP", reply, stop))
        return;

    if (!Exchange(r, client, Test1_doc(), "Test1", reply, stop))
        return;
    {
        std::string a, b, c, d;
        bool ok = false;
        Test1_Ret_Doc(reply, a, b, c, d, ok);
        if (!ok) {
            r.message = "Test1 XML error";  // the device stays reachable
        } else if (a != "Test stringresponse") {
            return setUnreachable(r, "Test1 StringA return value error");
        } else if (b != "34968") {
            return setUnreachable(r, "Test1 IntA return value error");
        } else if (c != "381151.200000") {
            return setUnreachable(r, "Test1 FloatA return value error");
        } else if (d != "true") {
            return setUnreachable(r, "Test1 BooleanA return value error");
        }
    }

    for (const auto &[parameter, field] : {std::pair{"84", &r.alias}, std::pair{"63", &r.location}}) {
        if (!Exchange(r, client, GetParameter_doc(parameter), "GetParameter", reply, stop))
            return;
        std::string value;
        bool ok = false;
        GetParameter_Ret_Doc(reply, value, ok);
        if (!ok)
            return setUnreachable(r, "GetParameter XML error");
        *field = value;
    }

    r.board0.fill("-");
    r.board1.fill("-");
    for (const auto &[board, field] : {std::pair{"0", &r.board0}, std::pair{"1", &r.board1}}) {
        int status = 0;
        if (!Exchange(r, client, GetBoardInfo_doc(board), "GetBoardInfo", reply, stop, true, &status))
            return;
        if (status != 0)
            continue;  // an error reply leaves the texts "-"
        BoardInfo info;
        info.fill("-");
        bool ok = false;
        GetBoardInfo_Ret_Doc(reply, info, ok);
        if (ok) {
            info[BoardCode] = "-";
            *field = info;
        }
    }

    if (!Exchange(r, client, GetTime_doc(), "GetTime", reply, stop))
        return;
    {
        std::string time;
        bool ok = false;
        GetTime_Ret_Doc(reply, time, ok);
        if (!ok)
            return setUnreachable(r, "GetTime XML error");
        r.clockText = time;
    }

    if (!Exchange(r, client, GetStatus_doc(), "GetStatus", reply, stop))
        return;
    {
        InstrumentStatus status;
        bool ok = false;
        GetStatus_Ret_Doc(reply, status, ok);
        StoreDiscoveryStatus(r, status, ok);
    }

    if (!Exchange(r, client, GetInstrumentInfo_doc(), "GetInstrumentInfo", reply, stop))
        return;
    {
        std::string type, firmware, serial;
        bool ok = false;
        GetInstrumentInfo_Ret_Doc(reply, type, firmware, serial, ok);
        if (ok) {
            r.typeText = type;
            r.firmware = firmware;
            r.message = "Firmware:  " + firmware;
            r.serialNumber = serial;
        } else {
            r.typeText = "????";
            r.firmware = "-";
        }
    }
}

ScanOutcome ScanDevices(DeviceList &list, const ScanSettings &settings)
{
    // Phase 1, the network modules.
    std::unique_ptr<DiscoveryEntry[]> table;
    const int tableSize = settings.tableSize > 0 ? settings.tableSize : 1;
    try {
        table.reset(new DiscoveryEntry[size_t(tableSize)]());
    } catch (const std::bad_alloc &) {
        return ScanOutcome::AllocError;
    }
    DiscoveryOptions options = settings.modules;
    options.stop = settings.stop;
    const int n = DiscoverModules(settings.waitMs, table.get(), tableSize, options);
    for (int i = 0; i < n; ++i) {
        if (stopRequested(settings.stop))
            return ScanOutcome::Stopped;
        const DiscoveryEntry &e = table[size_t(i)];
        auto r = std::make_unique<DVDEVICEINFO_T>();
        r->ipAddress = e.ip;
        r->macText = e.mac;
        r->deviceId = e.mac;
        r->typeText = e.type;
        r->runState = r->totalTime = r->message = r->firmware = r->serialNumber = "-";
        r->unreachable = 0;
        r->busy = 0;
        if (IsAddressInUse(list, settings.localIP, r->ipAddress)) {
            r->unreachable = r->busy = 1;
            r->message = "IP address " + r->ipAddress + " is already in use.  Host PC: " + settings.localIP
                + ".  Make sure that all your devices have a valid unique IP address";
        }
        bool failed = true;
        TestConnect(r->ipAddress, failed, settings.connectTimeoutMs, settings.port, settings.stop);
        if (failed) {
            r->unreachable = r->busy = 1;
            r->message = "IP address " + r->ipAddress + " can not connect with IP socket from "
                + settings.localIP
                + ".  Are you in Firmware Upgrade C mode?  Otherwise make sure IP address class and "
                  "Subnet mask match host PC network";
        }
        if (r->typeText == "SV cycler" || r->typeText == "DUVO 24" || r->typeText == "DUVO 96")
            list.Add(std::move(r));
    }
    if (stopRequested(settings.stop))
        return ScanOutcome::Stopped;
    if (list.isEmpty())
        return ScanOutcome::Done;

    // Phase 2, the instruments. Each instrument's commands run in order on one client; with
    // parallel > 1 several instruments are asked at once, each by its own worker, and every
    // record is written only by the worker that took it.
    const int count = list.Count();
    const int workers = std::max(1, std::min(settings.parallel, count));
    std::atomic<int> next{0};
    auto work = [&](int worker) {
        TcpClient own;
        TcpClient &client = (worker == 0 && settings.client) ? *settings.client : own;
        client.setTimeout(settings.exchangeTimeoutMs);
        client.setPort(settings.port);
        // Registered while in use, so the window can end an exchange in flight.
        struct Registration {
            ScanClients *clients;
            TcpClient *client;
            ~Registration()
            {
                if (clients)
                    clients->remove(client);
            }
        } registration{settings.clients, &client};
        if (settings.clients)
            settings.clients->add(&client);
        for (;;) {
            const int i = next.fetch_add(1);
            if (i >= count || stopRequested(settings.stop))
                return;
            AskInstrument(*list.at(i), client, settings.stop);
        }
    };
    if (workers == 1) {
        work(0);
    } else {
        std::vector<std::thread> threads;
        for (int w = 0; w < workers; ++w)
            threads.emplace_back(work, w);
        for (auto &t : threads)
            t.join();
    }
    return stopRequested(settings.stop) ? ScanOutcome::Stopped : ScanOutcome::Done;
}
