// One status pass over 100 simulated instruments, beside a raw client that makes the same
// 200 exchanges (clock and status of every instrument) in the same run. Prints the ratio
// ours/raw, the longest delay of a 10 ms timer during the pass, and the cost per instrument
// for 25, 50 and 100 instruments (it must stay flat: the pass grows linearly).
// Everything stays on loopback (127.0.61.0/24).

#include "duvosim/SimLab.h"
#include "link/CommandDocs.h"
#include "mainwindow/StatusPass.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <arpa/inet.h>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The floor: connect, write the request, read until the peer closes.
bool rawExchange(const std::string &ip, const std::string &request, std::string &reply)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(62751);
    ::inet_pton(AF_INET, ip.c_str(), &a.sin_addr);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0
              && ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size());
    reply.clear();
    char buf[8192];
    while (ok) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n < 0)
            ok = false;
        if (n <= 0)
            break;
        reply.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return ok;
}

std::unique_ptr<DVDEVICEINFO_T> record(const std::string &ip)
{
    auto d = std::make_unique<DVDEVICEINFO_T>();
    d->ipAddress = ip;
    d->typeText = "DUVO 96";
    d->runState = "-";
    return d;
}

double passMs(duvosim::SimLab &lab, int devices, qint64 *worstTimerGap)
{
    DeviceList list;
    for (int k = 0; k < devices; ++k)
        list.Add(record(lab.address(k)));
    StatusPass pass(list, nullptr);
    QElapsedTimer sinceTick;
    qint64 worst = 0;
    QTimer tick;
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        worst = std::max(worst, sinceTick.restart());
    });
    QElapsedTimer t;
    t.start();
    sinceTick.start();
    tick.start();
    pass.PollDevices();
    const double ms = t.nsecsElapsed() / 1e6;
    tick.stop();
    if (worstTimerGap)
        *worstTimerGap = std::max(worst, sinceTick.elapsed());
    for (const auto &d : list)
        if (d->unreachable)
            std::fprintf(stderr, "bench: %s failed: %s\n", d->ipAddress.c_str(), d->message.c_str());
    return ms;
}

double rawMs(duvosim::SimLab &lab, int devices)
{
    QElapsedTimer t;
    t.start();
    std::string reply;
    for (int k = 0; k < devices; ++k) {
        rawExchange(lab.address(k), GetTime_doc(), reply);
        rawExchange(lab.address(k), GetStatus_doc(), reply);
    }
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    duvosim::SimLab lab("127.0.61", 100);
    std::string error;
    if (!lab.start(&error)) {
        std::fprintf(stderr, "bench: the simulated lab did not start: %s\n", error.c_str());
        return 1;
    }
    // Warm up both paths once.
    rawMs(lab, 100);
    passMs(lab, 100, nullptr);

    double ours = 1e300, raw = 1e300;
    qint64 worstGap = 0;
    for (int round = 0; round < 3; ++round) {
        qint64 gap = 0;
        raw = std::min(raw, rawMs(lab, 100));
        ours = std::min(ours, passMs(lab, 100, &gap));
        worstGap = std::max(worstGap, gap);
    }
    std::printf("status pass over 100 instruments: ours/raw = %.2f (target <= 1.5)\n", ours / raw);
    std::printf("longest delay of a 10 ms timer during a pass: %lld ms (target <= 50)\n",
                static_cast<long long>(worstGap));
    const double per25 = passMs(lab, 25, nullptr) / 25, per50 = passMs(lab, 50, nullptr) / 50,
                 per100 = passMs(lab, 100, nullptr) / 100;
    std::printf("cost per instrument, 25/50/100 instruments, relative to 25: 1.00 / %.2f / %.2f\n",
                per50 / per25, per100 / per25);
    return 0;
}
