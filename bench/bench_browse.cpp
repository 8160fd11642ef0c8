// The network protocol browser over 40 simulated instruments x 40 folders x 40 files
// (64 000 file nodes from 1 640 listings), beside a floor measured in the same run: a raw
// POSIX client making the same exchanges and the same node texts added to a bare tree with
// updates off. Then the search for "*" and "PCR1?" over those records, beside WildcardMatch
// run over the same records and the same rows added to a bare model in one batch.
// Prints ratios, the longest delay of a 10 ms timer, and the cost per instrument at 40 vs 10.
// Everything stays on loopback (127.0.124.0/24).

#include "duvosim/SimBrowseSetup.h"
#include "duvosim/SimLab.h"
#include "link/CommandDocs.h"
#include "link/Workstation.h"
#include "protocols/BrowseItems.h"
#include "protocols/forms/TDuvoFileMgrForm.h"
#include "protocols/forms/TSearchForm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QStandardItemModel>
#include <QTimer>
#include <QTreeWidget>

#include <arpa/inet.h>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace duvo;

namespace {

bool rawExchange(const std::string &ip, const std::string &request, std::string &reply)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(62751);
    ::inet_pton(AF_INET, ip.c_str(), &a.sin_addr);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
              ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size());
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

// Measures the longest gap between ticks of a 10 ms timer while it lives.
class TimerWatch {
public:
    TimerWatch()
    {
        FTick.setInterval(10);
        QObject::connect(&FTick, &QTimer::timeout, [this] { FWorst = std::max(FWorst, FSince.restart()); });
        FSince.start();
        FTick.start();
    }
    qint64 worst() { return std::max(FWorst, FSince.elapsed()); }

private:
    QTimer FTick;
    QElapsedTimer FSince;
    qint64 FWorst = 0;
};

void fillDevices(Workstation &ws, duvosim::SimLab &lab, int count)
{
    ws.FDeviceList.Clear();
    for (int k = 0; k < count; ++k) {
        auto d = std::make_unique<DVDEVICEINFO_T>();
        d->ipAddress = lab.address(k);
        d->deviceId = "ID" + std::to_string(k);
        d->typeText = "DUVO 96";
        ws.FDeviceList.Add(std::move(d));
    }
}

double floorBuildMs(duvosim::SimLab &lab, int count)
{
    QElapsedTimer t;
    t.start();
    QTreeWidget tree;
    tree.setUpdatesEnabled(false);
    std::string reply;
    for (int k = 0; k < count; ++k) {
        const std::string ip = lab.address(k);
        auto *node = new QTreeWidgetItem(QStringList{InstrumentNodeText(ip, "ID" + std::to_string(k), "DUVO 96")});
        tree.addTopLevelItem(node);
        rawExchange(ip, DirFolders_doc(), reply);
        for (int f = 1; f <= 40; ++f) {
            char folder[16];
            std::snprintf(folder, sizeof folder, "F%02d", f);
            auto *folderNode = new QTreeWidgetItem(QStringList{FolderNodeText({folder, false})});
            node->addChild(folderNode);
            rawExchange(ip, DirFiles_doc(folder), reply);
            for (int p = 1; p <= 40; ++p) {
                char file[16];
                std::snprintf(file, sizeof file, "PCR%02d", p);
                folderNode->addChild(new QTreeWidgetItem(QStringList{FileNodeText(file)}));
            }
        }
    }
    return t.nsecsElapsed() / 1e6;
}

double ourBuildMs(Workstation &ws, duvosim::SimLab &lab, int count, qint64 *worstGap,
                  std::unique_ptr<TDuvoFileMgrForm> *keep = nullptr)
{
    fillDevices(ws, lab, count);
    auto form = std::make_unique<TDuvoFileMgrForm>(nullptr, QString());
    form->Timer1.stop();
    TimerWatch watch;
    QElapsedTimer t;
    t.start();
    form->BuildNetworkTree();
    const double ms = t.nsecsElapsed() / 1e6;
    if (worstGap)
        *worstGap = watch.worst();
    if (form->FFileRecords.size() != size_t(count) * 1600)
        std::fprintf(stderr, "bench: %zu file records, expected %d\n", form->FFileRecords.size(), count * 1600);
    if (keep)
        *keep = std::move(form);
    return ms;
}

double floorSearchMs(const std::vector<VLMGRFILES_T> &records, const std::string &text, size_t *rows)
{
    QElapsedTimer t;
    t.start();
    std::string upper = text, lower = text;
    for (char &c : upper)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    for (char &c : lower)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    std::vector<size_t> matches;
    for (size_t i = 0; i < records.size(); ++i)
        if (WildcardMatch(upper, records[i].file) || WildcardMatch(lower, records[i].file))
            matches.push_back(i);
    QStandardItemModel model(0, 3);
    QList<QList<QStandardItem *>> batch;
    model.insertRows(0, int(matches.size()));
    for (size_t r = 0; r < matches.size(); ++r) {
        const VLMGRFILES_T &rec = records[matches[r]];
        model.setItem(int(r), 0, new QStandardItem(QString::fromStdString(rec.ip)));
        model.setItem(int(r), 1, new QStandardItem(QString::fromStdString(rec.folder)));
        model.setItem(int(r), 2, new QStandardItem(QString::fromStdString(rec.file)));
    }
    *rows = matches.size();
    return t.nsecsElapsed() / 1e6;
}

double ourSearchMs(TDuvoFileMgrForm &browser, const QString &text, qint64 *worstGap, int *rows)
{
    TSearchForm search(&browser);
    search.edtSearch->setText(text);
    TimerWatch watch;
    QElapsedTimer t;
    t.start();
    search.btnSearchProtocolClick();
    const double ms = t.nsecsElapsed() / 1e6;
    *worstGap = watch.worst();
    *rows = search.ResultView1->topLevelItemCount();
    return ms;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    duvosim::SimLab lab("127.0.124", 40);
    for (int k = 0; k < 40; ++k)
        duvosim::fillDrive(lab.instrument(k), 40, 40);
    std::string error;
    if (!lab.start(&error)) {
        std::fprintf(stderr, "bench: the simulated lab did not start: %s\n", error.c_str());
        return 1;
    }
    Workstation ws;
    floorBuildMs(lab, 40);  // warm-up
    double floor = 1e300, ours = 1e300;
    qint64 worstGap = 0;
    std::unique_ptr<TDuvoFileMgrForm> browser;
    for (int round = 0; round < 2; ++round) {
        qint64 gap = 0;
        floor = std::min(floor, floorBuildMs(lab, 40));
        ours = std::min(ours, ourBuildMs(ws, lab, 40, &gap, round == 1 ? &browser : nullptr));
        worstGap = std::max(worstGap, gap);
    }
    std::printf("tree build, 40 x 40 x 40: ours %.0f ms, floor %.0f ms, ours/floor = %.2f (target <= 1.5)\n", ours,
                floor, ours / floor);
    std::printf("longest delay of a 10 ms timer during a build: %lld ms (target <= 50)\n",
                static_cast<long long>(worstGap));
    {
        Workstation ws10;
        const double per10 = ourBuildMs(ws10, lab, 10, nullptr) / 10;
        std::printf("cost per instrument at 40 vs 10 instruments: %.2f (target <= 1.3)\n", (ours / 40) / per10);
    }

    for (const char *text : {"*", "PCR1?"}) {
        size_t floorRows = 0;
        int rows = 0;
        qint64 gap = 0;
        double f = 1e300, o = 1e300;
        for (int round = 0; round < 3; ++round) {
            f = std::min(f, floorSearchMs(browser->FFileRecords, text, &floorRows));
            qint64 g = 0;
            o = std::min(o, ourSearchMs(*browser, QString::fromLatin1(text), &g, &rows));
            gap = std::max(gap, g);
        }
        std::printf("search \"%s\" (%d rows, floor %zu): ours %.1f ms, floor %.1f ms, ours/floor = %.2f (target <= 2); "
                    "longest timer delay %lld ms (target <= 50)\n",
                    text, rows, floorRows, o, f, o / f, static_cast<long long>(gap));
    }
    return 0;
}
