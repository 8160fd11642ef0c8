// The run monitor's passes and the run session's records against simulated instruments:
// what a reply shows, the request queue and its error table, the RunRecord, the run log,
// the alert e-mail and the plot file.

#include "link/CommandDocs.h"
#include "link/CppSQLite3.h"
#include "link/DatabaseFiles.h"
#include "link/Workstation.h"
#include "runs/RunMonitor.h"
#include "runs/RunStatusDisplay.h"
#include "RunLabCase.h"
#include "ScriptedPrompts.h"
#include "SimulatedLab.h"
#include "SmtpTestServer.h"
#include "TestFolders.h"

#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTimer>
#include <QTest>
#include <stdexcept>

using namespace duvo;
using namespace duvo::test;

namespace {

struct FakeView : RunMonitorView {
    QList<RunStatusDisplay> shown;
    QList<RunButtons> buttons;
    QList<bool> plotLabels;
    int points = 0;
    int stops = 0;
    int fronts = 0;
    bool throwOnShow = false;
    void showRunStatus(const RunStatusDisplay &d) override
    {
        if (throwOnShow)
            throw std::runtime_error("display failed");
        shown << d;
        if (d.buttons)
            buttons << *d.buttons;
    }
    void setRunButtons(const RunButtons &b) override { buttons << b; }
    void setPlotLabel(bool yes) override { plotLabels << yes; }
    void addChartPoint(const QDateTime &, double) override { ++points; }
    void stopPolling() override { ++stops; }
    void bringToFront() override { ++fronts; }
};

QList<QStringList> rows(const QString &db, const char *sql)
{
    QList<QStringList> out;
    CppSQLite3DB d;
    d.OpenExistingFile(db);
    CppSQLite3Query q = d.RunQuery(sql);
    while (!q.AtEnd()) {
        QStringList r;
        for (int i = 0; i < q.ColumnCount(); ++i) {
            const char *t = q.ColumnText(i);
            r << (t ? QString::fromUtf8(t) : QString());
        }
        out << r;
        q.NextRow();
    }
    return out;
}

InstrumentStatus status(const std::map<int, std::string> &fields)
{
    InstrumentStatus s;
    s[StatusMode] = "Running";
    s[StatusInfiniteHold] = "false";
    s[StatusState] = "2";
    for (const auto &[k, v] : fields)
        s[static_cast<size_t>(k)] = v;
    return s;
}

const char *const kProtocol = "<Protocol><Step>95</Step></Protocol>";

} // namespace

class TestRunMonitor : public RunLabCase {
    Q_OBJECT

    QStringList FMails;
    int FFreeMB = -1;
    int FRandom = 100;

    QString logText() { return FFolder->readFile(QStringLiteral("DuvoGeneral.txt")); }

    RunMonitorSeams seams()
    {
        RunMonitorSeams s;
        s.clock = [] { return QDateTime(QDate(2010, 11, 30), QTime(12, 0)); };
        s.freeSpace = [this](const QString &) { return FFreeMB; };
        s.sendMail = [this](const QString &to, const QString &message) { FMails << to + QLatin1Char('|') + message; };
        s.sessionIds.wait = [](int) {};
        s.sessionIds.now = [] { return QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5, 6)); };
        s.sessionIds.random = [this] { return FRandom++; };
        return s;
    }

    std::unique_ptr<RunMonitor> monitor(const std::string &folder = "PCR", const std::string &file = "TEST1")
    {
        RunDetails d;
        d.folder = folder;
        d.file = file;
        d.consumable = 1;
        d.volume = 20;
        d.contact = "Ann";
        d.description = "Assay\twith tab";
        d.notes = "line one\r\nline two";
        d.email = "ann@lab.example";
        auto m = std::make_unique<RunMonitor>(*FWs, 0, FLab->address(0), "DUVO-7", "DUVO 96", d, seams());
        m->client().setTimeout(1500);
        return m;
    }

    QStringList commands()
    {
        QStringList out;
        for (const auto &r : FLab->requests(0))
            out << QString::fromStdString(r.command);
        return out;
    }

private slots:
    void init()
    {
        setUpLab("127.0.140", 50, kProtocol);
        if (QTest::currentTestFailed())
            return;
        FWs->FDeviceList.at(0)->firmware = "2.4.1";
        FMails.clear();
        FFreeMB = -1;
    }
    void cleanup() { teardown(); }
    void cleanupTestCase() { teardown(); }

    // ---- what a reply shows -------------------------------------------------------------

    void display_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("hold");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("buttons");  // start next pause stop, "" = unchanged
        QTest::newRow("stopped on hold") << "Stopped" << "true" << "2" << "Stopped [on hold] [Ok]"
                                         << int(RunDisplayKind::Kept) << "1001";
        QTest::newRow("stopped") << "Stopped" << "false" << "2" << "Stopped [Ok]" << int(RunDisplayKind::Reset)
                                 << "1000";
        QTest::newRow("completed, press stop") << "Completed" << "true" << "3" << "Completed [press Stop] [Ok]"
                                               << int(RunDisplayKind::Values) << "0001";
        QTest::newRow("running, state 5") << "Running" << "false" << "5" << "Running [5]"
                                          << int(RunDisplayKind::Values) << "0111";
        QTest::newRow("running on hold, error") << "Running" << "true" << "0" << "Running [on hold] [Error]"
                                                << int(RunDisplayKind::Values) << "0111";
        QTest::newRow("paused, warning") << "Paused" << "false" << "1" << "Paused [Warning]"
                                         << int(RunDisplayKind::Values) << "1001";
        QTest::newRow("other mode") << "Heating" << "maybe" << "" << "Heating []" << int(RunDisplayKind::Values)
                                    << "";
    }
    void display()
    {
        QFETCH(QString, mode);
        QFETCH(QString, hold);
        QFETCH(QString, state);
        QFETCH(QString, shown);
        QFETCH(int, kind);
        QFETCH(QString, buttons);
        const RunStatusDisplay d = InterpretRunStatus(
            status({{StatusMode, mode.toStdString()}, {StatusInfiniteHold, hold.toStdString()},
                    {StatusState, state.toStdString()}}),
            true);
        QCOMPARE(d.mode, shown);
        QCOMPARE(int(d.kind), kind);
        QCOMPARE(d.completed, mode == QLatin1String("Completed"));
        if (buttons.isEmpty()) {
            QVERIFY(!d.buttons);
        } else {
            QVERIFY(d.buttons);
            const RunButtons b{buttons[0] == '1', buttons[1] == '1', buttons[2] == '1', buttons[3] == '1'};
            QCOMPARE(*d.buttons, b);
        }
    }

    void values()
    {
        const RunStatusDisplay d = InterpretRunStatus(
            status({{StatusVolume, "5"}, {StatusTargetTemp, "95"}, {StatusRampRate, "2,5"},
                    {StatusTargetTempInc, "-0.5"}, {StatusHoldTime, "3725,9"}, {StatusHoldTimeLeft, "3725"},
                    {StatusRampTime, "59.9"}, {StatusHoldTimeInc, "x"}, {StatusTotalTime, "0"},
                    {StatusTimeLeft, "3725.9"}, {StatusSteps, "12"}, {StatusStep, " 3"}, {StatusCycles, "40"},
                    {StatusCycle, "+7"}, {StatusFolder, "PCR"}, {StatusFile, "TEST1"}}),
            true);
        const RunStatusValues &v = d.values;
        QCOMPARE(v.volume, QStringLiteral("05"));
        QCOMPARE(v.tempBlock, QStringLiteral("95.0"));
        QCOMPARE(v.ramp, QStringLiteral("2.5"));
        QCOMPARE(v.incCycle, QStringLiteral("-0.5"));
        QCOMPARE(v.stepHold, QStringLiteral("01:02:05"));
        QCOMPARE(v.stepLeft, QStringLiteral("01:02:05"));
        QCOMPARE(v.stepRamp, QStringLiteral("00:00:59"));
        QCOMPARE(v.holdInc, QStringLiteral("00:00:00"));
        QCOMPARE((QList<int>{v.totalHours, v.totalMin, v.totalSec}), (QList<int>{0, 0, 0}));
        QCOMPARE((QList<int>{v.hours, v.min, v.sec}), (QList<int>{1, 2, 5}));
        QCOMPARE((QList<int>{v.totalSteps, v.steps, v.cycles, v.cycle}), (QList<int>{12, 3, 40, 7}));
        QCOMPARE(v.folder, QStringLiteral("PCR"));
        QVERIFY(d.badCount.isEmpty());
    }

    void countThatIsNoWholeNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("fraction") << "12.5";
        QTest::newRow("exponent") << "1e12";
        QTest::newRow("too big") << "99999999999";
        QTest::newRow("empty") << "";
    }
    void countThatIsNoWholeNumber()
    {
        QFETCH(QString, text);
        const RunStatusDisplay d = InterpretRunStatus(status({{StatusSteps, text.toStdString()}}), true);
        QCOMPARE(d.values.totalSteps, 0);
        QCOMPARE(d.badCount, text);
        QCOMPARE(d.kind, RunDisplayKind::Values);
    }

    void unreadableReply()
    {
        const RunStatusDisplay d = InterpretRunStatus(status({}), false);
        QCOMPARE(d.mode, QStringLiteral("??XML ERROR??"));
        QCOMPARE(d.kind, RunDisplayKind::Reset);
        QVERIFY(d.buttons && *d.buttons == RunButtons{});
    }

    // ---- starting a run -----------------------------------------------------------------

    void startWritesTheRecordAndPlots()
    {
        FakeView view;
        auto m = monitor();
        m->setView(&view);
        m->setPlotting(true);
        m->PollStatus();  // Stopped
        QCOMPARE(m->runMode(), std::string("Stopped"));
        m->queueStart();
        FLab->clearRequests();
        m->PollStatus();
        QCOMPARE(commands(), (QStringList{"GetStatus", "GetProtocol", "StartRun"}));
        const auto sent = FLab->requests(0);
        QCOMPARE(sent[2].bytes, StartRun_doc("PCR", "TEST1", "1", "20"));
        QCOMPARE(m->sessionId(), std::string("20261234561"
                                             "00"));
        const DVDEVICEINFO_T *device = FWs->FDeviceList.at(0);
        QCOMPARE(device->sessionId, m->sessionId());
        QCOMPARE(device->runProtocol, std::string(kProtocol));
        QCOMPARE(device->recording, int16_t(1));
        QCOMPARE(FPrompts->asked().size(), 0);

        const auto r = rows(DatabasePath,
                            "select sessionid,folder,file,protocol,protocolsize,date,volume,consumable,originalip,"
                            "originaltype,originalname,contactname,description,notes,fwversion from log_tbl;");
        QCOMPARE(r.size(), 1);
        QCOMPARE(r[0][0], QString::fromStdString(m->sessionId()));
        QCOMPARE(r[0][1], QStringLiteral("PCR"));
        QCOMPARE(r[0][3], QString::fromLatin1(kProtocol));
        QCOMPARE(r[0][4].toInt(), m->protocolSize());
        QVERIFY(m->protocolSize() > int(strlen(kProtocol)));
        QCOMPARE(r[0][5].toDouble(), 40512.5);
        QCOMPARE(r[0].mid(6), (QStringList{"20", "1", QString::fromStdString(FLab->address(0)), "DUVO 96", "DUVO-7",
                                           "Ann", "Assay\twith tab", "line one\r\nline two", "2.4.1"}));

        // Running: every pass adds a chart point and a plot line.
        for (int i = 0; i < 3; ++i)
            m->PollStatus();
        QVERIFY(RunPlotWriter::instance().waitIdle(5000));
        QFile plot(m->plotFilePath());
        QVERIFY(plot.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = plot.readAll().split('\n');
        QCOMPARE(lines.size(), 4);  // three lines and the empty rest
        for (int i = 0; i < 3; ++i)
            QVERIFY2(QRegularExpression(QStringLiteral("^40512\\.500000 -?\\d+\\.\\d\r$")).match(QString::fromLatin1(lines[i])).hasMatch(),
                     lines[i].constData());
        QCOMPARE(view.points, 3);
        QCOMPARE(rows(DatabasePath, "select count(*) from log_tbl;")[0][0], QStringLiteral("1"));
    }

    void folderIsCutForTheRequestOnly()
    {
        auto m = monitor("0/PCR");
        m->FetchRunProtocol(FLab->address(0), "0/PCR", "TEST1");
        QVERIFY(FLab->requests(0).back().bytes == GetProtocol_doc("PCR", "TEST1"));
        m->AddSessionLog("777");
        m->AddSessionLog("777");
        const auto r = rows(DatabasePath, "select sessionid,folder from log_tbl;");
        QCOMPARE(r.size(), 1);
        QCOMPARE(r[0], (QStringList{"777", "0/PCR"}));
    }

    void startWhileRunningSendsNothingWhilePausedOnlyContinue()
    {
        std::string reason;
        QVERIFY(FLab->instrument(0).startRun("PCR", "TEST1", &reason));
        auto m = monitor();
        m->PollStatus();
        m->queueStart();
        FLab->clearRequests();
        m->PollStatus();
        QCOMPARE(commands(), QStringList{"GetStatus"});
        QVERIFY(m->sessionId().empty());

        FLab->instrument(0).handleRequest(Pause_doc());
        m->PollStatus();
        m->queueStart();
        FLab->clearRequests();
        m->PollStatus();
        QCOMPARE(commands(), (QStringList{"GetStatus", "Continue"}));
        QVERIFY(m->sessionId().empty());
    }

    // A failed fetch leaves no protocol of an earlier run behind.
    void failedProtocolFetchClearsTheProtocol()
    {
        auto m = monitor();
        m->FetchRunProtocol(FLab->address(0), "PCR", "TEST1");
        QCOMPARE(m->protocolText(), std::string(kProtocol));
        FLab->fail(0, 2, "GetProtocol");
        FPrompts->answer(Ok, QStringLiteral("Error during GetProtocol net command"), QStringLiteral("Error"));
        m->FetchRunProtocol(FLab->address(0), "PCR", "TEST1");
        QVERIFY(m->protocolText().empty());
        QVERIFY(!m->protocolBuffer());
        QCOMPARE(m->protocolSize(), 0);
        // No buffer: no RunRecord.
        m->AddSessionLog("888");
        QCOMPARE(rows(DatabasePath, "select count(*) from log_tbl;")[0][0], QStringLiteral("0"));
    }

    // A reply without its protocol: the reader's box, and the run's record with an empty one.
    void unreadableProtocolStoresAnEmptyOne()
    {
        FLab->instrument(0).setReplyWithout("GetProtocol", "Protocol");
        auto m = monitor();
        FPrompts->answer(Ok, QStringLiteral("OK"), QStringLiteral("Error GetProtocol_Ret_Doc"));
        m->FetchRunProtocol(FLab->address(0), "PCR", "TEST1");
        QVERIFY(m->protocolBuffer());
        m->AddSessionLog("889");
        QCOMPARE(rows(DatabasePath, "select protocol from log_tbl;"), (QList<QStringList>{{QString()}}));
    }

    void missingDatabaseIsNeverMade()
    {
        QFile::remove(DatabasePath);
        auto m = monitor();
        m->FetchRunProtocol(FLab->address(0), "PCR", "TEST1");
        FPrompts->answer(Ok, QStringLiteral("Can't find the database file!"), QStringLiteral("Database Error"));
        m->AddSessionLog("900");
        QVERIFY(!QFile::exists(DatabasePath));
        m->StoreDeviceLog("900", "<log/>");
        QVERIFY(!QFile::exists(DatabasePath));
        QVERIFY(logText().contains(QStringLiteral("Can't find the database file!")));
    }

    void brokenDatabaseGetsTheInsertBox()
    {
        QFile f(DatabasePath);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("this is no database at all, just text that fills the first page of the file........");
        f.close();
        auto m = monitor();
        m->FetchRunProtocol(FLab->address(0), "PCR", "TEST1");
        FPrompts->answer(Ok, QStringLiteral("SQLite exception: 26"), QStringLiteral("vDuvo Error"));
        m->AddSessionLog("901");
        QCOMPARE(FPrompts->pending(), 0);
    }

    void sessionIdDrawnAgainWhileTaken()
    {
        auto m = monitor();
        // 100 is taken by a plot file, 101 by a record.
        QFile taken(RunPlotFilePath(DatabasePath, QStringLiteral("20261234561") + QStringLiteral("00")));
        QVERIFY(taken.open(QIODevice::WriteOnly));
        taken.close();
        m->FetchRunProtocol(FLab->address(0), "PCR", "TEST1");
        m->AddSessionLog("2026123456101");
        QCOMPARE(m->MakeUniqueSessionId(), std::string("2026123456102"));
    }

    // ---- the request queue and its errors -----------------------------------------------

    void skipAndPauseWithoutRunPassSilently()
    {
        FakeView view;
        auto m = monitor();
        m->setView(&view);
        m->PollStatus();
        m->queueNext();
        m->queuePause();
        FLab->clearRequests();
        m->PollStatus();
        QCOMPARE(commands(), (QStringList{"GetStatus", "Skip", "Pause"}));
        QVERIFY(!m->pollingEnded());
        QCOMPARE(FPrompts->asked().size(), 0);
    }

    void otherSkipErrorEndsPolling()
    {
        FakeView view;
        auto m = monitor();
        m->setView(&view);
        m->PollStatus();
        duvosim::SimFault f;
        f.command = "Skip";
        f.errMessage = "Lid open";
        FLab->addFault(0, f);
        m->queueNext();
        m->queueStop();
        FPrompts->answer(Ok, QStringLiteral("Lid open"), QStringLiteral("Error Skip XML parsing"));
        m->PollStatus();
        QVERIFY(m->pollingEnded());
        QCOMPARE(m->statusMessage(), QStringLiteral("Error Skip XML parsing"));
        // The run buttons went off: nothing will be sent from here.
        QCOMPARE(view.buttons.last(), RunButtons{});
        QCOMPARE(view.stops, 1);
        QCOMPARE(view.fronts, 1);
        FLab->clearRequests();
        m->PollStatus();
        QCOMPARE(commands(), QStringList{});
    }

    void getStatusFailureShowsOneBoxAndStops()
    {
        FakeView view;
        auto m = monitor();
        m->setView(&view);
        m->queueStart();
        FLab->fail(0, 2, "GetStatus");
        FPrompts->answer(Ok, QStringLiteral("Error during GetStatus net command"), QStringLiteral("Error"));
        m->PollStatus();
        QCOMPARE(commands(), (QStringList{"GetStatus", "GetStatus"}));
        QCOMPARE(FPrompts->asked().size(), 1);
        m->PollStatus();
        QCOMPARE(commands().size(), 2);  // no more GetStatus, the queued start not sent
    }

    void unreadableStatusKeepsPolling()
    {
        FakeView view;
        auto m = monitor();
        m->setView(&view);
        FLab->instrument(0).setReplyWithout("GetStatus", "Mode");
        m->PollStatus();
        QCOMPARE(view.shown.last().mode, QStringLiteral("??XML ERROR??"));
        QCOMPARE(m->statusMessage(), QStringLiteral("??XML ERROR??"));
        QVERIFY(!m->pollingEnded());
        QCOMPARE(FPrompts->asked().size(), 0);
        FLab->instrument(0).clearReplyWithout();
        m->PollStatus();
        QCOMPARE(view.shown.last().mode, QStringLiteral("Stopped [Ok]"));
    }

    void badCountLoggedOncePassGoesOn()
    {
        FakeView view;
        std::string reason;
        QVERIFY(FLab->instrument(0).startRun("PCR", "TEST1", &reason));
        FLab->instrument(0).setStatusOverride("Steps", "12.5");
        auto m = monitor();
        m->setView(&view);
        m->PollStatus();
        m->PollStatus();
        QCOMPARE(view.shown.size(), 2);
        QCOMPARE(view.shown.last().values.totalSteps, 0);
        QCOMPARE(logText().count(QStringLiteral("'12.5' is not a valid integer value")), 1);
        QCOMPARE(view.points, 2);
    }

    // A pass cut short by an exception is over all the same: the next one runs.
    void passEndsAlsoOnThrow()
    {
        FakeView view;
        view.throwOnShow = true;
        auto m = monitor();
        m->setView(&view);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, m->PollStatus());
        QVERIFY(!m->passRunning());
        view.throwOnShow = false;
        m->PollStatus();
        QCOMPARE(view.shown.size(), 1);
    }

    // ---- the end of a session -----------------------------------------------------------

    void completedStoresTheLogAndMailsOnce()
    {
        auto m = monitor();
        FakeView view;
        m->setView(&view);
        m->setPlotting(true);
        m->PollStatus();
        m->queueStart();
        m->PollStatus();
        const std::string session = m->sessionId();
        QVERIFY(!session.empty());
        DVDEVICEINFO_T *device = FWs->FDeviceList.at(0);
        device->alertArmed = 1;
        device->alertSent = 0;
        device->alertAddress = "ann@lab.example";
        FLab->instrument(0).setStatusOverride("Mode", "Completed");
        FLab->instrument(0).setStatusOverride("InfiniteHold", "true");
        m->PollStatus();
        QCOMPARE(view.shown.last().mode, QStringLiteral("Completed [press Stop] [Ok]"));
        m->PollStatus();
        QVERIFY(m->sessionId().empty());
        QVERIFY(device->sessionId.empty());
        QCOMPARE(device->recording, int16_t(0));
        QCOMPARE(FMails, QStringList{"ann@lab.example|Status = Completed"});
        QCOMPARE(device->alertSent, int16_t(1));
        const auto logs = rows(DatabasePath, "select sessionid,duvolog from log2_tbl;");
        QCOMPARE(logs.size(), 1);
        QCOMPARE(logs[0][0], QString::fromStdString(session));
        QVERIFY(logs[0][1].contains(QStringLiteral("GetProtocolLog")));
        // Stop afterwards: no second log, no second mail.
        m->queueStop();
        m->PollStatus();
        QCOMPARE(rows(DatabasePath, "select count(*) from log2_tbl;")[0][0], QStringLiteral("1"));
        QCOMPARE(FMails.size(), 1);
    }

    void finishSessionTwiceMailsOnceOverSmtp()
    {
        SmtpTestServer server;
        if (!server.start())
            QSKIP(qPrintable(server.errorText()));
        FWs->FSmtpHost = QStringLiteral("127.0.0.1");
        FWs->FSmtpPort = QString::number(server.port());
        FWs->FSenderAddress = QStringLiteral("cycler@lab.example");
        FWs->FSenderName = QStringLiteral("Cycler");
        RunMonitorSeams s = seams();
        s.sendMail = RunMonitorSeams::system(*FWs).sendMail;
        auto m = std::make_unique<RunMonitor>(*FWs, 0, FLab->address(0), "DUVO-7", "DUVO 96",
                                              RunDetails{"PCR", "TEST1", 1, 20, "", "", "", ""}, s);
        m->PollStatus();
        m->queueStart();
        m->PollStatus();
        DVDEVICEINFO_T *device = FWs->FDeviceList.at(0);
        device->alertArmed = 1;
        device->alertAddress = "ann@lab.example";
        FLab->instrument(0).handleRequest(Stop_doc());  // the run's log is complete
        m->FinishSession(QStringLiteral("Status = Stopped"));
        m->FinishSession(QStringLiteral("Status = Stopped"));
        QVERIFY(server.waitForMessages(1));
        QTest::qWait(200);
        QCOMPARE(server.messages().size(), 1);
        std::string reply;
        QVERIFY(m->FetchRunLog(reply));
        QCOMPARE(rows(DatabasePath, "select duvolog from log2_tbl;"),
                 (QList<QStringList>{{QString::fromStdString(reply)}}));
    }

    void emptyAddressDisarmsWithoutMail()
    {
        auto m = monitor();
        m->PollStatus();
        m->queueStart();
        m->PollStatus();
        DVDEVICEINFO_T *device = FWs->FDeviceList.at(0);
        device->alertArmed = 1;
        device->alertSent = 0;
        device->alertAddress.clear();
        m->FinishSession(QStringLiteral("Status = Stopped"));
        QCOMPARE(device->alertArmed, int16_t(0));
        QCOMPARE(device->alertSent, int16_t(1));
        QVERIFY(FMails.isEmpty());
    }

    void failedLogExchangesAreLoggedAlertStillSent()
    {
        auto m = monitor();
        m->PollStatus();
        m->queueStart();
        m->PollStatus();
        DVDEVICEINFO_T *device = FWs->FDeviceList.at(0);
        device->alertArmed = 1;
        device->alertAddress = "ann@lab.example";
        FLab->fail(0, 4, "GetProtocolLog");
        m->FinishSession(QStringLiteral("Error during Stop net command"));
        const QString log = logText();
        QCOMPARE(log.count(QStringLiteral("Error getting Duvo log")), 2);
        QVERIFY(log.contains(QStringLiteral("Error getting Duvo log 2nd try")));
        QCOMPARE(log.count(QStringLiteral("Error during GetProtocolLog_doc net command")), 2);
        QCOMPARE(FMails, QStringList{"ann@lab.example|Error during Stop net command"});
        QCOMPARE(rows(DatabasePath, "select count(*) from log2_tbl;")[0][0], QStringLiteral("0"));
    }

    // ---- the plot file ------------------------------------------------------------------

    void fullDiskStopsPlotting()
    {
        FakeView view;
        auto m = monitor();
        m->setView(&view);
        m->setPlotting(true);
        m->PollStatus();
        m->queueStart();
        m->PollStatus();
        FFreeMB = 4;
        m->PollStatus();
        QVERIFY(RunPlotWriter::instance().waitIdle(5000));
        QTRY_VERIFY(!m->plotting());
        QCOMPARE(view.plotLabels, QList<bool>{false});
        QVERIFY(!QFile::exists(m->plotFilePath()));
        QCOMPARE(FWs->FDeviceList.at(0)->recording, int16_t(1));  // the record keeps its flag
    }

    void unwritablePlotFolderIsLoggedEachPass()
    {
        auto m = monitor();
        m->setPlotting(true);
        m->PollStatus();
        m->queueStart();
        m->PollStatus();
        // The plot file's name taken by a folder: it cannot be opened.
        QVERIFY(QDir().mkpath(m->plotFilePath()));
        m->PollStatus();
        m->PollStatus();
        QVERIFY(RunPlotWriter::instance().waitIdle(5000));
        QTRY_COMPARE(logText().count(QStringLiteral("Can't write to plot file")), 2);
        QVERIFY(m->plotting());
    }

    void reopenedMonitorResumesTheSession()
    {
        std::string session;
        {
            auto m = monitor();
            m->setPlotting(true);
            m->PollStatus();
            m->queueStart();
            m->PollStatus();
            m->PollStatus();
            session = m->sessionId();
        }
        auto again = monitor();
        QCOMPARE(again->sessionId(), session);
        QVERIFY(again->plotting());
        QCOMPARE(again->protocolText(), std::string(kProtocol));
        again->PollStatus();
        QVERIFY(RunPlotWriter::instance().waitIdle(5000));
        QFile plot(again->plotFilePath());
        QVERIFY(plot.open(QIODevice::ReadOnly));
        QCOMPARE(plot.readAll().count('\n'), 2);
        QCOMPARE(rows(DatabasePath, "select count(*) from log_tbl;")[0][0], QStringLiteral("1"));
    }

    // ---- closing ------------------------------------------------------------------------

    void abortEndsAStalledPassQuietly()
    {
        auto m = monitor();
        m->client().setTimeout(8000);
        duvosim::SimFault f;
        f.kind = duvosim::FaultKind::Delay;
        f.command = "GetStatus";
        f.delayMs = 6000;
        FLab->addFault(0, f);
        QTimer::singleShot(200, [&] { m->abortExchanges(); });
        QElapsedTimer t;
        t.start();
        m->PollStatus();
        QVERIFY(t.elapsed() < 1500);
        QVERIFY(!m->passRunning());
        QCOMPARE(FPrompts->asked().size(), 0);
        QVERIFY(!m->pollingEnded());
        QCOMPARE(commands(), QStringList{"GetStatus"});
    }
};

QTEST_GUILESS_MAIN(TestRunMonitor)
#include "tst_runmonitor.moc"
