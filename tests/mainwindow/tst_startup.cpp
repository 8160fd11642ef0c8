// Start-up and shut-down of the main window, the database path rules, the firewall chain.

#include "common/AppPaths.h"
#include "common/IpWatch.h"
#include "link/DatabaseFiles.h"
#include "link/SettingsRow.h"
#include "mainwindow/StartUp.h"
#include "mainwindow/forms/DOzerAvirAded.h"
#include "mainwindow/forms/DuvoApplication.h"
#include "link/CppSQLite3.h"
#include "GuiTest.h"
#include "ScriptedPrompts.h"
#include "TestFolders.h"

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace duvo;
using namespace duvo::test;

namespace {

// A firewall that records every call and fails where the test says.
class FakeFirewall : public FirewallBackend {
public:
    bool on = true;
    bool appListed = false, appEnabled = false;
    bool udpOpen = false, tcpOpen = false;
    QString failAt;  // name of the call that fails
    QStringList calls;

    HRESULT result(const QString &name)
    {
        calls << name;
        return name == failAt ? static_cast<HRESULT>(static_cast<int32_t>(0x80070005)) : FW_S_OK;
    }
    HRESULT OpenProfile() override { return result(QStringLiteral("OpenProfile")); }
    void ReleaseProfile() override { calls << QStringLiteral("ReleaseProfile"); }
    HRESULT FirewallEnabled(bool &o) override { o = on; return result(QStringLiteral("FirewallEnabled")); }
    HRESULT FindApp(const QString &, bool &listed, bool &enabled) override
    {
        listed = appListed;
        enabled = appEnabled;
        return result(QStringLiteral("FindApp"));
    }
    HRESULT AddApp(const QString &, const QString &name) override { return result(QStringLiteral("AddApp ") + name); }
    HRESULT FindPort(int port, int, bool &listed, bool &enabled) override
    {
        listed = enabled = (port == 20034 ? udpOpen : tcpOpen);
        return result(QStringLiteral("FindPort %1").arg(port));
    }
    HRESULT AddPort(int port, int protocol, const QString &name) override
    {
        return result(QStringLiteral("AddPort %1 %2 %3").arg(port).arg(protocol).arg(name));
    }
};

} // namespace

class TestStartUp : public QObject {
    Q_OBJECT
private:
    QTemporaryDir FConfig;

private slots:
    void initTestCase()
    {
        // App Paths are kept in the user's configuration: point it at a folder of ours.
        qputenv("XDG_CONFIG_HOME", FConfig.path().toUtf8());
        qputenv("DUVO_NO_SLEEP_INHIBITOR", "1");
        SetFirewallOutput([](const std::string &) {});
    }

    void databasePath_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no value") << false << QString() << QStringLiteral("/prog/VadeZir.sqb");
        QTest::newRow("empty value") << true << QString() << QStringLiteral("/prog/VadeZir.sqb");
        QTest::newRow("with separator") << true << QStringLiteral("/data/") << QStringLiteral("/data/VadeZir.sqb");
        // A value without its trailing separator still names the folder.
        QTest::newRow("without separator") << true << QStringLiteral("/data") << QStringLiteral("/data/VadeZir.sqb");
    }
    void databasePath()
    {
        QFETCH(bool, present);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        QCOMPARE(DatabasePathFor(present ? std::optional<QString>(value) : std::nullopt, QStringLiteral("/prog/")),
                 expected);
    }

    void findDatabasePathReadsAppPaths()
    {
        TempProgramFolder folder;
        RemoveAppPath();
        QVERIFY(!ReadAppPath());
        DOzerAvirAded form;
        QCOMPARE(DatabasePath, folder.databasePath());
        WriteAppPath(QStringLiteral("/srv/duvo"));
        form.FindDatabasePath();
        QCOMPARE(DatabasePath, QStringLiteral("/srv/duvo/VadeZir.sqb"));
        WriteAppPath(QString());
        form.FindDatabasePath();
        QCOMPARE(DatabasePath, folder.databasePath());
        RemoveAppPath();
    }

    void firewallChain_data()
    {
        QTest::addColumn<bool>("on");
        QTest::addColumn<QString>("failAt");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<bool>("adminNotice");
        const QString rel = QStringLiteral("ReleaseProfile");
        QTest::newRow("off: nothing added") << false << QString()
            << QStringList{QStringLiteral("OpenProfile"), QStringLiteral("FirewallEnabled"), rel} << false;
        QTest::newRow("on: program, UDP, TCP") << true << QString()
            << QStringList{QStringLiteral("OpenProfile"), QStringLiteral("FirewallEnabled"), QStringLiteral("FindApp"),
                           QStringLiteral("AddApp Velmor Duvo Studio"), QStringLiteral("FindPort 20034"),
                           QStringLiteral("AddPort 20034 17 NB"), QStringLiteral("FindPort 62751"),
                           QStringLiteral("AddPort 62751 6 SVDUVO"), rel}
            << false;
        QTest::newRow("failed program rule stops the chain") << true << QStringLiteral("AddApp Velmor Duvo Studio")
            << QStringList{QStringLiteral("OpenProfile"), QStringLiteral("FirewallEnabled"), QStringLiteral("FindApp"),
                           QStringLiteral("AddApp Velmor Duvo Studio"), rel}
            << true;
        QTest::newRow("no profile") << true << QStringLiteral("OpenProfile")
            << QStringList{QStringLiteral("OpenProfile")} << true;
    }
    void firewallChain()
    {
        QFETCH(bool, on);
        QFETCH(QString, failAt);
        QFETCH(QStringList, calls);
        QFETCH(bool, adminNotice);
        ScriptedPrompts prompts;
        if (adminNotice)
            prompts.answer(Ok, QStringLiteral("Local Admin rights required!"), QStringLiteral("Admin Rights"));
        FakeFirewall fw;
        fw.on = on;
        fw.failAt = failAt;
        TaskDialog dialog;
        const HRESULT hr = SetupFirewall(fw, QStringLiteral("/opt/duvo/VelmorDuvoStudio"), dialog);
        QCOMPARE(fw.calls, calls);
        QCOMPARE(hr < 0, adminNotice);
        QCOMPARE(prompts.pending(), 0);
    }

    void firewallRulesAlreadyThereAddNothing()
    {
        FakeFirewall fw;
        fw.appListed = fw.appEnabled = fw.udpOpen = fw.tcpOpen = true;
        TaskDialog dialog;
        QCOMPARE(SetupFirewall(fw, QStringLiteral("/x"), dialog), FW_S_OK);
        QVERIFY(fw.calls.filter(QStringLiteral("Add")).isEmpty());
    }

    void refreshIntervalNeverZero_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<int>("ms");
        QTest::newRow("default") << 5 << 5000;
        QTest::newRow("zero") << 0 << 1000;
        QTest::newRow("negative") << -3 << 1000;
    }
    void refreshIntervalNeverZero()
    {
        QFETCH(int, seconds);
        QFETCH(int, ms);
        QCOMPARE(RefreshIntervalMs(seconds), ms);
    }

    void deviceRecordStartsClear()
    {
        DVDEVICEINFO_T d;
        QCOMPARE(d.pickRow, -1);
        QCOMPARE(d.selected, 0);
        QCOMPARE(d.alertArmed + d.alertSent + d.unreachable + d.busy + d.recording, 0);
        QVERIFY(d.ipAddress.empty() && d.sessionId.empty());
        QVERIFY(d.isIdle());
        d.runState = "Running";
        QVERIFY(!d.isIdle());
    }

    void deviceListClearDestroysRecords()
    {
        DeviceList list;
        auto first = std::make_unique<DVDEVICEINFO_T>();
        first->ipAddress = "127.0.9.10";
        list.Add(std::move(first));
        list.Add(std::make_unique<DVDEVICEINFO_T>());
        const auto generation = list.generation();
        QCOMPARE(list.IndexOfAddress("127.0.9.10"), 0);
        list.Clear();
        QCOMPARE(list.Count(), 0);
        QVERIFY(list.generation() != generation);
        QVERIFY(list.at(0) == nullptr);
    }

    void startOfflineShowsNetworkNotice()
    {
        TempProgramFolder folder;
        setIpWatchOverride(IpWatchState{QString(), false});
        ScriptedPrompts prompts;
        prompts.answer(Yes, QStringLiteral("Create new database file"));
        prompts.answer(Ok, QStringLiteral("Database created!"));
        prompts.answer(Ok, QStringLiteral("The computer is not connected to a network or is offline."),
                       QStringLiteral("Velmor Lab Duvo Studio"));
        prompts.answer(Ok, QStringLiteral("No devices were found on the network."));
        DOzerAvirAded form;
        form.show();
        QVERIFY(waitFor([&] { return prompts.pending() == 0; }));
        QVERIFY(QFileInfo::exists(folder.databasePath()));
        const PromptRequest &notice = prompts.asked().at(2);
        QCOMPARE(notice.instruction, QStringLiteral("Network"));
        QCOMPARE(notice.expandedText, QStringLiteral("The application requires a TCP/IP network."));
        QCOMPARE(notice.collapseControlText, QStringLiteral("Click to see more"));
        QCOMPARE(prompts.asked().at(3).instruction, QStringLiteral("Duvo Device Network Scan"));
        QVERIFY(form.TaskDialog1.ExpandedText.isEmpty());
        QCOMPARE(form.OutList1->topLevelItemCount(), 0);

        QCOMPARE(form.windowTitle(), QStringLiteral("Velmor Lab Duvo Studio"));
        QStringList pages;
        for (int i = 0; i < form.AdvToolBarPager1->count(); ++i)
            pages << form.AdvToolBarPager1->tabText(i);
        QCOMPARE(pages, (QStringList{QStringLiteral("Protocols"), QStringLiteral("Toolbox"), QStringLiteral("vDuvo"),
                                     QStringLiteral("Maintenance"), QStringLiteral("Options")}));
        QCOMPARE(form.AdvToolBarPager1->currentWidget(), form.DiagPage1);
        for (const QString &name : DOzerAvirAded::DeviceButtonNames()) {
            QVERIFY2(form.button(name), qPrintable(name));
            QVERIFY2(!form.button(name)->isEnabled(), qPrintable(name));
        }
        QVERIFY(form.button(QStringLiteral("btnRefresh"))->isEnabled());
        QVERIFY(form.button(QStringLiteral("btnPreferences"))->isEnabled());
        QVERIFY(!form.DuvoTimer.isActive());
        QCOMPARE(form.DuvoTimer.interval(), 5000);

        // The clock: first the start-up text, then the 1000 ms tick's.
        QCOMPARE(form.StatusPanel(0)->text(), QStringLiteral("Press F1 for Help"));
        QVERIFY(waitFor([&] { return form.StatusPanel(0)->text() == QStringLiteral("Use the Quick Guide"); }, 3000));
        const QString clock = form.StatusPanel(1)->text();
        QVERIFY2(clock.contains(QRegularExpression(QStringLiteral("  \\d\\d:\\d\\d:\\d\\d$"))), qPrintable(clock));
        setIpWatchOverride(std::nullopt);
    }

    void refusingTheMissingDatabaseEndsTheProgram()
    {
        TempProgramFolder folder;
        setIpWatchOverride(IpWatchState{QString(), false});
        ScriptedPrompts prompts;
        prompts.answer(No, QStringLiteral("Create new database file"));
        DOzerAvirAded form;
        form.show();
        QVERIFY(waitFor([&] { return form.FApplicationEnding; }));
        QTest::qWait(100);
        QCOMPARE(prompts.asked().size(), 1);  // nothing more is asked
        QVERIFY(!QFileInfo::exists(folder.databasePath()));
        QCoreApplication::processEvents();
        setIpWatchOverride(std::nullopt);
    }

    // The same in the running program: the application's loop ends at once, without the exit
    // question (a box nobody planned fails the test) and without discovery.
    void refusingTheMissingDatabaseEndsTheLoopWithoutTheExitQuestion()
    {
        TempProgramFolder folder;
        setIpWatchOverride(IpWatchState{QStringLiteral("127.0.199.1"), true});
        qputenv("DUVO_MODULE_TARGET", "127.0.199.2");
        qputenv("DUVO_MODULE_BIND", "127.0.199.1");
        ScriptedPrompts prompts;
        prompts.answer(No, QStringLiteral("Create new database file"));
        DOzerAvirAded form;
        form.show();
        bool bounded = false;
        QTimer bound;
        bound.setSingleShot(true);
        connect(&bound, &QTimer::timeout, [&bounded] {
            bounded = true;
            QCoreApplication::exit(1);
        });
        bound.start(10000);
        QElapsedTimer t;
        t.start();
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(!bounded);
        QVERIFY(t.elapsed() < 5000);
        QCOMPARE(prompts.asked().size(), 1);
        QVERIFY(form.FApplicationEnding);
        QVERIFY(!form.isVisible());
        QVERIFY(form.FDeviceList.isEmpty());
        QVERIFY(!form.DuvoTimer.isActive());
        setIpWatchOverride(std::nullopt);
        qunsetenv("DUVO_MODULE_TARGET");
        qunsetenv("DUVO_MODULE_BIND");
    }

    void brokenDatabaseIsLoggedAndStartUpGoesOn()
    {
        TempProgramFolder folder;
        {
            QFile f(folder.databasePath());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("this is not a database");
        }
        setIpWatchOverride(IpWatchState{QString(), false});
        ScriptedPrompts prompts;
        prompts.answer(Ok, QStringLiteral("SQLite exception: "));
        prompts.answer(Ok, QStringLiteral("The computer is not connected"));
        prompts.answer(Ok, QStringLiteral("No devices were found"));
        DOzerAvirAded form;
        form.show();
        QVERIFY(waitFor([&] { return prompts.pending() == 0; }));
        QVERIFY(!form.FApplicationEnding);
        QVERIFY(folder.readFile(QStringLiteral("DuvoGeneral.txt")).contains(QStringLiteral("Error during database operation")));
        QCOMPARE(form.FRefreshSeconds, 5);
        setIpWatchOverride(std::nullopt);
    }

    void startOnlineWithNoDevicesKeepsTimerOff()
    {
        TempProgramFolder folder;
        // A lab network with nothing on it; discovery waits 2 s, refresh every 7 s.
        qputenv("DUVO_MODULE_TARGET", "127.0.48.2");
        qputenv("DUVO_MODULE_BIND", "127.0.48.1");
        QCOMPARE(CreateMainDatabase(folder.databasePath()), 1);
        QCOMPARE(WriteSettingsColumn(folder.databasePath(), SettingsRowKey(), QStringLiteral("preferencedata"),
                                    QStringLiteral("1:1:62751:7:2:0::::\"%1\":0").arg(folder.path())).changes, 1);
        setIpWatchOverride(IpWatchState{QStringLiteral("127.0.48.1"), true});
        ScriptedPrompts prompts;
        prompts.answer(Ok, QStringLiteral("No devices were found on the network."));
        DOzerAvirAded form;
        form.show();
        QVERIFY(waitFor([&] { return prompts.pending() == 0; }, 20000));
        QCOMPARE(form.FLocalIP, QStringLiteral("127.0.48.1"));
        QCOMPARE(form.DuvoTimer.interval(), 7000);
        QVERIFY(!form.DuvoTimer.isActive());
        QVERIFY(!form.button(QStringLiteral("btnStatus"))->isEnabled());
        setIpWatchOverride(std::nullopt);
    }

    void exitQuestion_data()
    {
        QTest::addColumn<bool>("armed");
        QTest::addColumn<bool>("session");
        QTest::addColumn<int>("answer");
        QTest::newRow("no notes, No") << false << false << int(No);
        QTest::newRow("armed alert, No") << true << false << int(No);
        QTest::newRow("session, No") << false << true << int(No);
        QTest::newRow("no notes, Yes") << false << false << int(Yes);
        QTest::newRow("armed alert, Yes") << true << false << int(Yes);
    }
    void exitQuestion()
    {
        QFETCH(bool, armed);
        QFETCH(bool, session);
        QFETCH(int, answer);
        TempProgramFolder folder;
        ScriptedPrompts prompts;
        DOzerAvirAded form;
        auto d = std::make_unique<DVDEVICEINFO_T>();
        d->alertArmed = armed ? 1 : 0;
        d->sessionId = session ? "20261210-1" : "";
        form.FDeviceList.Add(std::move(d));
        form.DuvoTimer.stop();
        prompts.answer(answer, QStringLiteral("Exit Duvo Studio?"), QStringLiteral("Exit"));
        QCloseEvent event;
        QCoreApplication::sendEvent(&form, &event);
        const PromptRequest &q = prompts.asked().at(0);
        QCOMPARE(q.text, QStringLiteral("Select No to continue. Yes to exit."));
        QCOMPARE(q.buttons, int(Yes | No));
        if (armed || session) {
            QVERIFY(q.expanded);
            QCOMPARE(q.expandedText, QStringLiteral("Duvo Studio e-mail alerts and session IDs will be cleared on exit!"));
            QCOMPARE(q.expandControlText, QStringLiteral("Click to hide"));
        } else {
            QVERIFY(q.expandedText.isEmpty());
        }
        if (answer == No) {
            QVERIFY(!event.isAccepted());
            QVERIFY(form.DuvoTimer.isActive());  // switched on whatever it was before
            QVERIFY(!form.FApplicationEnding);
        } else {
            QVERIFY(event.isAccepted());
            QVERIFY(!form.DuvoTimer.isActive());
            QVERIFY(form.FApplicationEnding);
        }
        form.FApplicationEnding = false;
        QCoreApplication::processEvents();  // the queued quit finds no loop to end here
    }

    // Yes while a handler waits inside the event loop (an exchange): the window is not freed
    // under it; the application ends once control is back in the main loop.
    void exitWhileHandlerWaitsEndsAfterUnwinding()
    {
        TempProgramFolder folder;
        ScriptedPrompts prompts;
        prompts.answer(Yes, QStringLiteral("Exit Duvo Studio?"));
        auto *form = new DOzerAvirAded;
        QPointer<DOzerAvirAded> guard(form);
        bool handlerFinished = false;
        bool formAliveAtEnd = false;
        QTimer::singleShot(0, [&] {
            // A handler that waits 300 ms in a nested loop; the close arrives meanwhile.
            QTimer::singleShot(50, form, [form] { form->close(); });
            QDeadlineTimer wait(300);
            while (!wait.hasExpired())
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            formAliveAtEnd = !guard.isNull();
            handlerFinished = true;
        });
        QTimer::singleShot(5000, qApp, &QCoreApplication::quit);  // bound
        QCoreApplication::exec();
        QVERIFY(handlerFinished);
        QVERIFY(formAliveAtEnd);
        QVERIFY(form->FApplicationEnding);
        delete form;
    }

    // The last-resort handlers name a database engine error instead of "unknown exception".
    void exceptionTextNamesDatabaseErrors()
    {
        auto textOf = [](auto thrower) {
            try {
                thrower();
            } catch (...) {
                return DuvoApplication::ExceptionText(std::current_exception());
            }
            return QString();
        };
        QCOMPARE(textOf([] { throw CppSQLite3Exception(1, "no such table: config_tbl"); }),
                 QStringLiteral("SQLite exception: 1 (SQLITE_ERROR[1]: no such table: config_tbl)"));
        QCOMPARE(textOf([] { throw std::runtime_error("disk full"); }), QStringLiteral("disk full"));
        QCOMPARE(textOf([] { throw 42; }), QStringLiteral("unknown exception"));
    }

    void logsLiveInTheProgramFolder()
    {
        TempProgramFolder folder;
        DOzerAvirAded form;
        QCOMPARE(form.ZavLog1.fileName(), folder.file(QStringLiteral("DuvoGeneral.txt")));
        QCOMPARE(form.ZavExceptionLog1.fileName(), folder.file(QStringLiteral("DuvoException.txt")));
        form.ZavLog1.WriteLine(QStringLiteral("Error during database operation"));
        form.ZavLog1.Dump();
        form.ZavExceptionLog1.LogException(QStringLiteral("FormShow"), QStringLiteral("boom"));
        QCOMPARE(folder.readFile(QStringLiteral("DuvoGeneral.txt")), QStringLiteral("Error during database operation\n"));
        QVERIFY(folder.readFile(QStringLiteral("DuvoException.txt")).contains(QStringLiteral("boom")));
    }

    void freeDiskMB()
    {
        QVERIFY(FreeDiskMB(QDir::tempPath()) >= 0);
        QCOMPARE(FreeDiskMB(QString()), -1);
        QCOMPARE(FreeDiskMB(QStringLiteral("/no/such/drive/here")), -1);
    }

    void hiddenModelessWindowIsFreed()
    {
        TempProgramFolder folder;
        DOzerAvirAded form;
        auto *w = new QWidget;
        ActiveProtoForm = w;
        QPointer<QWidget> guard(w);
        w->show();
        form.IdleFree();
        QVERIFY(!guard.isNull());  // shown: kept
        w->hide();
        QVERIFY(waitFor([&] { return guard.isNull(); }, 2000));
        QVERIFY(ActiveProtoForm.isNull());
    }
};

QTEST_MAIN(TestStartUp)
#include "tst_startup.moc"
