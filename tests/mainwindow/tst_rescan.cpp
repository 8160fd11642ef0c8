// The "Device List" rescan of the main window against a simulated lab with network modules:
// the question, offline marking that ends at the next rescan, and No leaving all as it was.

#include "duvosim/SimModuleService.h"
#include "mainwindow/forms/DOzerAvirAded.h"
#include "GuiTest.h"
#include "ScriptedPrompts.h"
#include "SimulatedLab.h"
#include "TestFolders.h"

#include <QTest>
#include <QToolButton>

using namespace duvo;
using namespace duvo::test;

class TestRescan : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qputenv("DUVO_MODULE_TARGET", "127.0.49.2");
        qputenv("DUVO_MODULE_BIND", "127.0.49.1");
    }

    void rescanEndsOfflineMarking()
    {
        TempProgramFolder folder;
        SimulatedLab lab("127.0.49", 2);
        duvosim::SimModuleService::install(lab.lab());
        QVERIFY2(lab.started(), lab.error().c_str());
        ScriptedPrompts prompts;
        DOzerAvirAded form;
        form.FSearchDelay = 1;
        form.FLocalIP = QStringLiteral("127.0.49.1");
        form.statusPass().client().setTimeout(3000);

        form.RescanDevices();
        QCOMPARE(form.FDeviceList.Count(), 2);
        QVERIFY(form.DuvoTimer.isActive());
        QVERIFY(form.button(QStringLiteral("btnStatus"))->isEnabled());

        // The first instrument stops answering: one pass marks it offline.
        lab.setRefusing(0, true);
        form.PollDevices();
        QCOMPARE(form.FDeviceList.at(0)->unreachable, int16_t(1));
        QCOMPARE(form.FDeviceList.at(0)->message, std::string("Error during GetTime net command"));
        form.UpdateDeviceRows();
        QCOMPARE(form.RowText(0, 6), QStringLiteral("-"));

        // No keeps the list, the records and the timer.
        form.FDeviceList.at(1)->alertArmed = 1;
        prompts.answer(No, QStringLiteral("Scan network to build new device list?"), QStringLiteral("Device List"));
        const DVDEVICEINFO_T *before = form.FDeviceList.at(0);
        QVERIFY(clickButton(&form, QStringLiteral("btnRefresh")));
        QCOMPARE(prompts.asked().last().expandedText, QStringLiteral("Duvo Studio e-mail alerts and session IDs will be cleared!"));
        QVERIFY(prompts.asked().last().expanded);
        QCOMPARE(form.FDeviceList.at(0), before);
        QVERIFY(form.DuvoTimer.isActive());

        // Yes: a new scan makes new records; the instrument answers again and is polled.
        lab.setRefusing(0, false);
        prompts.answer(Yes, QStringLiteral("Scan network to build new device list?"));
        QVERIFY(clickButton(&form, QStringLiteral("btnRefresh")));
        QCOMPARE(form.FDeviceList.Count(), 2);
        QCOMPARE(form.FDeviceList.at(0)->unreachable, int16_t(0));
        QCOMPARE(form.FDeviceList.at(1)->alertArmed, int16_t(0));
        lab.clearRequests();
        form.PollDevices();
        QCOMPARE(lab.requests(0).size(), size_t(2));
        QVERIFY(form.DuvoTimer.isActive());
    }

    void rescanFindingNothingSwitchesEverythingOff()
    {
        TempProgramFolder folder;
        SimulatedLab lab("127.0.49", 0);
        duvosim::SimModuleService::install(lab.lab());
        QVERIFY2(lab.started(), lab.error().c_str());
        ScriptedPrompts prompts;
        DOzerAvirAded form;
        form.FSearchDelay = 1;
        form.FDeviceList.Add(std::make_unique<DVDEVICEINFO_T>());
        form.DuvoTimer.start();
        prompts.answer(Yes, QStringLiteral("Scan network"));
        prompts.answer(Ok, QStringLiteral("No devices were found on the network."));
        form.btnRefreshClick();
        QVERIFY(form.FDeviceList.isEmpty());
        QVERIFY(!form.DuvoTimer.isActive());
        QCOMPARE(form.OutList1->topLevelItemCount(), 0);
        for (const QString &name : DOzerAvirAded::DeviceButtonNames())
            QVERIFY2(!form.button(name)->isEnabled(), qPrintable(name));
    }
};

QTEST_MAIN(TestRescan)
#include "tst_rescan.moc"
