// The device list's row texts and the completed-run alert of the row refresh.

#include "common/IpWatch.h"
#include "mainwindow/DeviceRows.h"
#include "mainwindow/forms/DOzerAvirAded.h"
#include "GuiTest.h"
#include "ScriptedPrompts.h"
#include "TestFolders.h"

#include <QTest>
#include <QHeaderView>
#include <QTreeWidget>

using namespace duvo;
using namespace duvo::test;

namespace {

std::unique_ptr<DVDEVICEINFO_T> device(const std::string &ip, const std::string &type)
{
    auto d = std::make_unique<DVDEVICEINFO_T>();
    d->ipAddress = ip;
    d->macText = "00:1A:2B:3C:4D:5E";
    d->deviceId = d->macText;
    d->typeText = type;
    d->alias = "Bench 3";
    d->location = "Lab 2";
    d->runState = "Running";
    d->message = "Firmware:  2.01";
    d->totalTime = "01:02:05";
    d->timeLeft = "00:10:00";
    d->clockText = "121023452026";
    d->status[8] = "false";
    d->status[17] = "PCR1";
    d->status[18] = "2";
    return d;
}

// A main window whose alerts are recorded instead of mailed.
class RecordingMainForm : public DOzerAvirAded {
public:
    QStringList sent;
    void SendAlert(const QString &recipient, const QString &message) override { sent << recipient + QStringLiteral("|") + message; }
};

} // namespace

class TestDeviceRows : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("DUVO_NO_SLEEP_INHIBITOR", "1"); }

    // The group column "Devices" is hidden, and after a rebuild the columns are wide enough
    // for their texts (the whole Duvo ID, the clock, " [press Stop]") within the window, where
    // a long free text (the alias) gives way; a row refresh that makes a text longer widens
    // its column.
    void columnsFitTheirTexts()
    {
        TempProgramFolder folder;
        ScriptedPrompts prompts;
        DOzerAvirAded form;
        form.resize(1010, 637);
        form.show();  // start-up is not run: the test never returns to the event loop first
        auto d = device("192.168.100.200", "DUVO 96");
        d->alias = "Thermal cycler of the sequencing group, bench 3";  // a long free text
        d->status[8] = "true";
        d->runState = "Running";
        form.FDeviceList.Add(std::move(d));
        form.FDeviceList.Add(device("10.0.0.7", "DUVO 24"));
        form.BuildDeviceList();
        QTreeWidget *list = form.OutList1;
        QCOMPARE(list->columnWidth(0), 0);  // hidden, the group caption spans the row
        QCOMPARE(list->header()->sectionResizeMode(0), QHeaderView::Fixed);
        QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("Duvo Network Devices (2)"));
        const QFontMetrics fm(list->font());
        auto fits = [&](int column) {
            for (int i = 0; i < list->topLevelItem(0)->childCount(); ++i)
                if (fm.horizontalAdvance(list->topLevelItem(0)->child(i)->text(column)) + 6 > list->columnWidth(column))
                    return false;
            return true;
        };
        // Identity, state, times and clock keep their whole texts; the free texts give way.
        for (int column : {2, 3, 4, 7, 8, 9, 10, 12})
            QVERIFY2(fits(column), qPrintable(list->headerItem()->text(column)));
        QVERIFY(fits(6) && fits(11));  // short enough here
        QVERIFY(!fits(5));
        saveShot(form, QStringLiteral("DuvoMainForm-rebuilt"));
        int total = 0;
        for (int column = 1; column < 13; ++column)
            total += list->columnWidth(column);
        QVERIFY2(total <= list->viewport()->width(), QByteArray::number(total));

        form.FDeviceList.at(0)->runState = "Completed";
        form.UpdateDeviceRows();
        QCOMPARE(form.RowText(0, 6), QStringLiteral("Completed [press Stop]"));
        QVERIFY(fits(7));
        saveShot(form, QStringLiteral("DuvoMainForm"));
        form.hide();
    }

    void holdSuffix_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("hold");
        QTest::addColumn<QString>("shown");
        QTest::newRow("completed held") << "Completed" << "true" << "Completed [press Stop]";
        QTest::newRow("completed not held") << "Completed" << "false" << "Completed";
        QTest::newRow("running held") << "Running" << "true" << "Running [on hold]";
        QTest::newRow("stopped held") << "Stopped" << "true" << "Stopped [on hold]";
        QTest::newRow("paused held") << "Paused" << "true" << "Paused [on hold]";
        QTest::newRow("hold must be exact") << "Running" << "True" << "Running";
        QTest::newRow("unknown state held") << "????" << "true" << "????";
    }
    void holdSuffix()
    {
        QFETCH(QString, state);
        QFETCH(QString, hold);
        QFETCH(QString, shown);
        QCOMPARE(RunStateWithHold(state.toStdString(), hold.toStdString()), shown);
    }

    void stateLevel_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("level");
        QTest::newRow("0") << "0" << "Error";
        QTest::newRow("1") << "1" << "Warning";
        QTest::newRow("2") << "2" << "Ok";
        QTest::newRow("3") << "3" << "Ok";
        QTest::newRow("5") << "5" << "5";
        QTest::newRow("-") << "-" << "-";
    }
    void stateLevel()
    {
        QFETCH(QString, state);
        QFETCH(QString, level);
        QCOMPARE(StateLevel(state.toStdString()), level);
    }

    void clockCell_data()
    {
        QTest::addColumn<QString>("clock");
        QTest::addColumn<bool>("valid");
        QTest::newRow("valid") << "121023452026" << true;
        QTest::newRow("empty time") << "000000000000" << false;
        QTest::newRow("letters") << "12AB23452026" << false;
        QTest::newRow("short") << "1210" << false;
        QTest::newRow("bad hour") << "121025452026" << false;
    }
    void clockCell()
    {
        QFETCH(QString, clock);
        QFETCH(bool, valid);
        const QString cell = ClockCell(clock.toStdString());
        if (valid) {
            const QString expected = QLocale().toString(QDate(2026, 12, 10), QLocale::ShortFormat) + QStringLiteral("  23:45");
            QCOMPARE(cell, expected);
        } else {
            QCOMPARE(cell, QStringLiteral("-"));
        }
    }

    void toSeconds_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("seconds");
        QTest::newRow("point") << "3725.6" << 3725.6;
        QTest::newRow("comma") << "3725,6" << 3725.6;
        QTest::newRow("point keeps commas") << "1,5.2" << 1.0;
        QTest::newRow("no number") << "abc" << 0.0;
        QTest::newRow("infinity") << "inf" << 0.0;
        QTest::newRow("nan") << "nan" << 0.0;
        QTest::newRow("hexadecimal is no decimal number") << "0x10" << 0.0;
        QTest::newRow("exponent") << "1.5e3" << 1500.0;
        QTest::newRow("too large to hold") << "1e999" << 0.0;
        QTest::newRow("number then text") << " 12.5 s" << 12.5;
    }
    void toSeconds()
    {
        QFETCH(QString, text);
        QFETCH(double, seconds);
        QCOMPARE(ToSeconds(text.toStdString()), seconds);
    }

    void cellsOfReachableAndUnreachableDevices()
    {
        auto d = device("127.0.9.10", "DUVO 24");
        DeviceRowTexts c = DeviceRowCells(*d);
        QCOMPARE(c[0], QStringLiteral("145"));
        QCOMPARE(c[1], QStringLiteral("127.0.9.10"));
        QCOMPARE(c[4], QStringLiteral("Bench 3"));
        QCOMPARE(c[6], QStringLiteral("Running"));
        QCOMPARE(c[7], QStringLiteral("Ok"));
        QCOMPARE(c[8], QStringLiteral("01:02:05"));
        QCOMPARE(c[10], QStringLiteral("PCR1"));
        QCOMPARE(c[12], QStringLiteral("Firmware:  2.01"));
        d->unreachable = 1;
        c = DeviceRowCells(*d);
        QCOMPARE(c[4], QString());
        QCOMPARE(c[5], QString());
        for (int i : {6, 7, 8, 9, 10, 11})
            QCOMPARE(c[i], QStringLiteral("-"));
        QCOMPARE(c[2], QStringLiteral("00:1A:2B:3C:4D:5E"));
        QCOMPARE(c[12], QStringLiteral("Firmware:  2.01"));
        d->typeText = "????";
        c = DeviceRowCells(*d);
        QCOMPARE(c[0], QString());
        QCOMPARE(c[3], QStringLiteral("????"));
    }

    void listShowsOneRowPerRecord()
    {
        TempProgramFolder folder;
        ScriptedPrompts prompts;
        RecordingMainForm form;
        form.FDeviceList.Add(device("127.0.9.10", "DUVO 24"));
        form.FDeviceList.Add(device("127.0.9.11", "????"));
        form.BuildDeviceList();
        QTreeWidgetItem *group = form.OutList1->topLevelItem(0);
        QVERIFY(group);
        QVERIFY(group->text(0).startsWith(QStringLiteral("Duvo Network Devices ")));
        QCOMPARE(group->childCount(), 2);
        QCOMPARE(form.RowText(0, 0), QStringLiteral("145"));
        QCOMPARE(form.RowText(1, 0), QString());
        QCOMPARE(form.RowText(1, 1), QStringLiteral("127.0.9.11"));
        QCOMPARE(form.RowText(1, 12), QStringLiteral("Firmware:  2.01"));
        QCOMPARE(form.OutList1->headerItem()->text(13), QStringLiteral("Message"));
    }

    void completedAlertSentOnceAcrossTicks()
    {
        TempProgramFolder folder;
        ScriptedPrompts prompts;
        RecordingMainForm form;
        auto d = device("127.0.9.10", "DUVO 96");
        d->runState = "Completed";
        d->status[8] = "true";
        d->alertArmed = 1;
        d->alertAddress = "lab@example.org";
        d->sessionId = "20261210234501-17";
        form.FDeviceList.Add(std::move(d));
        auto idle = device("127.0.9.11", "DUVO 24");
        idle->runState = "Completed";
        idle->status[8] = "true";
        idle->alertArmed = 1;  // armed, but no session of ours: no mail
        form.FDeviceList.Add(std::move(idle));
        form.BuildDeviceList();
        for (int tick = 0; tick < 3; ++tick)
            form.UpdateDeviceRows();
        QCOMPARE(form.sent, QStringList{QStringLiteral("lab@example.org|Status = Completed")});
        QCOMPARE(form.RowText(0, 6), QStringLiteral("Completed [press Stop]"));
        QCOMPARE(form.FDeviceList.at(0)->alertSent, int16_t(1));
    }
};

QTEST_MAIN(TestDeviceRows)
#include "tst_devicerows.moc"
