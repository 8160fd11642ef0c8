// The status pass and the auto-refresh tick against simulated instruments.

#include "common/IpWatch.h"
#include "link/CommandDocs.h"
#include "link/DeviceScan.h"
#include "mainwindow/SmtpClient.h"
#include "mainwindow/StatusPass.h"
#include "mainwindow/forms/DOzerAvirAded.h"
#include "GuiTest.h"
#include "ScriptedPrompts.h"
#include "SimulatedLab.h"
#include "duvosim/SimModuleService.h"
#include "SmtpTestServer.h"
#include "TestFolders.h"

#include <QCloseEvent>
#include <QJsonArray>
#include <QToolButton>
#include <QTest>

using namespace duvo;
using namespace duvo::test;

namespace {

// A record as discovery leaves it for simulated instrument k.
std::unique_ptr<DVDEVICEINFO_T> recordFor(SimulatedLab &lab, int k)
{
    auto d = std::make_unique<DVDEVICEINFO_T>();
    d->ipAddress = lab.address(k);
    d->macText = d->deviceId = lab.instrument(k).mac();
    d->typeText = lab.instrument(k).type();
    d->runState = "-";
    d->totalTime = d->timeLeft = "-";
    d->message = "Firmware:  " + lab.instrument(k).firmware();
    return d;
}

// Starts a run on instrument k that ends held at its last step after `seconds` run seconds.
void startHeldRun(duvosim::SimInstrument &instrument, int seconds, bool hold, double scale)
{
    instrument.makeFolder("LAB");
    instrument.putProtocol("LAB", "PCR1", "<Protocol/>");
    instrument.setPlanner([seconds, hold](const std::string &) {
        duvosim::SimRunPlan plan;
        duvosim::SimRunStep step;
        step.rampSeconds = 0;
        step.holdSeconds = seconds;
        step.infiniteHold = hold;
        plan.steps.push_back(step);
        return plan;
    });
    instrument.setTimeScale(scale);
    QVERIFY(instrument.startRun("LAB", "PCR1"));
}

struct Pass {
    DeviceList list;
    QStringList alerts;
    StatusPass pass{list, [this](DVDEVICEINFO_T &d, const QString &message) {
                        d.alertSent = 1;
                        alerts << QString::fromStdString(d.alertAddress) + QStringLiteral("|") + message;
                    }};
    Pass() { pass.client().setTimeout(3000); }
};

} // namespace

class TestStatusPass : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("DUVO_NO_SLEEP_INHIBITOR", "1"); }

    void runningAndIdleDevices()
    {
        SimulatedLab lab("127.0.41", 2);
        QVERIFY2(lab.started(), lab.error().c_str());
        startHeldRun(lab.instrument(0), 3725, false, 0.0);  // running, time frozen at 0
        lab.instrument(1).setClockText("121023452026");
        Pass p;
        p.list.Add(recordFor(lab, 0));
        p.list.Add(recordFor(lab, 1));
        p.pass.PollDevices();

        const DVDEVICEINFO_T &running = *p.list.at(0);
        QCOMPARE(running.runState, std::string("Running"));
        QCOMPARE(running.totalTime, std::string("01:02:05"));
        QCOMPARE(running.timeLeft, std::string("01:02:05"));
        QCOMPARE(running.status[StatusFile], std::string("PCR1"));
        QCOMPARE(running.unreachable, int16_t(0));
        QCOMPARE(running.clockText.size(), size_t(12));

        const DVDEVICEINFO_T &idle = *p.list.at(1);
        QCOMPARE(idle.runState, std::string("Stopped"));
        QCOMPARE(idle.totalTime, std::string("-"));
        QCOMPARE(idle.status[StatusMode], std::string("Stopped"));
        QCOMPARE(idle.status[StatusTotalTime], std::string("0"));
        QCOMPARE(idle.status[StatusFile], std::string("-"));
        QCOMPARE(idle.status[StatusState], std::string("2"));
        QCOMPARE(idle.clockText, std::string("121023452026"));
        QCOMPARE(idle.message, std::string("Firmware:  ") + lab.instrument(1).firmware());
        // Each device: GetTime, then GetStatus.
        QCOMPARE(lab.requests(0).size(), size_t(2));
    }

    void failuresMarkOfflineAndSendTheArmedAlert_data()
    {
        QTest::addColumn<int>("fault");  // 0: GetTime fails twice, 1: GetStatus fails twice, 2: error reply
        QTest::addColumn<QString>("message");
        QTest::newRow("clock exchange fails") << 0 << "Error during GetTime net command";
        QTest::newRow("status exchange fails") << 1 << "Error during GetStatus net command";
        QTest::newRow("status error reply") << 2 << "Lid open";
    }
    void failuresMarkOfflineAndSendTheArmedAlert()
    {
        QFETCH(int, fault);
        QFETCH(QString, message);
        SimulatedLab lab("127.0.42", 1);
        QVERIFY2(lab.started(), lab.error().c_str());
        if (fault == 0)
            lab.fail(0, 2, "GetTime");
        else if (fault == 1)
            lab.fail(0, 2, "GetStatus");
        else
            lab.addFault(0, {duvosim::FaultKind::ErrorReply, "GetStatus", 7, "Lid open"});
        Pass p;
        auto d = recordFor(lab, 0);
        d->alertArmed = 1;
        d->alertAddress = "lab@example.org";
        d->sessionId = "20261210120000-42";
        p.list.Add(std::move(d));
        p.pass.PollDevices();
        QCOMPARE(p.list.at(0)->unreachable, int16_t(1));
        QCOMPARE(QString::fromStdString(p.list.at(0)->message), message);
        QCOMPARE(p.alerts, QStringList{QStringLiteral("lab@example.org|") + message});

        // Offline until the next rescan: the next pass asks nothing.
        lab.clearFaults(0);
        lab.clearRequests();
        p.pass.PollDevices();
        QCOMPARE(lab.requests(0).size(), size_t(0));
        QCOMPARE(p.alerts.size(), 1);
    }

    // A status reply that passes the reply check but cannot be read shows "????" and keeps
    // the device polled; one that is not XML at all fails the check and marks it offline.
    void unreadableStatusReply()
    {
        DVDEVICEINFO_T d;
        d.status[StatusMode] = "Running";
        d.timeLeft = "00:01:00";
        InstrumentStatus unread;
        StoreDiscoveryStatus(d, unread, false);
        QCOMPARE(d.unreachable, int16_t(0));
        QCOMPARE(d.runState, std::string("????"));
        QCOMPARE(d.message, std::string("GetStatus XML error"));
        QCOMPARE(d.status[StatusMode], std::string("Running"));  // value 1 keeps its text
        QCOMPARE(d.status[StatusTotalTime], std::string("0"));
        QCOMPARE(d.status[StatusInfiniteHold], std::string("false"));
        QCOMPARE(d.status[StatusHoldTime], std::string("0"));
        QCOMPARE(d.status[StatusFile], std::string("-"));
        QCOMPARE(d.timeLeft, std::string("-"));

        SimulatedLab lab("127.0.43", 1);
        QVERIFY2(lab.started(), lab.error().c_str());
        lab.addFault(0, {duvosim::FaultKind::NotXml, "GetStatus"});
        Pass p;
        p.list.Add(recordFor(lab, 0));
        p.pass.PollDevices();
        QCOMPARE(p.list.at(0)->unreachable, int16_t(1));
        QCOMPARE(p.list.at(0)->message, std::string("Parsing Error"));
    }

    void heldAndZeroTimes()
    {
        DVDEVICEINFO_T d;
        d.totalTime = "00:10:00";
        d.timeLeft = "00:05:00";
        InstrumentStatus s;
        s[StatusMode] = "Stopped";
        s[StatusInfiniteHold] = "true";
        s[StatusTotalTime] = "999";
        StoreDiscoveryStatus(d, s, true);
        QCOMPARE(d.totalTime, std::string("00:10:00"));  // held: the times keep their texts
        QCOMPARE(d.status[StatusTotalTime], std::string("999"));
        s[StatusMode] = "Running";
        s[StatusInfiniteHold] = "false";
        s[StatusTotalTime] = "0";
        StoreDiscoveryStatus(d, s, true);
        QCOMPARE(d.totalTime, std::string("-"));
        QCOMPARE(d.timeLeft, std::string("00:05:00"));  // left as it was
        s[StatusTotalTime] = "3725,6";
        s[StatusTimeLeft] = "-5";
        StoreDiscoveryStatus(d, s, true);
        QCOMPARE(d.totalTime, std::string("01:02:05"));
        QCOMPARE(d.timeLeft, std::string("-"));
        s[StatusTotalTime] = "4000000000";  // past 32 bits of milliseconds
        StoreDiscoveryStatus(d, s, true);
        QCOMPARE(d.totalTime, std::string("1111111:06:40"));
    }

    void skipRules()
    {
        SimulatedLab lab("127.0.44", 3);
        QVERIFY2(lab.started(), lab.error().c_str());
        Pass p;
        for (int k = 0; k < 3; ++k)
            p.list.Add(recordFor(lab, k));
        p.list.at(0)->busy = 1;
        p.list.at(1)->unreachable = 1;
        p.list.at(2)->typeText = "SV cycler";
        p.pass.PollDevices();
        QCOMPARE(lab.requests().size(), size_t(0));
    }

    // A rescan clicked while the pass waits for a reply: the pass never writes into the
    // destroyed records and ends.
    void rescanDuringPass()
    {
        SimulatedLab lab("127.0.45", 2);
        QVERIFY2(lab.started(), lab.error().c_str());
        lab.addFault(0, {duvosim::FaultKind::Delay, "GetStatus", 0, {}, 400});
        Pass p;
        p.list.Add(recordFor(lab, 0));
        p.list.Add(recordFor(lab, 1));
        bool rescanned = false;
        QTimer::singleShot(150, [&] {
            p.pass.RequestStop();
            p.list.Clear();
            auto fresh = std::make_unique<DVDEVICEINFO_T>();
            fresh->ipAddress = lab.address(1);
            fresh->runState = "fresh";
            p.list.Add(std::move(fresh));
            rescanned = true;
        });
        p.pass.PollDevices();
        QVERIFY(rescanned);
        QVERIFY(!p.pass.running());
        QCOMPARE(p.list.Count(), 1);
        QCOMPARE(p.list.at(0)->runState, std::string("fresh"));  // untouched by the old pass
    }

    // The same through the window: "Device List" clicked while the pass waits for instrument
    // 0's reply runs a real discovery inside that wait; the old pass then ends without another
    // request and without touching the new records (on 127.0.196.0/24).
    void rescanClickedDuringPass()
    {
        TempProgramFolder folder;
        SimulatedLab lab("127.0.196", 2);
        duvosim::SimModuleService::install(lab.lab());
        QVERIFY2(lab.started(), lab.error().c_str());
        lab.addFault(0, {duvosim::FaultKind::Delay, "GetStatus", 0, {}, 400, 1});
        qputenv("DUVO_MODULE_TARGET", lab.lab().hubAddress().c_str());
        qputenv("DUVO_MODULE_BIND", lab.lab().workstationAddress().c_str());
        ScriptedPrompts prompts;
        prompts.answer(Yes, QStringLiteral("Scan network to build new device list?"), QStringLiteral("Device List"));
        DOzerAvirAded form;
        form.FSearchDelay = 1;
        form.FLocalIP = QString::fromStdString(lab.lab().workstationAddress());
        form.statusPass().client().setTimeout(3000);
        form.FDeviceList.Add(recordFor(lab, 0));
        form.FDeviceList.Add(recordFor(lab, 1));
        const DVDEVICEINFO_T *old0 = form.FDeviceList.at(0);
        form.BuildDeviceList();
        form.DuvoTimer.setInterval(60000);
        bool clicked = false;
        size_t afterRescan = 0;
        QTimer::singleShot(150, &form, [&] {
            form.btnRefreshClick();  // the "Device List" button's handler
            clicked = true;
            afterRescan = lab.requests(1).size();  // the click returns once the new list is built
        });
        form.DuvoTimerTimer();
        QVERIFY(waitFor([&] { return clicked && !form.statusPass().running(); }, 15000));
        QCOMPARE(prompts.pending(), 0);
        QCOMPARE(form.FDeviceList.Count(), 2);
        QVERIFY(form.FDeviceList.at(0) != old0);
        QCOMPARE(form.OutList1->topLevelItem(0)->childCount(), 2);
        // Discovery asked instrument 1 last; the old pass asked it nothing after that.
        QTest::qWait(200);
        QVERIFY(afterRescan > 0);
        QCOMPARE(lab.requests(1).size(), afterRescan);
        QCOMPARE(lab.requests(1).back().command, std::string("GetInstrumentInfo"));
        QVERIFY(form.DuvoTimer.isActive());
        qunsetenv("DUVO_MODULE_TARGET");
        qunsetenv("DUVO_MODULE_BIND");
    }

    // A tick whose alert mail waits on a silent mail server, and a "Device List" rescan clicked
    // meanwhile that finds nothing: when the tick ends the timer stays off, as it must while
    // the list is empty (discovery on 127.0.199.0/24, where nothing answers).
    void tickEndingAfterEmptyRescanLeavesTimerOff()
    {
        TempProgramFolder folder;
        SmtpServerOptions options;
        options.silent = true;
        SmtpTestServer smtp(options);
        QVERIFY2(smtp.start(), qPrintable(smtp.errorText()));
        const SmtpTimeouts saved = smtpTimeouts();
        setSmtpTimeouts({std::chrono::milliseconds(1000), std::chrono::milliseconds(2500)});
        qputenv("DUVO_MODULE_TARGET", "127.0.199.2");
        qputenv("DUVO_MODULE_BIND", "127.0.199.1");
        ScriptedPrompts prompts;
        prompts.answer(Yes, QStringLiteral("Scan network to build new device list?"));
        prompts.answer(Ok, QStringLiteral("No devices were found on the network."));
        DOzerAvirAded form;
        form.FSearchDelay = 1;
        form.FSmtpHost = QStringLiteral("127.0.0.1");
        form.FSmtpPort = QString::number(smtp.port());
        form.FSenderAddress = QStringLiteral("duvo@lab.example");
        auto d = std::make_unique<DVDEVICEINFO_T>();
        d->ipAddress = "127.0.199.10";
        d->busy = 1;  // not polled
        d->runState = "Completed";
        d->status[8] = "true";
        d->alertArmed = 1;
        d->alertAddress = "tech@lab.example";
        d->sessionId = "20261211-1";
        form.FDeviceList.Add(std::move(d));
        form.BuildDeviceList();
        bool clicked = false;
        QTimer::singleShot(200, &form, [&] {
            form.btnRefreshClick();  // the "Device List" button's handler
            clicked = true;
        });
        form.DuvoTimerTimer();  // returns once the mail has given up
        QVERIFY(clicked);
        QCOMPARE(prompts.pending(), 0);
        QVERIFY(form.FDeviceList.isEmpty());
        QVERIFY(!form.DuvoTimer.isActive());
        QVERIFY(!form.button(QStringLiteral("btnStatus"))->isEnabled());
        setSmtpTimeouts(saved);
        qunsetenv("DUVO_MODULE_TARGET");
        qunsetenv("DUVO_MODULE_BIND");
    }

    // A command the user sends from the main window while the pass waits for a reply does not
    // make the pass fail a healthy device, and the command itself goes through.
    void commandDuringPassLeavesDevicesHealthy()
    {
        TempProgramFolder folder;
        SimulatedLab lab("127.0.47", 2);
        QVERIFY2(lab.started(), lab.error().c_str());
        lab.addFault(0, {duvosim::FaultKind::Delay, "GetStatus", 0, {}, 400});
        ScriptedPrompts prompts;
        DOzerAvirAded form;
        form.statusPass().client().setTimeout(3000);
        form.TCPClient1.setTimeout(3000);
        form.FDeviceList.Add(recordFor(lab, 0));
        form.FDeviceList.Add(recordFor(lab, 1));
        bool commandOk = false;
        QTimer::singleShot(150, [&] {
            std::string reply;
            commandOk = SendNetCommand(form.TCPClient1, lab.address(0), Nop_doc(), reply);
        });
        form.PollDevices();
        QVERIFY(commandOk);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(form.FDeviceList.at(i)->unreachable, int16_t(0));
            QCOMPARE(form.FDeviceList.at(i)->runState, std::string("Stopped"));
        }
    }

    // The whole road in the main window: a held completed run sends one mail to a real SMTP
    // server however many ticks follow, and the timer is on after every tick.
    void completionAlertMailedOnce()
    {
        TempProgramFolder folder;
        SmtpTestServer smtp;
        QVERIFY2(smtp.start(), qPrintable(smtp.errorText()));
        SimulatedLab lab("127.0.46", 1);
        QVERIFY2(lab.started(), lab.error().c_str());
        startHeldRun(lab.instrument(0), 2, true, 1000.0);  // completes at once

        ScriptedPrompts prompts;
        DOzerAvirAded form;
        form.statusPass().client().setTimeout(3000);
        form.FSmtpHost = QStringLiteral("127.0.0.1");
        form.FSmtpPort = QString::number(smtp.port());
        form.FSenderAddress = QStringLiteral("duvo@lab.example");
        form.FSenderName = QStringLiteral("Duvo");
        auto d = recordFor(lab, 0);
        d->alertArmed = 1;
        d->alertAddress = "tech@lab.example";
        d->sessionId = "20261210120000-7";
        form.FDeviceList.Add(std::move(d));
        form.BuildDeviceList();
        for (int tick = 0; tick < 4; ++tick) {
            form.DuvoTimerTimer();
            QVERIFY(form.DuvoTimer.isActive());
            QVERIFY(waitFor([&] { return !form.statusPass().running(); }, 5000));
            QCoreApplication::processEvents();
            QVERIFY(waitFor([&] { return !form.statusPass().running(); }, 5000));
        }
        form.UpdateDeviceRows();
        QCOMPARE(form.RowText(0, 6), QStringLiteral("Completed [press Stop]"));
        QVERIFY(smtp.waitForMessages(1));
        QTest::qWait(300);
        const QList<QJsonObject> mails = smtp.messages();
        QCOMPARE(mails.size(), 1);
        QCOMPARE(mails.at(0).value(QStringLiteral("rcpt_tos")).toArray(), QJsonArray{QStringLiteral("tech@lab.example")});
        QVERIFY(mails.at(0).value(QStringLiteral("body")).toString().contains(QStringLiteral("Status = Completed")));
    }

    // A mail that cannot be sent (a broken port setting, a server that is down) is only logged,
    // and the tick still switches the timer back on.
    void timerRestoredAfterMailFailure()
    {
        TempProgramFolder folder;
        ScriptedPrompts prompts;
        DOzerAvirAded form;
        form.FSmtpHost = QStringLiteral("127.0.0.1");
        form.FSmtpPort = QStringLiteral("not a port");
        auto d = std::make_unique<DVDEVICEINFO_T>();
        d->ipAddress = "127.0.47.10";
        d->unreachable = 1;  // not polled
        d->runState = "Completed";
        d->status[8] = "true";
        d->unreachable = 0;
        d->busy = 1;
        d->alertArmed = 1;
        d->alertAddress = "tech@lab.example";
        d->sessionId = "x";
        form.FDeviceList.Add(std::move(d));
        form.BuildDeviceList();
        form.DuvoTimerTimer();
        QVERIFY(form.DuvoTimer.isActive());
        QCOMPARE(form.FDeviceList.at(0)->alertSent, int16_t(1));
        QVERIFY(folder.readFile(QStringLiteral("DuvoGeneral.txt")).contains(QStringLiteral("E-mail SMTP error")));
        QCOMPARE(prompts.asked().size(), 0);
    }

    // Yes to the exit question while a pass waits on a silent instrument: the exchange ends
    // at once, no request leaves after the answer and no armed alert is mailed, though every
    // device has one armed (on 127.0.192.0/24).
    void exitDuringPassStopsTrafficAndMail()
    {
        TempProgramFolder folder;
        SmtpTestServer smtp;
        QVERIFY2(smtp.start(), qPrintable(smtp.errorText()));
        SimulatedLab lab("127.0.192", 3);
        QVERIFY2(lab.started(), lab.error().c_str());
        lab.addFault(0, {duvosim::FaultKind::HalfReplyThenSilence, "GetStatus"});
        ScriptedPrompts prompts;
        prompts.answer(Yes, QStringLiteral("Exit Duvo Studio?"), QStringLiteral("Exit"));
        DOzerAvirAded form;
        // Short enough that a pass going on after the exit would reach the other devices here.
        form.statusPass().client().setTimeout(1200);
        form.FSmtpHost = QStringLiteral("127.0.0.1");
        form.FSmtpPort = QString::number(smtp.port());
        form.FSenderAddress = QStringLiteral("duvo@lab.example");
        for (int k = 0; k < 3; ++k) {
            auto d = recordFor(lab, k);
            d->alertArmed = 1;
            d->alertAddress = "tech@lab.example";
            d->sessionId = "20261210120000-" + std::to_string(k);
            form.FDeviceList.Add(std::move(d));
        }
        form.BuildDeviceList();
        auto getStatusSent = [&] {
            const auto log = lab.requests(0);
            return !log.empty() && log.back().command == "GetStatus";
        };
        std::chrono::steady_clock::time_point answeredAt;
        QElapsedTimer sinceAnswer;
        bool closed = false;
        QTimer closer;
        closer.setInterval(5);
        connect(&closer, &QTimer::timeout, [&] {
            if (!getStatusSent() || sinceAnswer.isValid())
                return;
            closer.stop();
            answeredAt = std::chrono::steady_clock::now();
            sinceAnswer.start();
            QCloseEvent event;  // as the window system sends it
            QCoreApplication::sendEvent(&form, &event);
            closed = event.isAccepted();
        });
        closer.start();
        form.DuvoTimerTimer();
        QVERIFY(waitFor([&] { return sinceAnswer.isValid() && !form.statusPass().running(); }, 5000));
        QVERIFY2(sinceAnswer.elapsed() < 100, QByteArray::number(sinceAnswer.elapsed()));
        QVERIFY(closed);
        QVERIFY(form.FApplicationEnding);
        // Long enough for the retry, the alert and the other two devices of a pass that went on.
        QTest::qWait(3000);
        for (const auto &e : lab.requests())
            QVERIFY2(e.steadyTime < answeredAt, e.command.c_str());
        QCOMPARE(lab.requests(1).size(), size_t(0));
        QCOMPARE(lab.requests(2).size(), size_t(0));
        QVERIFY(smtp.messages().isEmpty());
        QVERIFY(!form.DuvoTimer.isActive());
        QVERIFY(!form.passPending());
        // A tick or a pass asked for later sends nothing either.
        form.DuvoTimerTimer();
        form.PollDevices();
        QTest::qWait(50);
        QCOMPARE(lab.requests(1).size(), size_t(0));
        QCOMPARE(prompts.asked().size(), 1);
    }
};

QTEST_MAIN(TestStatusPass)
#include "tst_statuspass.moc"
