// The main window keeps painting while a status pass waits on a silent instrument, under a
// real X server: the test starts its own Xvfb on a free display (:190 to :199) and runs on
// the xcb platform; without Xvfb it skips. Offscreen, paint events are delivered whatever the
// wait was started from, so only a real X server shows the fault. Instruments on
// 127.0.193.0/24.

#include "common/IpWatch.h"
#include "link/DatabaseFiles.h"
#include "mainwindow/forms/DOzerAvirAded.h"
#include "GuiTest.h"
#include "ScriptedPrompts.h"
#include "SimulatedLab.h"
#include "TestFolders.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <mutex>
#include <thread>
#include <xcb/xcb.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

using namespace duvo;
using namespace duvo::test;

namespace {

pid_t g_xvfb = -1;
QString g_noDisplay;  // why the test skips

// Starts Xvfb on the first free display of :190 to :199 and points the platform at it.
void startXvfb()
{
    if (::access("/usr/bin/Xvfb", X_OK) != 0) {
        g_noDisplay = QStringLiteral("Xvfb is not installed");
        return;
    }
    for (int n = 190; n < 200; ++n) {
        if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
            continue;
        const std::string display = ":" + std::to_string(n);
        const char *args[] = {"Xvfb", display.c_str(), "-nolisten", "tcp", "-screen", "0", "1280x1024x24",
                              "-noreset", nullptr};
        pid_t pid = -1;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const int rc = posix_spawn(&pid, "/usr/bin/Xvfb", &actions, nullptr, const_cast<char **>(args), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0)
            continue;
        const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(n);
        for (int i = 0; i < 100; ++i) {  // up to 5 s
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;  // it ended: the display was taken after all
                break;
            }
            if (QFile::exists(socket)) {
                ::usleep(100000);
                g_xvfb = pid;
                qputenv("DISPLAY", display.c_str());
                qputenv("QT_QPA_PLATFORM", "xcb");
                return;
            }
            ::usleep(50000);
        }
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
    }
    g_noDisplay = QStringLiteral("no Xvfb display could be started on :190 to :199");
}

void stopXvfb()
{
    if (g_xvfb > 0) {
        ::kill(g_xvfb, SIGTERM);
        ::waitpid(g_xvfb, nullptr, 0);
        g_xvfb = -1;
    }
}

// Samples what the X server shows in a rectangle of the screen, over a connection of its own
// (so it never flushes the program's output for it), from a thread of its own (so it samples
// however the program's event loop fares): the times at which the pixels changed.
class ScreenWatch {
public:
    ScreenWatch(const QRect &rect) : FRect(rect)
    {
        FConnection = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(FConnection))
            return;
        FRoot = xcb_setup_roots_iterator(xcb_get_setup(FConnection)).data->root;
        FClock.start();
        FThread = std::thread([this] { run(); });
    }
    ~ScreenWatch()
    {
        FStop = true;
        if (FThread.joinable())
            FThread.join();
        xcb_disconnect(FConnection);
    }
    bool ok() const { return FThread.joinable(); }
    qint64 now() const { return FClock.elapsed(); }
    int changesBetween(qint64 from, qint64 to)
    {
        std::lock_guard<std::mutex> lock(FMutex);
        int n = 0;
        for (qint64 t : FChanges)
            n += (t >= from && t <= to) ? 1 : 0;
        return n;
    }

private:
    void run()
    {
        QByteArray last;
        while (!FStop) {
            xcb_get_image_cookie_t cookie = xcb_get_image(FConnection, XCB_IMAGE_FORMAT_Z_PIXMAP, FRoot, int16_t(FRect.x()),
                                                          int16_t(FRect.y()), uint16_t(FRect.width()),
                                                          uint16_t(FRect.height()), ~0u);
            xcb_get_image_reply_t *reply = xcb_get_image_reply(FConnection, cookie, nullptr);
            if (reply) {
                const QByteArray pixels(reinterpret_cast<const char *>(xcb_get_image_data(reply)),
                                        xcb_get_image_data_length(reply));
                free(reply);
                if (!last.isEmpty() && pixels != last) {
                    std::lock_guard<std::mutex> lock(FMutex);
                    FChanges << FClock.elapsed();
                }
                last = pixels;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }

    QRect FRect;
    xcb_connection_t *FConnection = nullptr;
    xcb_window_t FRoot = 0;
    QElapsedTimer FClock;
    std::atomic<bool> FStop{false};
    std::thread FThread;
    std::mutex FMutex;
    QList<qint64> FChanges;
};

// Records when a widget is painted.
class PaintLog : public QObject {
public:
    QElapsedTimer clock;
    QList<qint64> times;
    PaintLog() { clock.start(); }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            times << clock.elapsed();
        return false;
    }
    int between(qint64 from, qint64 to) const
    {
        int n = 0;
        for (qint64 t : times)
            n += (t >= from && t <= to) ? 1 : 0;
        return n;
    }
};

} // namespace

class TestPaintDuringWait : public QObject {
    Q_OBJECT
private slots:
    // Many quick passes first (the freeze was steady from about the ninth on), then the
    // instrument accepts GetStatus and stays silent for two 2.5 s attempts: the status-bar
    // clock, repainted by its 1 s timer, keeps being painted all the while.
    void clockRepaintsDuringSilentExchange()
    {
        if (g_xvfb <= 0)
            QSKIP(qPrintable(g_noDisplay));
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        TempProgramFolder folder;
        QCOMPARE(CreateMainDatabase(folder.databasePath()), 1);
        SimulatedLab lab("127.0.193", 1);
        QVERIFY2(lab.started(), lab.error().c_str());
        // Start-up runs offline (no discovery); the list is ours.
        setIpWatchOverride(IpWatchState{QString(), false});
        ScriptedPrompts prompts;
        prompts.setLenient(true);
        DOzerAvirAded form;
        form.statusPass().client().setTimeout(2500);
        auto d = std::make_unique<DVDEVICEINFO_T>();
        d->ipAddress = lab.address(0);
        d->typeText = "DUVO 96";
        d->runState = d->totalTime = d->timeLeft = "-";
        form.FDeviceList.Add(std::move(d));
        form.BuildDeviceList();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(waitFor([&] { return prompts.asked().size() >= 1; }, 5000));  // the offline notice
        QVERIFY(!form.FApplicationEnding);
        setIpWatchOverride(std::nullopt);
        PaintLog paints;
        form.StatusPanel(1)->installEventFilter(&paints);
        QLabel *clockPanel = form.StatusPanel(1);
        ScreenWatch screen(QRect(clockPanel->mapToGlobal(QPoint(0, 0)), clockPanel->size()));
        QVERIFY(screen.ok());

        // The application's own loop runs the ticks and passes, as in the program; a watcher
        // timer follows them and ends the loop once the silent device is marked offline.
        form.DuvoTimer.setInterval(20);
        form.DuvoTimer.start();
        size_t before = 0;
        qint64 silentFrom = -1;
        qint64 screenFrom = -1;
        QTimer watcher;
        watcher.setInterval(5);
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            const auto log = lab.requests(0);
            if (before == 0 && log.size() >= 24) {  // twelve passes
                before = log.size();
                lab.addFault(0, {duvosim::FaultKind::HalfReplyThenSilence, "GetStatus"});
            } else if (before > 0 && silentFrom < 0 && log.size() > before && log.back().command == "GetStatus") {
                silentFrom = paints.clock.elapsed();
                screenFrom = screen.now();
            }
            if (form.FDeviceList.at(0)->unreachable != 0)
                QCoreApplication::exit(0);
        });
        watcher.start();
        QTimer bound;
        bound.setSingleShot(true);
        QObject::connect(&bound, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        bound.start(25000);
        QCOMPARE(QCoreApplication::exec(), 0);
        watcher.stop();
        QVERIFY(before > 0);
        QCOMPARE(form.FDeviceList.at(0)->unreachable, int16_t(1));
        const qint64 silentTo = paints.clock.elapsed();
        const qint64 screenTo = screen.now();
        QVERIFY(silentFrom >= 0);
        QVERIFY2(silentTo - silentFrom >= 4500, QByteArray::number(silentTo - silentFrom));
        // About five clock changes in the wait; a frozen window paints none of them.
        const int painted = paints.between(silentFrom + 300, silentTo - 300);
        QVERIFY2(painted >= 3, QByteArray::number(painted));
        // And the screen shows it: the clock's pixels change about every second.
        const int shown = screen.changesBetween(screenFrom + 300, screenTo - 300);
        QVERIFY2(shown >= 3, QByteArray::number(shown));
        form.DuvoTimer.stop();
    }
};

int main(int argc, char **argv)
{
    startXvfb();
    int rc = 0;
    {
        QApplication app(argc, argv);
        TestPaintDuringWait test;
        rc = QTest::qExec(&test, argc, argv);
    }
    stopXvfb();
    return rc;
}

#include "tst_paintduringwait.moc"
