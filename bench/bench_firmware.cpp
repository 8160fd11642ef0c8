// Firmware uploads: a 1 MiB image to 10 simulated network modules at once (each upload bound
// to a loopback address of its own), beside a raw POSIX client doing the same stop-and-wait
// exchange of the same blocks in the same run; then the 10 one after another through the
// flash window, as a batch update runs them, against the same floor one after another. Last,
// 8 MiB of console output into the serial terminal's screen while a 10 ms timer measures
// how late the GUI gets. Prints the times and the ratios.
//   bench_firmware [--lab 127.0.222]

#include "duvosim/SimModules.h"
#include "link/FirmwareUpload.h"
#include "link/FirmwareUploadJob.h"
#include "maintenance/forms/TFlashForm.h"
#include "maintenance/forms/TerminalView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace duvo::firmware;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int Modules = 10;

QString srecord(int type, uint32_t address, const QByteArray &data, int addressBytes)
{
    QByteArray b;
    for (int i = addressBytes - 1; i >= 0; --i)
        b.append(char((address >> (8 * i)) & 0xFF));
    b.append(data);
    int sum = b.size() + 1;
    for (const char c : b)
        sum += uchar(c);
    return QStringLiteral("S%1%2%3%4").arg(type).arg(b.size() + 1, 2, 16, QLatin1Char('0'))
        .arg(QString::fromLatin1(b.toHex())).arg(0xFF - (sum & 0xFF), 2, 16, QLatin1Char('0')).toUpper();
}

uint32_t be32(const uint8_t *p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// The floor: one blocking UDP socket, each request sent and its reply awaited in turn.
bool rawUpload(const std::string &bind, const std::string &module, const SRecordImage &image, uint32_t id)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in local{}, remote{};
    local.sin_family = remote.sin_family = AF_INET;
    local.sin_port = remote.sin_port = htons(20034);
    ::inet_pton(AF_INET, bind.c_str(), &local.sin_addr);
    ::inet_pton(AF_INET, module.c_str(), &remote.sin_addr);
    timeval tv{2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    if (::bind(fd, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0) {
        ::close(fd);
        return false;
    }
    auto exchange = [&](const std::vector<uint8_t> &request, uint8_t reply[64]) {
        ::sendto(fd, request.data(), request.size(), 0, reinterpret_cast<sockaddr *>(&remote), sizeof remote);
        return ::recv(fd, reply, 64, 0) >= 20;
    };
    uint8_t reply[64];
    const uint32_t end = image.base + image.size;
    bool ok = exchange(StartRequest(id, image.base, image.size), reply) && reply[5] == ReplyAccepted;
    uint32_t address = image.base;
    while (ok && address < end) {
        const uint32_t length = std::min<uint32_t>(uint32_t(BlockSize), end - address);
        ok = exchange(DataRequest(id, address, image.bytes.data() + (address - image.base), length), reply);
        address = be32(reply + 12);
    }
    ok = ok && exchange(FinishRequest(id, address, image.checksum), reply) && reply[5] == ReplyAccepted;
    ::close(fd);
    return ok;
}

double seconds(Clock::time_point from)
{
    return std::chrono::duration<double>(Clock::now() - from).count();
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::string base = "127.0.222";
    for (int i = 1; i + 1 < argc; i += 2)
        if (std::string(argv[i]) == "--lab")
            base = argv[i + 1];

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Duvo_FW_9.9.9_96_bench.s19"));
    {
        QByteArray data;
        for (int i = 0; i < 1024 * 1024; ++i)
            data.append(char((i * 131 + 7) & 0xFF));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        for (int off = 0; off < data.size(); off += 32)
            f.write(srecord(3, 0x100000 + uint32_t(off), data.mid(off, 32), 4).toLatin1() + "\r\n");
        f.write(srecord(7, 0x100000, {}, 4).toLatin1() + "\r\n");
    }
    SRecordImage image;
    if (LoadSRecordImage(path.toStdString(), image) != SRecordOk)
        return 1;

    duvosim::SimModuleNetwork network(base + ".2");
    for (int k = 0; k < Modules; ++k) {
        duvosim::SimModule m;
        m.address = base + "." + std::to_string(10 + k);
        m.mac = {0x00, 0x50, 0xc2, 0x7d, 0x01, uint8_t(k)};
        m.upload.memory = 4 * 1024 * 1024;
        network.add(m);
    }
    std::string error;
    if (!network.start(&error)) {
        std::fprintf(stderr, "modules: %s\n", error.c_str());
        return 1;
    }
    auto bindOf = [&](int k) { return base + "." + std::to_string(100 + k); };
    auto moduleOf = [&](int k) { return base + "." + std::to_string(10 + k); };

    // Ten at once.
    auto t0 = Clock::now();
    std::vector<std::unique_ptr<FirmwareUploadJob>> jobs;
    for (int k = 0; k < Modules; ++k) {
        uint8_t address[4];
        inet_pton(AF_INET, moduleOf(k).c_str(), address);
        UploadOptions options;
        options.bind = bindOf(k);
        options.uploadId = 1000 + uint32_t(k);
        jobs.push_back(std::make_unique<FirmwareUploadJob>(address, path.toStdString(), std::string(), std::string(), options));
        jobs.back()->start();
    }
    int failed = 0;
    for (auto &job : jobs) {
        job->wait(60000);
        failed += job->result() != UploadOk;
    }
    const double oursParallel = seconds(t0);

    t0 = Clock::now();
    std::vector<std::thread> threads;
    int rawFailed = 0;
    std::atomic<int> rawFailures{0};
    for (int k = 0; k < Modules; ++k)
        threads.emplace_back([&, k] {
            SRecordImage copy;
            if (LoadSRecordImage(path.toStdString(), copy) != SRecordOk || !rawUpload(bindOf(k), moduleOf(k), copy, 2000 + uint32_t(k)))
                ++rawFailures;
        });
    for (auto &t : threads)
        t.join();
    const double rawParallel = seconds(t0);
    rawFailed = rawFailures.load();

    // One after another through the flash window, as a batch update runs them.
    qputenv("DUVO_MODULE_BIND", bindOf(0).c_str());
    t0 = Clock::now();
    for (int k = 0; k < Modules; ++k) {
        char errorFlag = 0, cancel = 0;
        QString code;
        TFlashForm flash(nullptr, path, QString::fromStdString(moduleOf(k)), QStringLiteral("%1/%2").arg(k + 1).arg(Modules),
                         &errorFlag, &code, &cancel, true);
        flash.exec();
        failed += errorFlag != 0;
    }
    const double oursBatch = seconds(t0);
    t0 = Clock::now();
    for (int k = 0; k < Modules; ++k) {
        SRecordImage copy;
        if (LoadSRecordImage(path.toStdString(), copy) != SRecordOk || !rawUpload(bindOf(0), moduleOf(k), copy, 3000 + uint32_t(k)))
            ++rawFailed;
    }
    const double rawBatch = seconds(t0);
    network.stop();

    std::printf("uploads of 1 MiB to %d modules: %d failed (ours), %d failed (raw)\n", Modules, failed, rawFailed);
    std::printf("at once:        ours %.3f s, raw %.3f s, ours/raw %.2f (target <= 1.3)\n", oursParallel, rawParallel,
                oursParallel / rawParallel);
    std::printf("one by one:     ours %.3f s, raw %.3f s, ours/raw %.2f (target <= 1.3)\n", oursBatch, rawBatch,
                oursBatch / rawBatch);

    // The terminal screen under 8 MiB of console output, fed as the port delivers it.
    TerminalView view;
    view.resize(720, 420);
    view.show();
    QByteArray chunk;
    while (chunk.size() < 4096)
        chunk += "DUVO> temperature block 1 95.0 C, lid 105.0 C, step 3/5 cycle 12/30\r\n";
    chunk.truncate(4096);
    const qint64 total = 8LL * 1024 * 1024;
    qint64 fed = 0;
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, worst = 0;
    QTimer tick;
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        worst = std::max(worst, now - last - 10);
        last = now;
    });
    tick.start();
    QTimer feeder;
    feeder.setInterval(0);
    QObject::connect(&feeder, &QTimer::timeout, [&] {
        view.feed(chunk);
        fed += chunk.size();
        if (fed >= total) {
            feeder.stop();
            app.quit();
        }
    });
    feeder.start();
    app.exec();
    std::printf("terminal: 8 MiB in %.3f s, the 10 ms timer at most %lld ms late (target <= 50)\n",
                clock.elapsed() / 1000.0, static_cast<long long>(worst));
    return failed || rawFailed ? 1 : 0;
}
