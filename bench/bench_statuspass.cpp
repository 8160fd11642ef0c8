// One status pass over 100 simulated instruments, beside a raw client that makes the same
// 200 exchanges (clock and status of every instrument) in the same run. Prints the ratio
// ours/raw; the longest delay of a 10 ms timer during a pass over 100 instruments that answer
// after 30 ms each (a pass of about six seconds, so the event loop's share is what counts);
// and the cost per instrument for 25, 50, 100 and 200 instruments, each the median of many
// passes (it must stay flat: the pass grows linearly).
// Everything stays on loopback (127.0.198.0/24).

#include "duvosim/SimLab.h"
#include "link/CommandDocs.h"
#include "mainwindow/StatusPass.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

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

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    duvosim::SimLab lab("127.0.198", 200);
    std::string error;
    if (!lab.start(&error)) {
        std::fprintf(stderr, "bench: the simulated lab did not start: %s\n", error.c_str());
        return 1;
    }
    // Warm up both paths once.
    rawMs(lab, 100);
    passMs(lab, 100, nullptr);

    double ours = 1e300, raw = 1e300;
    for (int round = 0; round < 3; ++round) {
        raw = std::min(raw, rawMs(lab, 100));
        ours = std::min(ours, passMs(lab, 100, nullptr));
    }
    std::printf("status pass over 100 instruments: ours/raw = %.2f (target <= 1.5)\n", ours / raw);

    // The same pass with every answer 30 ms late: the pass waits most of its time.
    for (int k = 0; k < 100; ++k) {
        duvosim::SimFault late;
        late.kind = duvosim::FaultKind::Delay;
        late.delayMs = 30;
        lab.instrument(k).addFault(late);
    }
    qint64 worstGap = 0;
    const double slowMs = passMs(lab, 100, &worstGap);
    for (int k = 0; k < 100; ++k)
        lab.instrument(k).clearFaults();
    std::printf("longest delay of a 10 ms timer during a %.1f s pass (answers 30 ms late): %lld ms "
                "(target <= 25)\n",
                slowMs / 1000, static_cast<long long>(worstGap));

    // The cost per instrument, from the median of many passes per size.
    const int sizes[] = {25, 50, 100, 200};
    double per[4] = {};
    for (int i = 0; i < 4; ++i) {
        std::vector<double> runs;
        const int passes = std::max(5, 1000 / sizes[i]);
        for (int r = 0; r < passes; ++r)
            runs.push_back(passMs(lab, sizes[i], nullptr) / sizes[i]);
        per[i] = median(runs);
    }
    std::printf("cost per instrument, 25/50/100/200 instruments, relative to 25 (medians): "
                "1.00 / %.2f / %.2f / %.2f\n",
                per[1] / per[0], per[2] / per[0], per[3] / per[0]);
    return 0;
}
