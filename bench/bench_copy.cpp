// The copy manager and the load-from-disk manager at work, offscreen, against simulated
// instruments: a folder copy of a whole instrument (40 folders, SYSTEM, SHARED and RECENT
// among them, 40 protocols each) to an empty one through the real TCopyProtocolForm, and a
// load of 40 protocol files into one folder through the real TLoadProtoDskForm. Beside each,
// in the same run, a plain blocking socket client replays the requests the window sent, in
// order, against instruments set up afresh. Prints ours/raw and the longest delay a 10 ms
// timer saw while the window worked.
//   bench_copy [--lab 127.0.205] [--replay-lab 127.0.206] [--folders 37] [--files 40]

#include "common/Prompts.h"
#include "duvosim/SimLab.h"
#include "link/NetExchange.h"
#include "link/Workstation.h"
#include "protocols/CyclerStepList.h"
#include "protocols/ProtocolFile.h"
#include "protocols/forms/TCopyProtocolForm.h"
#include "protocols/forms/TLoadProtoDskForm.h"
#include "RawExchange.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Every box answered: the copy mode with "Overwrite same named files" (no report window),
// everything else with OK.
class BenchPrompts final : public duvo::Prompts {
public:
    duvo::PromptAnswer ask(const duvo::PromptRequest &request) override
    {
        duvo::PromptAnswer a;
        a.button = duvo::Ok;
        a.radio = request.kind == duvo::PromptKind::Task ? 1 : -1;
        if (request.kind != duvo::PromptKind::Task)
            ++unexpected;
        return a;
    }
    int unexpected = 0;
};

std::string protocolText(const QString &name, int variant)
{
    duvo::CyclerStepList list;
    list.AddStepItem("95.0", "02:00", "4.0", "00:00", "0.0", false, false, true, 0);
    list.AddLoopItem("3", QString::number(25 + variant % 20), true, 0);
    list.AddStepItem("95.0", "00:15", "4.0", "00:00", "0.0", false, false, true, 20);
    list.AddStepItem(QString::number(52 + variant % 12) + ".0", "00:30", "3.0", "00:00", "0.0", false, false, true, 20);
    list.AddStepItem("72.0", "00:45", "3.0", "00:00", "0.0", false, false, true, 20);
    list.AddStepItem("72.0", "05:00", "3.0", "00:00", "0.0", false, false, true, 0);
    list.AddStepItem("4.0", "00:30", "4.0", "00:00", "0.0", variant % 3 == 0, false, true, 0);
    list.RebuildStepList();
    std::string text;
    list.WriteProtocolXml(name, text);
    return text;
}

QString folderName(int i) { return QStringLiteral("F%1").arg(i, 2, 10, QLatin1Char('0')); }
QString fileName(int f, int j) { return QStringLiteral("P%1X%2").arg(f, 2, 10, QLatin1Char('0')).arg(j, 2, 10, QLatin1Char('0')); }

// The source: SYSTEM, SHARED and RECENT as made at the factory, 37 folders more (every fifth
// secure), all 40 filled to 40 protocols.
int Folders = 37;  // besides SYSTEM, SHARED and RECENT
int Files = 40;

void fillSource(duvosim::SimInstrument &in)
{
    for (int f = 0; f < Folders; ++f)
        in.makeFolder(folderName(f).toStdString(), f % 5 == 0 ? "PW" + std::to_string(f) : std::string());
    int variant = 0;
    for (const duvosim::SimFolder &folder : in.folders()) {
        for (int j = static_cast<int>(folder.files.size()); j < Files; ++j) {
            const QString name = fileName(variant % 100, j);
            in.putProtocol(folder.name, name.toStdString(), protocolText(name, variant++));
        }
    }
}

struct Measure {
    double ours = 0;
    double raw = 0;
    double longestTick = 0;
    size_t requests = 0;
};

// Replays the requests in order against a lab set up like the first one was.
double replay(const std::vector<duvosim::SimRequestLogEntry> &log, duvosim::SimLab &lab)
{
    int failed = 0;
    const double seconds = bench::replay(lab, log, &failed);
    for (int i = 0; i < failed; ++i)
        std::fprintf(stderr, "bench_copy: replay exchange failed\n");
    return seconds;
}

// Runs work() while a 10 ms timer measures its longest gap; returns seconds.
double timed(const std::function<void()> &work, double &longestTick)
{
    QElapsedTimer sinceTick;
    qint64 longest = 0;
    QTimer tick;
    tick.setInterval(10);
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, sinceTick.nsecsElapsed());
        sinceTick.restart();
    });
    sinceTick.start();
    tick.start();
    const auto t0 = Clock::now();
    work();
    const double s = std::chrono::duration<double>(Clock::now() - t0).count();
    tick.stop();
    longestTick = std::max<double>(longest, sinceTick.nsecsElapsed()) / 1e6;
    return s;
}

// Lets the window come up as a user finds it before clicking: shown and painted, its disk
// list's file details in (they come from a thread of the file model). Not timed.
void settle()
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

void addDevice(Workstation &ws, const std::string &ip)
{
    auto d = std::make_unique<DVDEVICEINFO_T>();
    d->ipAddress = ip;
    d->typeText = "DUVO 96";
    d->deviceId = "BENCH";
    d->runState = "Stopped";
    ws.FDeviceList.Add(std::move(d));
}

bool startLab(duvosim::SimLab &lab)
{
    std::string error;
    if (lab.start(&error))
        return true;
    std::fprintf(stderr, "bench_copy: %s\n", error.c_str());
    return false;
}

Measure benchCopy(const std::string &base, const std::string &replayBase)
{
    Measure m;
    duvosim::SimLab lab(base, 2);
    fillSource(lab.instrument(0));
    if (!startLab(lab))
        return m;
    Workstation ws;
    addDevice(ws, lab.address(0));
    addDevice(ws, lab.address(1));
    TCopyProtocolForm form(nullptr, QString::fromStdString(lab.address(1)));
    form.show();
    for (int i = 0; i < form.sourcePane().count(); ++i)
        form.sourcePane().setChecked(i, true);
    form.ListBox1CheckClick();
    settle();
    lab.clearRequests();
    m.ours = timed([&] { form.btnCopyToTargetClick(); }, m.longestTick);
    const auto log = lab.requests();
    m.requests = log.size();
    const size_t copied = lab.instrument(1).folders().size();

    duvosim::SimLab again(replayBase, 2);
    fillSource(again.instrument(0));
    if (!startLab(again))
        return m;
    m.raw = replay(log, again);
    std::printf("copy: %zu folders on the target, %zu requests\n", copied, m.requests);
    return m;
}

Measure benchLoad(const std::string &base, const std::string &replayBase)
{
    Measure m;
    QTemporaryDir dir;
    for (int j = 0; j < 40; ++j) {
        const QString name = fileName(j, j);
        const std::string text = protocolText(name, j);
        duvo::WriteProtocolFile(dir.path() + QLatin1Char('/') + name + QStringLiteral(".SVP"), name.toStdString(), text,
                                int(text.size()));
    }
    duvosim::SimLab lab(base, 1);
    lab.instrument(0).makeFolder("LOADED");
    if (!startLab(lab))
        return m;
    Workstation ws;
    ws.FDefaultFolder = dir.path() + QLatin1Char('/');
    addDevice(ws, lab.address(0));
    TLoadProtoDskForm form(nullptr, QString::fromStdString(lab.address(0)));
    form.show();
    duvo::ProtocolPaneModel &pane = form.targetPane();
    pane.setSelected(duvo::FindListItem(pane.markups(), QStringLiteral("LOADED")));
    form.ListBox2DblClick();
    for (int i = 0; i < form.diskList().count(); ++i)
        form.diskList().setChecked(i, true);
    form.ListBox1CheckClick();
    settle();
    lab.clearRequests();
    m.ours = timed([&] { form.btnCopyToTargetClick(); }, m.longestTick);
    const auto log = lab.requests();
    m.requests = log.size();
    const size_t loaded = lab.instrument(0).folder("LOADED") ? lab.instrument(0).folder("LOADED")->files.size() : 0;

    duvosim::SimLab again(replayBase, 1);
    again.instrument(0).makeFolder("LOADED");
    if (!startLab(again))
        return m;
    m.raw = replay(log, again);
    std::printf("load: %zu files in the folder, %zu requests\n", loaded, m.requests);
    return m;
}

void print(const char *what, const Measure &m)
{
    std::printf("%s: ours %.3f s, raw replay %.3f s, ratio %.2f (at most 1.5), longest 10 ms timer gap %.1f ms "
                "(at most 50)\n",
                what, m.ours, m.raw, m.raw > 0 ? m.ours / m.raw : 0.0, m.longestTick);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::string base = "127.0.205", replayBase = "127.0.206";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::string(argv[i]) == "--lab")
            base = argv[i + 1];
        else if (std::string(argv[i]) == "--replay-lab")
            replayBase = argv[i + 1];
        else if (std::string(argv[i]) == "--folders")
            Folders = std::max(0, std::min(37, std::atoi(argv[i + 1])));
        else if (std::string(argv[i]) == "--files")
            Files = std::max(1, std::min(40, std::atoi(argv[i + 1])));
    }
    BenchPrompts prompts;
    duvo::PromptsScope scope(&prompts);
    print("folder copy", benchCopy(base, replayBase));
    print("disk load", benchLoad(base, replayBase));
    if (prompts.unexpected)
        std::printf("(%d unexpected boxes)\n", prompts.unexpected);
    return 0;
}
