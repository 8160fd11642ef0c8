// The run road from the main window: which device gets a road, the busy flag, the disabled
// window and the auto-refresh timer around the road's windows, and the alert armed by the
// run details.

#include "mainwindow/forms/DOzerAvirAded.h"
#include "mainwindow/forms/DisabledWindowGuard.h"
#include "ModalWindow.h"
#include "ScriptedPrompts.h"
#include "protocols/forms/TProtNavForm.h"
#include "SimulatedLab.h"
#include "TestFolders.h"

#include <QDialog>
#include <QTest>
#include <QToolButton>
#include <stdexcept>

using namespace duvo;
using namespace duvo::test;

namespace {

struct RoadLog {
    QStringList calls;
    // What the road held while each window was open.
    QList<int> busyDuring;
    QList<bool> enabledDuring;
    QList<bool> timerDuring;
    QList<bool> dialogUsable;
    QString folder, file;
    int consumable = -1, volume = -1;
};

} // namespace

class TestRunRoad : public QObject {
    Q_OBJECT

    TempProgramFolder *FFolder = nullptr;
    SimulatedLab *FLab = nullptr;
    ScriptedPrompts *FPrompts = nullptr;
    DOzerAvirAded *FForm = nullptr;
    RoadLog FLog;
    bool FNavigatorOk = true;
    bool FDetailsOk = true;
    bool FSendMail = false;
    bool FThrowInNavigator = false;

    void add(const std::string &state, const std::string &type = "DUVO 96", int16_t unreachable = 0)
    {
        const int k = FForm->FDeviceList.Count();
        auto d = std::make_unique<DVDEVICEINFO_T>();
        d->ipAddress = FLab->address(k);
        d->deviceId = "DUVO-" + std::to_string(k);
        d->typeText = type;
        d->runState = state;
        d->unreachable = unreachable;
        FForm->FDeviceList.Add(std::move(d));
    }

    void record(const char *window)
    {
        FLog.calls << QLatin1String(window);
        FLog.busyDuring << FForm->FDeviceList.at(0)->busy;
        FLog.enabledDuring << !DisabledWindowGuard::isDisabled(FForm);
        FLog.timerDuring << FForm->DuvoTimer.isActive();
        // A window the road opens on the main window can be used.
        QDialog probe(FForm);
        FLog.dialogUsable << probe.isEnabled();
    }

    void installWindows()
    {
        DOzerAvirAded::RunRoadWindows &w = FForm->runRoadWindows();
        w.pickDevice = [this](QWidget *, int *index) {
            record("picker");
            *index = 0;
            return true;
        };
        w.navigate = [this](QWidget *, const QString &, const QString &, QString *folder, QString *file) {
            record("navigator");
            if (FThrowInNavigator)
                throw std::runtime_error("navigator failed");
            *folder = QStringLiteral("PCR");
            *file = QStringLiteral("TEST1");
            return FNavigatorOk;
        };
        w.runDetails = [this](QWidget *, const QString &, int *consumable, int *volume, QString *, QString *,
                              QString *, QString *email, bool *sendMail, bool) {
            record("details");
            *consumable = 1;
            *volume = 15;
            *sendMail = FSendMail;
            if (FSendMail)
                *email = QStringLiteral("ann@lab.example");
            return FDetailsOk;
        };
        w.monitor = [this](QWidget *, int *, const QString &, const QString &, const QString &, const QString &folder,
                           const QString &file, int *consumable, int *volume, const QString &, const QString &,
                           const QString &, const QString &) {
            record("monitor");
            FLog.folder = folder;
            FLog.file = file;
            FLog.consumable = *consumable;
            FLog.volume = *volume;
        };
    }

    // Device rows hang under the list's group line; each has its preview line below.
    QTreeWidgetItem *row(int i) { return FForm->OutList1->topLevelItem(0)->child(i); }

private slots:
    void initTestCase() { qputenv("DUVO_NO_SLEEP_INHIBITOR", "1"); }

    void init()
    {
        FFolder = new TempProgramFolder;
        FLab = new SimulatedLab("127.0.141", 2);
        QVERIFY2(FLab->started(), FLab->error().c_str());
        FPrompts = new ScriptedPrompts;
        FForm = new DOzerAvirAded;
        FForm->statusPass().client().setTimeout(1500);
        FLog = RoadLog();
        FNavigatorOk = FDetailsOk = true;
        FSendMail = false;
        FThrowInNavigator = false;
        installWindows();
    }
    void cleanup()
    {
        delete FForm;
        delete FPrompts;
        delete FLab;
        delete FFolder;
    }

    void noRoadForUnreachableBusyOrOldType_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("unreachable");
        QTest::addColumn<int>("busy");
        QTest::newRow("unreachable") << "DUVO 96" << 1 << 0;
        QTest::newRow("busy") << "DUVO 96" << 0 << 1;
        QTest::newRow("SV cycler") << "SV cycler" << 0 << 0;
    }
    void noRoadForUnreachableBusyOrOldType()
    {
        QFETCH(QString, type);
        QFETCH(int, unreachable);
        QFETCH(int, busy);
        add("Stopped", type.toStdString(), int16_t(unreachable));
        FForm->FDeviceList.at(0)->busy = int16_t(busy);
        FForm->BuildDeviceList();
        FForm->OutList1ItemDblClick(row(0));
        QVERIFY(FLog.calls.isEmpty());
        QVERIFY(!DisabledWindowGuard::isDisabled(FForm) && FForm->centralWidget()->isEnabled());
        QCOMPARE(FForm->FDeviceList.at(0)->busy, int16_t(busy));
    }

    void runningDeviceGoesStraightToTheMonitor()
    {
        add("Running");
        FForm->BuildDeviceList();
        FForm->DuvoTimer.start();
        FLab->clearRequests();
        FForm->OutList1ItemDblClick(row(0));
        QCOMPARE(FLog.calls, QStringList{"monitor"});
        QCOMPARE(FLog.busyDuring, QList<int>{1});
        QCOMPARE(FLog.enabledDuring, QList<bool>{false});
        QCOMPARE(FLog.timerDuring, QList<bool>{true});  // the timer runs during the monitor
        QVERIFY(FLog.folder.isEmpty() && FLog.file.isEmpty());
        QCOMPARE(FLog.consumable, 0);
        QCOMPARE(FLog.volume, 0);
        QCOMPARE(FForm->FDeviceList.at(0)->busy, int16_t(0));
        QVERIFY(!DisabledWindowGuard::isDisabled(FForm) && FForm->centralWidget()->isEnabled());
        // Afterwards a status pass asked the device at once, and no folder list was asked for.
        bool status = false;
        for (const auto &r : FLab->requests(0)) {
            QVERIFY(r.command != "DirFolders" && r.command != "DirFiles");
            status = status || r.command == "GetStatus";
        }
        QVERIFY(status);
        QCOMPARE(FForm->FDeviceList.at(0)->runState, std::string("Stopped"));
    }

    void idleDeviceRunsTheWholeRoad_data()
    {
        QTest::addColumn<bool>("sendMail");
        QTest::addColumn<int>("armed");
        QTest::addColumn<int>("sent");
        QTest::addColumn<QString>("address");
        QTest::newRow("no mail") << false << 0 << 1 << "";
        QTest::newRow("mail") << true << 1 << 0 << "ann@lab.example";
    }
    void idleDeviceRunsTheWholeRoad()
    {
        QFETCH(bool, sendMail);
        QFETCH(int, armed);
        QFETCH(int, sent);
        QFETCH(QString, address);
        add("Stopped");
        FForm->BuildDeviceList();
        FForm->DuvoTimer.start();
        FForm->FDeviceList.at(0)->alertAddress = "old@lab.example";
        FSendMail = sendMail;
        FForm->SetDeviceControlsEnabled(true);
        QVERIFY(FForm->button(QStringLiteral("btnOpenProtocol")));
        FForm->btnOpenProtocolClick();
        QCOMPARE(FLog.calls, (QStringList{"picker", "navigator", "details", "monitor"}));
        QCOMPARE(FLog.busyDuring, (QList<int>{0, 1, 1, 1}));
        QCOMPARE(FLog.enabledDuring, (QList<bool>{false, false, false, false}));
        QCOMPARE(FLog.timerDuring, (QList<bool>{true, false, false, true}));
        QCOMPARE(FLog.dialogUsable, (QList<bool>{true, true, true, true}));
        QCOMPARE(FLog.folder, QStringLiteral("PCR"));
        QCOMPARE(FLog.consumable, 1);
        QCOMPARE(FLog.volume, 15);
        const DVDEVICEINFO_T *d = FForm->FDeviceList.at(0);
        QCOMPARE(d->alertArmed, int16_t(armed));
        QCOMPARE(d->alertSent, int16_t(sent));
        QCOMPARE(QString::fromStdString(d->alertAddress), address);
        QCOMPARE(d->busy, int16_t(0));
        QVERIFY(!DisabledWindowGuard::isDisabled(FForm) && FForm->centralWidget()->isEnabled());
        QVERIFY(FForm->DuvoTimer.isActive());
    }

    void navigatorCancelEndsQuietly()
    {
        add("-");
        FForm->BuildDeviceList();
        FForm->DuvoTimer.start();
        FForm->FDeviceList.at(0)->alertArmed = 1;
        FNavigatorOk = false;
        FForm->OutList1ItemDblClick(row(0)->child(0));  // the preview line counts as its row
        QCOMPARE(FLog.timerDuring, QList<bool>{false});
        QCOMPARE(FLog.calls, QStringList{"navigator"});
        QCOMPARE(FForm->FDeviceList.at(0)->alertArmed, int16_t(1));
        QCOMPARE(FForm->FDeviceList.at(0)->busy, int16_t(0));
        QVERIFY(FForm->DuvoTimer.isActive());
        QVERIFY(!DisabledWindowGuard::isDisabled(FForm) && FForm->centralWidget()->isEnabled());
    }

    void detailsCancelEndsQuietly()
    {
        add("");
        FForm->BuildDeviceList();
        FDetailsOk = false;
        FForm->OutList1ItemDblClick(row(0));
        QCOMPARE(FLog.calls, (QStringList{"navigator", "details"}));
        QVERIFY(!FForm->DuvoTimer.isActive());  // it was off: the road leaves it off
        QCOMPARE(FForm->FDeviceList.at(0)->alertSent, int16_t(0));
    }

    void guardsRestoredAfterAThrow()
    {
        add("Stopped");
        FForm->BuildDeviceList();
        FForm->DuvoTimer.start();
        FThrowInNavigator = true;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, FForm->OutList1ItemDblClick(row(0)));
        QCOMPARE(FForm->FDeviceList.at(0)->busy, int16_t(0));
        QVERIFY(!DisabledWindowGuard::isDisabled(FForm) && FForm->centralWidget()->isEnabled());
        QVERIFY(FForm->DuvoTimer.isActive());
    }

    void runProtocolWithoutDevicesDoesNothing()
    {
        FForm->SetDeviceControlsEnabled(false);
        FForm->btnOpenProtocolClick();
        QVERIFY(FLog.calls.isEmpty());
    }

    void groupLineHasNoRoad()
    {
        add("Stopped");
        FForm->BuildDeviceList();
        FForm->OutList1ItemDblClick(FForm->OutList1->topLevelItem(0));
        QVERIFY(FLog.calls.isEmpty());
        QVERIFY(!DisabledWindowGuard::isDisabled(FForm) && FForm->centralWidget()->isEnabled());
    }

    // The real navigator, owned by the main window, usable, with the road's caption.
    void realNavigatorHasTheRoadsCaption()
    {
        add("Stopped");
        FForm->BuildDeviceList();
        FForm->FRunRoadWindowsSet = false;  // the real windows
        QString caption;
        bool usable = false;
        auto watch = onNextModal<TProtNavForm>([&](TProtNavForm *nav) {
            caption = nav->windowTitle();
            usable = nav->isEnabled();
            static_cast<QDialog *>(nav)->reject();
        });
        FForm->OutList1ItemDblClick(row(0));
        QVERIFY(watch->acted());
        QCOMPARE(caption, QStringLiteral("Duvo Protocol Navigator for  DUVO-0  at  ")
                              + QString::fromStdString(FLab->address(0)));
        QVERIFY(usable);
        QCOMPARE(FForm->FDeviceList.at(0)->busy, int16_t(0));
    }

    void navigatorCaption()
    {
        QCOMPARE(DOzerAvirAded::NavigatorCaption(QStringLiteral("DUVO-7"), QStringLiteral("10.0.0.7")),
                 QStringLiteral("Duvo Protocol Navigator for  DUVO-7  at  10.0.0.7"));
    }
};

QTEST_MAIN(TestRunRoad)
#include "tst_runroad.moc"
