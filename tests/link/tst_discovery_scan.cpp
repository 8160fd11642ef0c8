// The device scan and the discovery window against a simulated lab on 127.0.152.0/24 (the
// window's tests on 127.0.154.0/24): records, order, message texts, the requests each
// instrument gets, the status-reply rules, the window's start, alert, close and tick limit.

#include "GuiTest.h"
#include "ScriptedPrompts.h"
#include "SimulatedLab.h"
#include "duvosim/SimModuleService.h"
#include "link/CommandDocs.h"
#include "link/DeviceScan.h"
#include "link/Workstation.h"
#include "link/forms/TDiscoverForm.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QThread>
#include <QTimer>

using namespace duvo::test;
using duvosim::FaultKind;
using duvosim::ModuleFault;
using duvosim::SimModuleService;

namespace {

ScanSettings settingsFor(duvosim::SimLab &lab, int waitMs = 300)
{
    ScanSettings s;
    s.waitMs = waitMs;
    s.localIP = lab.workstationAddress();
    s.modules.target = lab.hubAddress();
    s.modules.bind = lab.workstationAddress();
    s.connectTimeoutMs = 2000;
    s.exchangeTimeoutMs = 2000;
    return s;
}

QStringList commandsOf(const std::vector<duvosim::SimRequestLogEntry> &log)
{
    QStringList out;
    for (const auto &e : log)
        out << QString::fromStdString(e.command);
    return out;
}

QString text(const std::string &s)
{
    return QString::fromStdString(s);
}

} // namespace

class TestDiscoveryScan : public QObject {
    Q_OBJECT
private slots:
    void scanFillsTheListInDiscoveryOrder()
    {
        SimulatedLab lab("127.0.152", 0);
        lab.lab().addInstrument("DUVO 96");    // 0: complete
        lab.lab().addInstrument("SV cycler");  // 1: old firmware
        lab.lab().addInstrument("XR 12");      // 2: unknown type, not listed
        lab.lab().addInstrument("DUVO 24");    // 3: refuses TCP
        lab.lab().addInstrument("DUVO 24");    // 4: board errors, GetTime fails twice
        lab.lab().addInstrument("DUVO 96");    // 5: an error reply to GetParameter
        auto *modules = SimModuleService::install(lab.lab());
        // A second module on instrument 0's address.
        duvosim::SimModule twin = SimModuleService::moduleOf(lab.instrument(0));
        twin.mac = {0x00, 0x50, 0xC2, 0x7D, 0xEE, 0x01};
        twin.typeSource = nullptr;
        twin.type = "DUVO 24";
        modules->network().add(twin);
        QVERIFY2(lab.started(), lab.error().c_str());
        lab.instrument(0).setFirmware("2.1.7");
        lab.setRefusing(3, true);
        lab.addFault(4, {FaultKind::ErrorReply, "GetBoardInfo"});
        lab.addFault(4, {FaultKind::ResetBeforeReply, "GetTime"});
        lab.addFault(5, {FaultKind::ErrorReply, "GetParameter", 7, "Parameter locked"});

        DeviceList list;
        QCOMPARE(ScanDevices(list, settingsFor(lab.lab())), ScanOutcome::Done);
        QCOMPARE(list.Count(), 6);
        const QStringList addresses = [&] {
            QStringList a;
            for (const auto &r : list)
                a << text(r->ipAddress);
            return a;
        }();
        QCOMPARE(addresses, QStringList({"127.0.152.10", "127.0.152.11", "127.0.152.13", "127.0.152.14",
                                         "127.0.152.15", "127.0.152.10"}));

        const DVDEVICEINFO_T &a = *list.at(0);
        QCOMPARE(text(a.message), QStringLiteral("Firmware:  2.1.7"));
        QCOMPARE(a.unreachable, int16_t(0));
        QCOMPARE(a.busy, int16_t(0));
        QCOMPARE(text(a.macText), text(lab.instrument(0).mac()).toLower());
        QCOMPARE(a.deviceId, a.macText);
        QCOMPARE(a.typeText, lab.instrument(0).type());
        QCOMPARE(a.firmware, std::string("2.1.7"));
        QCOMPARE(a.serialNumber, lab.instrument(0).serialNumber());
        QCOMPARE(a.alias, lab.instrument(0).alias());
        QCOMPARE(a.location, lab.instrument(0).location());
        QCOMPARE(a.clockText.size(), size_t(12));
        QCOMPARE(a.board0[BoardName], std::string("CPU"));
        QCOMPARE(a.board0[BoardCode], std::string("-"));
        QCOMPARE(a.board1[BoardName], std::string("AMP"));
        QCOMPARE(text(a.runState), QStringLiteral("Stopped"));
        QCOMPARE(text(a.status[StatusMode]), QStringLiteral("Stopped"));
        // Every command once, in this order.
        QCOMPARE(commandsOf(lab.requests(0)),
                 QStringList({"Nop", "Test1", "GetParameter", "GetParameter", "GetBoardInfo", "GetBoardInfo",
                              "GetTime", "GetStatus", "GetInstrumentInfo"}));
        QVERIFY(lab.requests(0).at(2).bytes.find("<Parameter>84</Parameter>") != std::string::npos);
        QVERIFY(lab.requests(0).at(3).bytes.find("<Parameter>63</Parameter>") != std::string::npos);

        const DVDEVICEINFO_T &old = *list.at(1);
        QCOMPARE(text(old.message), QStringLiteral("Needs Firmware update"));
        QCOMPARE(old.unreachable, int16_t(1));
        QCOMPARE(text(old.typeText), QStringLiteral("SV cycler"));
        QVERIFY(lab.requests(1).empty());
        QVERIFY(lab.requests(2).empty());

        const DVDEVICEINFO_T &refusing = *list.at(2);
        QCOMPARE(text(refusing.message),
                 QStringLiteral("IP address 127.0.152.13 can not connect with IP socket from 127.0.152.1.  Are you "
                                "in Firmware Upgrade C mode?  Otherwise make sure IP address class and Subnet mask "
                                "match host PC network"));
        QCOMPARE(refusing.unreachable, int16_t(1));
        QCOMPARE(refusing.busy, int16_t(1));
        QCOMPARE(text(refusing.runState), QStringLiteral("-"));

        const DVDEVICEINFO_T &noClock = *list.at(3);
        QCOMPARE(text(noClock.message), QStringLiteral("Error during GetTime net command"));
        QCOMPARE(noClock.unreachable, int16_t(1));
        QCOMPARE(noClock.busy, int16_t(0));
        QCOMPARE(noClock.board0[BoardName], std::string("-"));
        QCOMPARE(noClock.board1[BoardInfoRev], std::string("-"));
        const QStringList tail = commandsOf(lab.requests(4)).mid(6);
        QCOMPARE(tail, QStringList({"GetTime", "GetTime"}));

        const DVDEVICEINFO_T &locked = *list.at(4);
        QCOMPARE(text(locked.message), QStringLiteral("Parameter locked"));
        QCOMPARE(locked.unreachable, int16_t(1));
        QCOMPARE(commandsOf(lab.requests(5)), QStringList({"Nop", "Test1", "GetParameter"}));

        const DVDEVICEINFO_T &twinRecord = *list.at(5);
        QCOMPARE(text(twinRecord.macText), QStringLiteral("00:50:c2:7d:ee:01"));
        QCOMPARE(text(twinRecord.message),
                 QStringLiteral("IP address 127.0.152.10 is already in use.  Host PC: 127.0.152.1.  Make sure "
                                "that all your devices have a valid unique IP address"));
        QCOMPARE(twinRecord.unreachable, int16_t(1));
        QCOMPARE(twinRecord.busy, int16_t(1));
    }

    void hostAddressCountsAsInUse()
    {
        SimulatedLab lab("127.0.152", 2);
        SimModuleService::install(lab.lab());
        QVERIFY2(lab.started(), lab.error().c_str());
        DeviceList list;
        ScanSettings s = settingsFor(lab.lab());
        s.localIP = lab.address(1);
        QCOMPARE(ScanDevices(list, s), ScanOutcome::Done);
        QCOMPARE(list.Count(), 2);
        QCOMPARE(list.at(0)->unreachable, int16_t(0));
        QCOMPARE(text(list.at(1)->message),
                 QStringLiteral("IP address 127.0.152.11 is already in use.  Host PC: 127.0.152.11.  Make sure "
                                "that all your devices have a valid unique IP address"));
        QVERIFY(lab.requests(1).empty());
    }

    void concurrentInstrumentsGiveTheSameRecords()
    {
        SimulatedLab lab("127.0.152", 6);
        SimModuleService::install(lab.lab());
        QVERIFY2(lab.started(), lab.error().c_str());
        lab.addFault(2, {FaultKind::ErrorReply, "GetTime", 3, "Clock error"});
        DeviceList one, many;
        QCOMPARE(ScanDevices(one, settingsFor(lab.lab())), ScanOutcome::Done);
        ScanSettings s = settingsFor(lab.lab());
        s.parallel = 4;
        QCOMPARE(ScanDevices(many, s), ScanOutcome::Done);
        QCOMPARE(many.Count(), one.Count());
        for (int i = 0; i < one.Count(); ++i) {
            QCOMPARE(many.at(i)->ipAddress, one.at(i)->ipAddress);
            QCOMPARE(many.at(i)->message, one.at(i)->message);
            QCOMPARE(many.at(i)->unreachable, one.at(i)->unreachable);
            QCOMPARE(many.at(i)->alias, one.at(i)->alias);
            QCOMPARE(many.at(i)->board1, one.at(i)->board1);
        }
        QCOMPARE(text(one.at(2)->message), QStringLiteral("Clock error"));
    }

    void noModulesLeavesTheListEmpty()
    {
        SimulatedLab lab("127.0.152", 0);
        SimModuleService::install(lab.lab());
        QVERIFY2(lab.started(), lab.error().c_str());
        DeviceList list;
        QCOMPARE(ScanDevices(list, settingsFor(lab.lab(), 200)), ScanOutcome::Done);
        QVERIFY(list.isEmpty());
    }

    void storeStatus_data()
    {
        QTest::addColumn<bool>("readable");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("infiniteHold");
        QTest::addColumn<QString>("totalText");
        QTest::addColumn<QString>("leftText");
        QTest::addColumn<QString>("runState");
        QTest::addColumn<QString>("totalTime");
        QTest::addColumn<QString>("timeLeft");
        QTest::addColumn<bool>("allFromReply");
        QTest::newRow("running") << true << "Running" << "false" << "3725" << "59.9" << "Running" << "01:02:05"
                                 << "00:00:59" << true;
        QTest::newRow("comma decimal") << true << "Running" << "false" << "90061,5" << "0" << "Running"
                                       << "25:01:01" << "-" << true;
        QTest::newRow("no total time") << true << "Paused" << "false" << "0" << "30" << "Paused" << "-"
                                       << "old" << true;
        QTest::newRow("stopped") << true << "Stopped" << "false" << "100" << "50" << "Stopped" << "-" << "-"
                                 << false;
        QTest::newRow("stopped in infinite hold") << true << "Stopped" << "true" << "100" << "50" << "Stopped"
                                                  << "old" << "old" << true;
        QTest::newRow("unreadable") << false << "Running" << "false" << "100" << "50" << "????" << "-" << "-"
                                    << false;
    }

    void storeStatus()
    {
        QFETCH(bool, readable);
        QFETCH(QString, mode);
        QFETCH(QString, infiniteHold);
        QFETCH(QString, totalText);
        QFETCH(QString, leftText);
        QFETCH(QString, runState);
        QFETCH(QString, totalTime);
        QFETCH(QString, timeLeft);
        QFETCH(bool, allFromReply);
        DVDEVICEINFO_T r;
        r.totalTime = "old";
        r.timeLeft = "old";
        r.message = "-";
        r.status[StatusMode] = "Earlier";
        InstrumentStatus s;
        for (size_t i = 0; i < s.size(); ++i)
            s[i] = "v" + std::to_string(i);
        s[StatusMode] = mode.toStdString();
        s[StatusInfiniteHold] = infiniteHold.toStdString();
        s[StatusTotalTime] = totalText.toStdString();
        s[StatusTimeLeft] = leftText.toStdString();
        StoreDiscoveryStatus(r, s, readable);
        QCOMPARE(text(r.runState), runState);
        QCOMPARE(text(r.totalTime), totalTime);
        QCOMPARE(text(r.timeLeft), timeLeft);
        if (allFromReply) {
            QCOMPARE(r.status, s);
        } else {
            QCOMPARE(text(r.status[StatusVolume]), QStringLiteral("-"));
            QCOMPARE(text(r.status[StatusRampRate]), QStringLiteral("0"));
            QCOMPARE(text(r.status[StatusInfiniteHold]), QStringLiteral("false"));
            QCOMPARE(text(r.status[StatusMode]), readable ? mode : QStringLiteral("Earlier"));
            QCOMPARE(text(r.status[StatusState]), readable ? text(s[StatusState]) : QStringLiteral("-"));
        }
        QCOMPARE(text(r.message), readable ? QStringLiteral("-") : QStringLiteral("GetStatus XML error"));
    }

    // The window empties the list, shows the alert, scans on its worker and closes itself.
    void windowScansAndCloses()
    {
        SimulatedLab lab("127.0.154", 3);
        SimModuleService::install(lab.lab());
        QVERIFY2(lab.started(), lab.error().c_str());
        qputenv("DUVO_MODULE_TARGET", lab.lab().hubAddress().c_str());
        qputenv("DUVO_MODULE_BIND", lab.lab().workstationAddress().c_str());
        ScriptedPrompts prompts;
        Workstation ws;
        ws.FLocalIP = QString::fromStdString(lab.lab().workstationAddress());
        ws.FSearchDelay = 1;
        ws.FDeviceList.Add(std::make_unique<DVDEVICEINFO_T>());
        const uint64_t generation = ws.FDeviceList.generation();
        {
            TDiscoverForm f(nullptr, &ws.FSearchDelay);
            QVERIFY(ws.FDeviceList.isEmpty());
            QVERIFY(ws.FDeviceList.generation() != generation);
            QCOMPARE(f.waitMs(), 1000);
            QCOMPARE(f.windowTitle(), QStringLiteral("Device Discovery"));
            QVERIFY(f.windowFlags() & Qt::WindowStaysOnTopHint);
            QVERIFY(!(f.windowFlags() & Qt::WindowCloseButtonHint));
            QCOMPARE(f.lblAction->text(), QStringLiteral("searching... "));
            f.settings().exchangeTimeoutMs = 3000;
            QElapsedTimer t;
            t.start();
            QCOMPARE(f.exec(), int(QDialog::Accepted));
            QVERIFY(!f.workerRunning());
            QVERIFY2(t.elapsed() >= 1000 && t.elapsed() < 8000, QByteArray::number(t.elapsed()));
        }
        QCOMPARE(ws.lastAlert(),
                 QStringLiteral("For easy identification label your Duvo devices with the last digits of the Duvo ID"));
        QCOMPARE(ws.FDeviceList.Count(), 3);
        QCOMPARE(text(ws.FDeviceList.at(2)->ipAddress), QStringLiteral("127.0.154.12"));
        QVERIFY(text(ws.FDeviceList.at(0)->message).startsWith(QStringLiteral("Firmware:  ")));
        QVERIFY(prompts.asked().isEmpty());
        qunsetenv("DUVO_MODULE_TARGET");
        qunsetenv("DUVO_MODULE_BIND");
    }

    void windowCannotBeClosedByTheUser()
    {
        Workstation ws;
        qputenv("DUVO_MODULE_TARGET", "127.0.154.2");
        qputenv("DUVO_MODULE_BIND", "127.0.154.1");
        int delay = 1;
        TDiscoverForm f(nullptr, &delay);
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QTest::keyClick(&f, Qt::Key_Escape);
        QVERIFY(!f.close());
        QVERIFY(f.isVisible());
        QVERIFY(waitFor([&] { return !f.isVisible(); }, 5000));
        QCOMPARE(f.result(), int(QDialog::Accepted));
        qunsetenv("DUVO_MODULE_TARGET");
        qunsetenv("DUVO_MODULE_BIND");
    }

    // After the tick limit the window stops its worker, waits for it, and closes; the
    // module port is free again at once. Foreign chatter keeps arriving all the while.
    void tickLimitStopsTheWorkerBeforeClosing()
    {
        SimulatedLab lab("127.0.154", 1);
        auto *modules = SimModuleService::install(lab.lab());
        modules->network().setFault(0, ModuleFault::Chatter, 20000);
        QVERIFY2(lab.started(), lab.error().c_str());
        qputenv("DUVO_MODULE_TARGET", lab.lab().hubAddress().c_str());
        qputenv("DUVO_MODULE_BIND", lab.lab().workstationAddress().c_str());
        Workstation ws;
        int delay = 3600;  // an hour of discovery wait
        TDiscoverForm f(nullptr, &delay);
        f.Timer1->setInterval(2);
        QElapsedTimer t;
        t.start();
        QCOMPARE(f.exec(), int(QDialog::Accepted));
        QVERIFY(!f.workerRunning());
        QVERIFY(f.ticks() > TDiscoverForm::TickLimit);
        QVERIFY2(t.elapsed() < 20000, QByteArray::number(t.elapsed()));
        QCOMPARE(f.outcome(), ScanOutcome::Stopped);
        DiscoveryEntry table[2];
        QVERIFY(DiscoverModules(50, table, 2) >= 0);
        qunsetenv("DUVO_MODULE_TARGET");
        qunsetenv("DUVO_MODULE_BIND");
    }

    // At the tick limit the exchange in flight ends too: an instrument that answers half a
    // GetStatus reply and then stays silent, with the product's three-minute time-outs, holds
    // the window no longer than one tick past the limit (on 127.0.191.0/24).
    void tickLimitEndsTheSilentExchangeInPhaseTwo()
    {
        SimulatedLab lab("127.0.191", 1);
        SimModuleService::install(lab.lab());
        lab.addFault(0, {FaultKind::HalfReplyThenSilence, "GetStatus"});
        QVERIFY2(lab.started(), lab.error().c_str());
        qputenv("DUVO_MODULE_TARGET", lab.lab().hubAddress().c_str());
        qputenv("DUVO_MODULE_BIND", lab.lab().workstationAddress().c_str());
        Workstation ws;
        int delay = 1;
        TDiscoverForm f(nullptr, &delay);
        QCOMPARE(f.settings().exchangeTimeoutMs, InstrumentTimeout);
        const int tick = 5;
        f.Timer1->setInterval(tick);
        // Watches for the tick that passes the limit.
        QElapsedTimer sinceLimit;
        QTimer watch;
        watch.setInterval(1);
        connect(&watch, &QTimer::timeout, [&] {
            if (!sinceLimit.isValid() && f.ticks() > TDiscoverForm::TickLimit)
                sinceLimit.start();
        });
        watch.start();
        QElapsedTimer t;
        t.start();
        QCOMPARE(f.exec(), int(QDialog::Accepted));
        watch.stop();
        QVERIFY2(t.elapsed() < 15000, QByteArray::number(t.elapsed()));
        QVERIFY(sinceLimit.isValid());
        // One tick, with room for a loaded machine; without the abort it is three minutes.
        QVERIFY2(sinceLimit.elapsed() < 400, QByteArray::number(sinceLimit.elapsed()));
        QVERIFY(!f.workerRunning());
        QCOMPARE(f.outcome(), ScanOutcome::Stopped);
        // The wait was phase 2's GetStatus, and nothing went out after it.
        const QStringList sent = commandsOf(lab.requests(0));
        QVERIFY2(!sent.isEmpty() && sent.last() == QStringLiteral("GetStatus"), qPrintable(sent.join(',')));
        QCOMPARE(sent.count(QStringLiteral("GetStatus")), 1);
        QTest::qWait(100);
        QCOMPARE(commandsOf(lab.requests(0)), sent);
        qunsetenv("DUVO_MODULE_TARGET");
        qunsetenv("DUVO_MODULE_BIND");
    }
};

QTEST_MAIN(TestDiscoveryScan)
#include "tst_discovery_scan.moc"
