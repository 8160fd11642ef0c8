// The whole-instrument jobs against simulated instruments: a source of 40 folders (the
// reserved ones included) with 40 realistic protocols each, cloned onto 1 and onto 3 targets,
// written into a virtual data file and loaded from it onto a target. Each job runs through
// the product's code (on the application's thread, with a 10 ms timer running beside it), and
// the same requests, taken from the simulator's log, are replayed by a plain blocking socket
// client in the same run. Prints ours/raw per job, clone(3)/clone(1), and the longest delay
// of the 10 ms timer.
//   bench_maintenance [--lab 127.0.215]

#include "common/Prompts.h"
#include "common/WholeInstrumentJob.h"
#include "duvosim/SimLab.h"
#include "link/NetExchange.h"
#include "maintenance/CloneCopy.h"
#include "maintenance/CloneListing.h"
#include "maintenance/FormatDrive.h"
#include "maintenance/VduReader.h"
#include "maintenance/VduWriter.h"
#include "protocols/DeviceFileOperations.h"
#include "RawExchange.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

using bench::replay;

using Clock = std::chrono::steady_clock;

std::string protocolText(int folder, int file)
{
    std::string doc = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><CycleProtocol><Name>P" + std::to_string(file)
                      + "</Name><Owner>Lab " + std::to_string(folder) + "</Owner><Lid>105.0</Lid><Volume>25</Volume>";
    for (int s = 0; s < 6; ++s)
        doc += "<Step><Number>" + std::to_string(s + 1) + "</Number><Temp>" + std::to_string(55 + s * 7)
               + ".5</Temp><Hold>" + std::to_string(15 + s * 5) + "</Hold><Ramp>3.0</Ramp><Goto>"
               + (s == 4 ? "2</Goto><Cycles>35" : "0</Goto><Cycles>0") + "</Cycles></Step>";
    return doc + "</CycleProtocol>";
}

void fillSource(duvosim::SimInstrument &s)
{
    for (int f = 0; s.folders().size() < 40; ++f) {
        const std::string name = "LAB" + std::to_string(f);
        s.makeFolder(name, f % 3 == 0 ? "PW" + std::to_string(1000 + f) : std::string());
    }
    int f = 0;
    for (const auto &folder : s.folders()) {
        if (folder.name == "RECENT")
            continue;
        for (int k = static_cast<int>(folder.files.size()); k < 40; ++k)
            s.putProtocol(folder.name, "P" + std::to_string(k), protocolText(f, k));
        ++f;
    }
}

struct TimerWatch {
    QTimer timer;
    QElapsedTimer since;
    qint64 longest = 0;
    TimerWatch()
    {
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            longest = std::max(longest, since.restart() - 10);
        });
    }
    // Only the product's jobs are watched; the blocking replay is not.
    void start()
    {
        since.start();
        timer.start();
    }
    void stop() { timer.stop(); }
    qint64 takeLongest()
    {
        const qint64 l = longest;
        overall = std::max(overall, l);
        longest = 0;
        return l;
    }
    qint64 overall = 0;
};

class Quiet final : public duvo::Prompts {
public:
    duvo::PromptAnswer ask(const duvo::PromptRequest &r) override
    {
        std::fprintf(stderr, "bench_maintenance: box \"%s\"\n", qPrintable(r.text));
        duvo::PromptAnswer a;
        a.button = duvo::Ok;
        return a;
    }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Quiet quiet;
    duvo::PromptsScope scope(&quiet);
    std::string base = "127.0.215";
    for (int i = 1; i + 1 < argc; i += 2)
        if (std::string(argv[i]) == "--lab")
            base = argv[i + 1];
    duvosim::SimLab lab(base);
    for (int k = 0; k < 4; ++k)
        lab.addInstrument("DUVO 96");
    std::string error;
    if (!lab.start(&error)) {
        std::fprintf(stderr, "bench_maintenance: %s\n", error.c_str());
        return 1;
    }
    fillSource(lab.instrument(0));
    const std::string source = lab.address(0);
    TimerWatch watch;
    watch.start();

    TcpClient client;
    duvo::DeviceFileOperations ops(client);
    auto clone = [&](int targets) {
        lab.clearRequests();
        const auto t0 = Clock::now();
        duvo::CloneListing listing;
        duvo::ListWholeInstrument(client, source, listing, [] { QCoreApplication::processEvents(); });
        for (int t = 1; t <= targets; ++t) {
            duvo::FormatDrive(client, lab.address(t));
            duvo::WholeInstrumentJob job;
            duvo::RunCloneCopy(ops, source, lab.address(t), listing.folders, listing.files, listing.folderCount,
                               listing.fileCount, job);
        }
        const double ours = std::chrono::duration<double>(Clock::now() - t0).count();
        const auto log = lab.requests();
        watch.stop();
        const double raw = replay(lab, log);
        watch.start();
        std::printf("clone onto %d: %zu requests, ours %.3f s, raw %.3f s, ratio %.2f, timer delay %lld ms\n", targets,
                    log.size(), ours, raw, ours / raw, static_cast<long long>(watch.takeLongest()));
        return ours;
    };
    clone(1);  // warm-up: caches, the simulator's first connections
    const double one = clone(1);
    const double three = clone(3);
    std::printf("clone cost onto 3 / onto 1: %.2f (linear: 3)\n", three / one);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.vdu"));
    {
        lab.clearRequests();
        const auto t0 = Clock::now();
        duvo::CloneListing listing;
        duvo::ListWholeInstrument(client, source, listing, [] { QCoreApplication::processEvents(); });
        duvo::VduWriter w;
        bool complete = false;
        duvo::WholeInstrumentJob job;
        if (!w.Begin(path) || !w.WritePackageInfo({}, {}, {source, "DUVO 96", "DU1"}, listing.folderCount, listing.fileCount)
            || !duvo::CopyDeviceToPackage(w, ops, source, listing, job, complete) || !complete || !w.Commit()) {
            std::fprintf(stderr, "bench_maintenance: the file was not written\n");
            return 1;
        }
        // The timer's tick that waited behind the final commit (sync and rename included).
        QCoreApplication::processEvents();
        const double ours = std::chrono::duration<double>(Clock::now() - t0).count();
        const auto log = lab.requests();
        watch.stop();
        const double raw = replay(lab, log);
        watch.start();
        std::printf("create the file: %zu requests, ours %.3f s, raw %.3f s, ratio %.2f, timer delay %lld ms\n",
                    log.size(), ours, raw, ours / raw, static_cast<long long>(watch.takeLongest()));
    }
    {
        lab.clearRequests();
        const auto t0 = Clock::now();
        duvo::PackageInfo info;
        duvo::ReadPackageInfo(path, info);
        if (duvo::CheckPackage(path) != duvo::PackageCheck::Ok) {
            std::fprintf(stderr, "bench_maintenance: the file does not pass its check\n");
            return 1;
        }
        duvo::FormatDrive(client, lab.address(1));
        duvo::WholeInstrumentJob job;
        duvo::CreatePackageFolders(path, ops, lab.address(1), info.totalFolders, job);
        duvo::CopyPackageFiles(path, ops, lab.address(1), info.totalFiles, job);
        const double ours = std::chrono::duration<double>(Clock::now() - t0).count();
        const auto log = lab.requests();
        watch.stop();
        const double raw = replay(lab, log);
        watch.start();
        std::printf("load the file: %zu requests, ours %.3f s, raw %.3f s, ratio %.2f, timer delay %lld ms\n",
                    log.size(), ours, raw, ours / raw, static_cast<long long>(watch.takeLongest()));
    }
    watch.stop();
    watch.takeLongest();
    std::printf("longest delay of a 10 ms timer: %lld ms\n", static_cast<long long>(watch.overall));
    lab.stop();
    return 0;
}
