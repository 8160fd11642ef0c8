// The main window's device commands against a simulated lab on this test's own loopback /24s:
// power and reboot, clock synchronisation, alias and location, factory default, clone and the
// run log report, driven through the pickers and boxes a user sees.

#include "duvosim/SimModuleService.h"
#include "maintenance/forms/TCloneForm.h"
#include "maintenance/forms/TFormatForm.h"
#include "mainwindow/DeviceCommands.h"
#include "mainwindow/forms/DOzerAvirAded.h"
#include "mainwindow/forms/DisabledWindowGuard.h"
#include "mainwindow/forms/TDestinationForm.h"
#include "mainwindow/forms/TMultiSelForm.h"
#include "mainwindow/forms/TPersonalDuvoForm.h"
#include "GuiTest.h"
#include "ModalWindow.h"
#include "ScriptedPrompts.h"
#include "SimulatedLab.h"
#include "TestFolders.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <functional>
#include <set>

using namespace duvo;
using namespace duvo::test;

namespace {

// A main window whose device list holds the lab's instruments as discovery would list them.
void listLab(DOzerAvirAded &main, SimulatedLab &lab)
{
    for (int k = 0; k < lab.count(); ++k) {
        auto d = std::make_unique<DVDEVICEINFO_T>();
        d->ipAddress = lab.address(k);
        d->typeText = lab.instrument(k).type();
        d->deviceId = "BCBBCC" + std::to_string(10 + k);
        d->runState = "Stopped";
        main.FDeviceList.Add(std::move(d));
    }
    main.BuildDeviceList();
    main.TCPClient1.setTimeout(2000);
}

// Checks the given records in the several-device picker and presses OK.
std::unique_ptr<ModalWatch> pickDevices(std::set<int> records, const QString &caption = {})
{
    return onNextModal<TMultiSelForm>([records, caption](TMultiSelForm *f) {
        if (!caption.isEmpty())
            QCOMPARE(f->windowTitle(), caption);
        for (int row = 0; row < f->ListBox1->count(); ++row)
            if (records.count(f->recordIndexOf(row)))
                f->ListBox1->item(row)->setCheckState(Qt::Checked);
        QTest::mouseClick(f->btnOk, Qt::LeftButton);
    });
}

// Chooses one record in the single-device picker and presses OK.
std::unique_ptr<ModalWatch> pickDevice(int record)
{
    return onNextModal<TDestinationForm>([record](TDestinationForm *f) {
        for (int row = 0; row < f->ListBox1->count(); ++row)
            if (f->recordIndexOf(row) == record)
                f->ListBox1->setCurrentRow(row);
        f->ListBox1Click();
        QTest::mouseClick(f->btnOk, Qt::LeftButton);
    });
}

// A program folder, a lab of count instruments on 127.0.229.x, scripted prompts and a main
// window listing the lab (after setUp, which may change what the instruments report).
struct LabBench {
    TempProgramFolder folder;
    SimulatedLab lab;
    ScriptedPrompts prompts;
    DOzerAvirAded main;

    explicit LabBench(int count, const std::function<void(SimulatedLab &)> &setUp = {}) : lab("127.0.229", count)
    {
        if (!lab.started())
            return;
        if (setUp)
            setUp(lab);
        listLab(main, lab);
    }
};

QStringList commandsOf(SimulatedLab &lab, int k)
{
    QStringList out;
    for (const auto &r : lab.requests(k))
        out << QString::fromStdString(r.command);
    return out;
}

} // namespace

class TestDeviceCommands : public QObject {
    Q_OBJECT
private slots:
    void timeTextIsMonthDayHourMinuteYear()
    {
        QCOMPARE(SyncTimeText(QDateTime(QDate(2026, 3, 7), QTime(9, 5, 59))), QStringLiteral("030709052026"));
        QCOMPARE(SyncTimeText(QDateTime(QDate(2031, 12, 31), QTime(23, 59))), QStringLiteral("123123592031"));
    }

    void powerOffWithOneDeviceRefusing()
    {
        LabBench bench(2);
        QVERIFY2(bench.lab.started(), bench.lab.error().c_str());
        auto &[folder, lab, prompts, main] = bench;
        lab.setRefusing(1, true);
        prompts.answer(No, QStringLiteral("Scan network to build new device list?"), QStringLiteral("Device List"));
        auto watch = pickDevices({0, 1}, QStringLiteral("Select Devices for Shutdown"));
        QVERIFY(clickButton(&main, QStringLiteral("btnPower")));
        QVERIFY(watch->acted());
        QCOMPARE(prompts.pending(), 0);
        QCOMPARE(commandsOf(lab, 0), QStringList{QStringLiteral("Power")});
        QVERIFY(lab.requests(0).front().bytes.find("Off") != std::string::npos);
        QCOMPARE(main.FDeviceList.at(1)->message, std::string("Error during Power off net command"));
        QCOMPARE(main.FDeviceList.at(0)->message, std::string());
        for (const auto &d : main.FDeviceList) {
            QCOMPARE(d->pickRow, -1);
            QCOMPARE(d->selected, 0);
        }
        QVERIFY(!DisabledWindowGuard::isDisabled(&main));
    }

    void rebootWhereEveryDeviceFailsShowsTheBox()
    {
        LabBench bench(2);
        QVERIFY2(bench.lab.started(), bench.lab.error().c_str());
        auto &[folder, lab, prompts, main] = bench;
        duvosim::SimFault fault;
        fault.command = "Power";
        fault.errCode = 9;
        fault.errMessage = "Lid open";
        lab.addFault(0, fault);
        lab.setRefusing(1, true);
        prompts.answer(Ok, QStringLiteral("The command did not complete correctly. Please try again!"), QStringLiteral("Information"));
        auto watch = pickDevices({0, 1}, QStringLiteral("Select Devices for Reboot"));
        QVERIFY(clickButton(&main, QStringLiteral("btnReboot")));
        QCOMPARE(prompts.pending(), 0);
        QCOMPARE(prompts.asked().size(), 1);  // no rescan question
        QCOMPARE(main.FDeviceList.at(0)->message, std::string("Error Power Reboot XML parsing"));
        QCOMPARE(main.FDeviceList.at(1)->message, std::string("Error during Power Reboot net command"));
    }

    void clockSyncSendsOneTimeTextToAll()
    {
        LabBench bench(3, [](SimulatedLab &lab) { lab.instrument(2).setType("SV cycler"); });
        QVERIFY2(bench.lab.started(), bench.lab.error().c_str());
        auto &[folder, lab, prompts, main] = bench;
        prompts.answer(Ok, QStringLiteral("PC time sync command completed using:  "), QStringLiteral("Information"));
        auto watch = pickDevices({0, 1}, QStringLiteral("Select Devices for synchronizing Time & Date"));
        const QDateTime before = QDateTime::currentDateTime();
        QVERIFY(clickButton(&main, QStringLiteral("btnSyncTime")));
        QCOMPARE(prompts.pending(), 0);
        QCOMPARE(lab.requests(0).size(), size_t(1));
        QCOMPARE(lab.requests(1).size(), size_t(1));
        QCOMPARE(lab.requests(0).front().bytes, lab.requests(1).front().bytes);
        const QString sent = QString::fromStdString(lab.requests(0).front().bytes);
        QVERIFY2(sent.contains(SyncTimeText(before)) || sent.contains(SyncTimeText(before.addSecs(60))), qPrintable(sent));
        QVERIFY(lab.requests(2).empty());
    }

    void aliasBeforeLocationAndAFailedAliasStopsThere()
    {
        LabBench bench(1);
        QVERIFY2(bench.lab.started(), bench.lab.error().c_str());
        auto &[folder, lab, prompts, main] = bench;
        main.FDeviceList.at(0)->alias = "Bench 1";

        auto fill = [](const QString &name, const QString &location) {
            return onNextModal<TPersonalDuvoForm>([name, location](TPersonalDuvoForm *f) {
                QCOMPARE(f->lblName->text(), QStringLiteral("Bench 1"));
                QCOMPARE(f->lblLocation->text(), QStringLiteral("-"));
                QVERIFY(f->edtName->text().isEmpty());
                QTest::keyClicks(f->edtName, name);
                QTest::keyClicks(f->edtLocation, location);
                QTest::mouseClick(f->btnOk, Qt::LeftButton);
            });
        };
        {
            auto picker = pickDevice(0);
            auto dialog = fill(QStringLiteral("Cycler A"), QStringLiteral("Room 2"));
            prompts.answer(No, QStringLiteral("Scan network to build new device list?"));
            QVERIFY(clickButton(&main, QStringLiteral("btnNameandLocation")));
            QVERIFY(dialog->acted());
        }
        QCOMPARE(prompts.pending(), 0);
        QCOMPARE(commandsOf(lab, 0), (QStringList{QStringLiteral("SetParameter"), QStringLiteral("SetParameter")}));
        const auto r = lab.requests(0);
        QVERIFY(r[0].bytes.find("84") != std::string::npos && r[0].bytes.find("Cycler A") != std::string::npos);
        QVERIFY(r[1].bytes.find("63") != std::string::npos && r[1].bytes.find("Room 2") != std::string::npos);
        QCOMPARE(main.FDeviceList.at(0)->alias, std::string("Bench 1"));  // only a rescan reads it again

        lab.clearRequests();
        duvosim::SimFault fault;
        fault.command = "SetParameter";
        fault.argument = "84";
        fault.errCode = 3;
        fault.errMessage = "Read only";
        lab.addFault(0, fault);
        {
            auto picker = pickDevice(0);
            auto dialog = fill(QStringLiteral("X"), QStringLiteral("Y"));
            prompts.answer(Ok, QStringLiteral("Read only"), QStringLiteral("Error SetParameter XML parsing"));
            QVERIFY(clickButton(&main, QStringLiteral("btnNameandLocation")));
        }
        QCOMPARE(prompts.pending(), 0);
        QCOMPARE(commandsOf(lab, 0), QStringList{QStringLiteral("SetParameter")});
    }

    void formatOfARunningDeviceAsksFirstThenSendsNothing()
    {
        LabBench bench(1);
        QVERIFY2(bench.lab.started(), bench.lab.error().c_str());
        auto &[folder, lab, prompts, main] = bench;
        main.FDeviceList.at(0)->runState = "Running";
        auto picker = pickDevice(0);
        prompts.answer(Yes, QStringLiteral("Warning! This will format the Duvo flash drive. Do you want to continue?"),
                       QStringLiteral("Velmor Lab Duvo Studio"));
        prompts.answer(Ok, QStringLiteral("Are you sure you want to Proceed and Format the Duvo Flash Drive?"), QStringLiteral("Format Duvo"));
        prompts.answer(Ok, QStringLiteral("is active!  Stop Device before Formatting!"), QStringLiteral("Format Duvo"));
        QVERIFY(clickButton(&main, QStringLiteral("btnFormat")));
        QCOMPARE(prompts.pending(), 0);
        QCOMPARE(prompts.asked()[0].expandedText,
                 QStringLiteral("This action will format the flash drive. All data will be lost.  Select No to Cancel."));
        QVERIFY(lab.requests(0).empty());
        QCOMPARE(main.FDeviceList.at(0)->busy, int16_t(0));
    }

    void cloneNeedsTwoDevices()
    {
        LabBench bench(1);
        QVERIFY2(bench.lab.started(), bench.lab.error().c_str());
        auto &[folder, lab, prompts, main] = bench;
        prompts.answer(Ok, QStringLiteral("Cloning needs at least 2 devices on the network!"), QStringLiteral("Clone"));
        QVERIFY(clickButton(&main, QStringLiteral("btnClone")));
        QCOMPARE(prompts.pending(), 0);
    }

    void runLogReportOfARefusingDeviceTriesFourTimes()
    {
        LabBench bench(1);
        QVERIFY2(bench.lab.started(), bench.lab.error().c_str());
        auto &[folder, lab, prompts, main] = bench;
        lab.fail(0, 100);
        auto picker = pickDevice(0);
        prompts.answer(Ok, QStringLiteral("Problem retrieving log file or no log file available!  Please try again later."), QStringLiteral("Log"));
        QVERIFY(clickButton(&main, QStringLiteral("btnDuvoLog")));
        QCOMPARE(prompts.pending(), 0);
        QCOMPARE(lab.requests(0).size(), size_t(4));
    }

    void rescanDuringAPowerLoopEndsItCleanly()
    {
        qputenv("DUVO_MODULE_TARGET", "127.0.228.2");
        qputenv("DUVO_MODULE_BIND", "127.0.228.1");
        TempProgramFolder folder;
        SimulatedLab lab("127.0.228", 2);
        duvosim::SimModuleService::install(lab.lab());
        QVERIFY2(lab.started(), lab.error().c_str());
        duvosim::SimFault slow;
        slow.kind = duvosim::FaultKind::Delay;
        slow.command = "Power";
        slow.delayMs = 600;
        lab.addFault(0, slow);
        ScriptedPrompts prompts;
        prompts.setLenient(true);
        DOzerAvirAded main;
        main.FSearchDelay = 1;
        main.FLocalIP = QStringLiteral("127.0.228.1");
        main.RescanDevices();
        QCOMPARE(main.FDeviceList.Count(), 2);
        bool disabledMeanwhile = false;
        QTimer::singleShot(200, &main, [&] {
            disabledMeanwhile = DisabledWindowGuard::isDisabled(&main) && !main.button(QStringLiteral("btnRefresh"))->isEnabled();
            main.RescanDevices();  // forced from code while the loop waits on device 0
        });
        auto watch = pickDevices({0, 1});
        QVERIFY(clickButton(&main, QStringLiteral("btnPower")));
        QVERIFY(disabledMeanwhile);
        // The loop stopped at the rescan: the second device never got the command.
        QCOMPARE(commandsOf(lab, 1).count(QStringLiteral("Power")), 0);
        QVERIFY(!DisabledWindowGuard::isDisabled(&main));
        QVERIFY(main.button(QStringLiteral("btnRefresh"))->isEnabled());
        QCOMPARE(main.FDeviceList.Count(), 2);
    }
};

QTEST_MAIN(TestDeviceCommands)
#include "tst_devicecommands.moc"
