// The device pickers over a table of device records: the items (exact markup), the single
// picker's label, OK state, index, modal result and refusal dialogs, the second constructor's
// excluded device, and the several-device picker's check rules, Select All and Space.

#include "link/Workstation.h"
#include "mainwindow/DevicePickers.h"
#include "mainwindow/forms/TDestinationForm.h"
#include "mainwindow/forms/TMultiSelForm.h"
#include "protocols/DeviceFileOperations.h"
#include "GuiTest.h"
#include "ScriptedPrompts.h"

#include <QTest>

using namespace duvo;
using namespace duvo::test;

namespace {

struct Fixture {
    const char *ip, *id, *type, *runState;
    bool unreachable;
};

// 0 idle DUVO 24, 1 running DUVO 96, 2 idle SV cycler, 3 unknown type, 4 unreachable DUVO 96,
// 5 a second record on the address of 0 (discovery's "already in use"), unreachable.
const Fixture Lab[] = {
    {"127.0.121.10", "D24-0001", "DUVO 24", "Stopped", false},
    {"127.0.121.11", "D96-0002", "DUVO 96", "Running", false},
    {"127.0.121.12", "SVC-0003", "SV cycler", "-", false},
    {"127.0.121.13", "UNK-0004", "????", "", false},
    {"127.0.121.14", "D96-0005", "DUVO 96", "", true},
    {"127.0.121.10", "D24-0006", "DUVO 24", "Stopped", true},
};

void fillDevices(Workstation &ws, int count = int(std::size(Lab)))
{
    ws.FDeviceList.Clear();
    for (int i = 0; i < count; ++i) {
        auto d = std::make_unique<DVDEVICEINFO_T>();
        d->ipAddress = Lab[i].ip;
        d->deviceId = Lab[i].id;
        d->typeText = Lab[i].type;
        d->runState = Lab[i].runState;
        d->unreachable = Lab[i].unreachable;
        ws.FDeviceList.Add(std::move(d));
    }
}

QString itemText(const char *picture, const char *ip, const char *id)
{
    return QStringLiteral("<IMG SRC=\"%1\" align=\"bottom\"> <B><FONT SIZE=\"10\">%2</FONT></B><BR><IND X=\"24\">"
                          "<FONT SIZE=\"8\"><B>Duvo ID</B>: %3</BR>")
        .arg(QLatin1String(picture), QLatin1String(ip), QLatin1String(id));
}

int rowOfRecord(const TDestinationForm &f, int record)
{
    for (int r = 0; r < f.ListBox1->count(); ++r)
        if (f.recordIndexOf(r) == record)
            return r;
    return -1;
}

} // namespace

class TestPickers : public QObject {
    Q_OBJECT
private slots:
    void itemsAreExactAndSkipUnknownTypes()
    {
        Workstation ws;
        fillDevices(ws);
        TDestinationForm picker(nullptr, nullptr, false);
        QCOMPARE(DestinationForm, &picker);
        const QStringList expected = {
            itemText("Duvo2424", "127.0.121.10", "D24-0001"), itemText("Duvo9624", "127.0.121.11", "D96-0002"),
            itemText("DuvoQ24", "127.0.121.12", "SVC-0003"), itemText("Duvo9624", "127.0.121.14", "D96-0005"),
            itemText("Duvo2424", "127.0.121.10", "D24-0006")};
        QCOMPARE(picker.ListBox1->count(), expected.size());
        for (int r = 0; r < expected.size(); ++r)
            QCOMPARE(picker.ListBox1->item(r)->text(), expected.at(r));
        QCOMPARE(picker.recordIndexOf(3), 4);
        QCOMPARE(ListItemPlainText(picker.ListBox1->item(0)->text()), QStringLiteral(" 127.0.121.10Duvo ID: D24-0001"));
        QCOMPARE(picker.lblSelected->text(), QStringLiteral("127.0.121.10"));
        QVERIFY(!picker.loadFailed());
    }

    void singlePickerChoice_data()
    {
        QTest::addColumn<int>("record");
        QTest::addColumn<bool>("acceptAnyType");
        QTest::addColumn<bool>("okEnabled");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("refusal");  // task dialog content, empty for none
        QTest::addColumn<QString>("expanded");
        QTest::newRow("idle DUVO 24") << 0 << false << true << true << 0 << QString() << QString();
        QTest::newRow("running DUVO 96") << 1 << false << true << true << 1 << QString() << QString();
        QTest::newRow("SV cycler refused") << 2 << false << false << false << -1
                                           << "Selected device has old firmware."
                                           << "The device of type \"SV cycler\" must update firmware.";
        QTest::newRow("SV cycler accepted") << 2 << true << true << true << 2 << QString() << QString();
        QTest::newRow("unreachable") << 4 << true << true << false << -1 << "Selected device has some error."
                                     << "The device has some error and needs assistance.";
        // The second record of a shared address is itself, not the first record of that address.
        QTest::newRow("duplicate address") << 5 << false << true << false << -1 << "Selected device has some error."
                                           << "The device has some error and needs assistance.";
    }

    void singlePickerChoice()
    {
        QFETCH(int, record);
        QFETCH(bool, acceptAnyType);
        QFETCH(bool, okEnabled);
        QFETCH(bool, accepted);
        QFETCH(int, index);
        QFETCH(QString, refusal);
        QFETCH(QString, expanded);
        Workstation ws;
        fillDevices(ws);
        ScriptedPrompts prompts;
        int chosen = -5;
        TDestinationForm picker(nullptr, &chosen, acceptAnyType);
        picker.show();
        QCOMPARE(picker.ListBox1->currentRow(), 0);  // FormShow
        picker.ListBox1->setCurrentRow(rowOfRecord(picker, record));
        QCOMPARE(chosen, record);
        QCOMPARE(picker.lblSelected->text(), QLatin1String(Lab[record].ip));
        QCOMPARE(picker.btnOk->isEnabled(), okEnabled);
        if (!refusal.isEmpty())
            prompts.answer(Ok, refusal, QStringLiteral("Velmor Lab Duvo Studio"));
        picker.ListBox1DblClick();  // the same as OK, also while OK is disabled
        QCOMPARE(picker.result(), accepted ? int(QDialog::Accepted) : int(QDialog::Rejected));
        QCOMPARE(chosen, index);
        QCOMPARE(prompts.pending(), 0);
        if (!refusal.isEmpty()) {
            const PromptRequest &r = prompts.asked().last();
            QCOMPARE(r.kind, PromptKind::Task);
            QCOMPARE(r.instruction, QStringLiteral("Duvo Device Selection"));
            QCOMPARE(r.icon, PromptIcon::Information);
            QCOMPARE(r.expandedText, expanded);
            QCOMPARE(r.expandControlText, QStringLiteral("Click to hide"));
            QCOMPARE(r.collapseControlText, QStringLiteral("Click to see more"));
            QVERIFY(r.radioButtons.isEmpty());
            QVERIFY(ws.TaskDialog1.ExpandedText.isEmpty());
        } else {
            QVERIFY(prompts.asked().isEmpty());
        }
    }

    void okWithoutClickPicksTheFirstItem()
    {
        Workstation ws;
        fillDevices(ws);
        int chosen = -5;
        TDestinationForm picker(nullptr, &chosen, false);
        picker.show();
        QVERIFY(clickButton(&picker, QStringLiteral("btnOk")));
        QCOMPARE(picker.result(), int(QDialog::Accepted));
        QCOMPARE(chosen, 0);
    }

    void secondConstructorNeverReturnsTheExcludedDevice()
    {
        Workstation ws;
        fillDevices(ws);
        ws.FDeviceList.at(5)->unreachable = 0;  // a healthy second record on the address of 0
        int chosen = -5;
        TDestinationForm picker(nullptr, &chosen, 0, false);
        QCOMPARE(picker.lblSelected->text(), QStringLiteral("127.0.121.11"));  // item 0 chosen at once
        QCOMPARE(chosen, 1);
        QCOMPARE(picker.ListBox1->count(), 4);
        picker.ListBox1->setCurrentRow(rowOfRecord(picker, 5));
        QCOMPARE(chosen, 5);
        picker.btnOkClick();
        QCOMPARE(picker.result(), int(QDialog::Accepted));
        QCOMPARE(chosen, 5);
    }

    void secondConstructorWithOnlyTheExcludedDevice()
    {
        Workstation ws;
        fillDevices(ws, 1);
        int chosen = -5;
        TDestinationForm picker(nullptr, &chosen, 0, false);
        QCOMPARE(picker.ListBox1->count(), 0);
        QVERIFY(!picker.btnOk->isEnabled());
        QCOMPARE(picker.lblSelected->text(), QStringLiteral("-"));
        QCOMPARE(chosen, -5);
    }

    void multiPickerOffersAllButTheSource()
    {
        Workstation ws;
        fillDevices(ws);
        ws.FDeviceList.at(3)->pickRow = 7;
        ws.FDeviceList.at(3)->selected = 1;
        int source = 1;
        TMultiSelForm picker(nullptr, &source);
        QCOMPARE(MultiSelForm, &picker);
        QCOMPARE(picker.ListBox1->count(), 4);
        const int rows[] = {0, -1, 1, -1, 2, 3};
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(ws.FDeviceList.at(i)->pickRow, rows[i]);
            QCOMPARE(ws.FDeviceList.at(i)->selected, 0);
        }
        QVERIFY(!picker.btnOk->isEnabled());
    }

    void multiPickerSelectAllKeepsOnlyIdleDevices()
    {
        Workstation ws;
        fillDevices(ws, 3);  // idle DUVO 24, running DUVO 96, idle SV cycler
        int source = -1;
        TMultiSelForm picker(nullptr, &source);
        picker.show();
        picker.ListBox1->setCurrentRow(2);
        QVERIFY(clickButton(&picker, QStringLiteral("btnSelectAll")));
        QCOMPARE(picker.btnSelectAll->text(), QStringLiteral("Unselect All"));
        QCOMPARE(picker.ListBox1->item(0)->checkState(), Qt::Checked);
        QCOMPARE(picker.ListBox1->item(1)->checkState(), Qt::Unchecked);
        QCOMPARE(picker.ListBox1->item(2)->checkState(), Qt::Unchecked);
        QCOMPARE(ws.FDeviceList.at(0)->selected, 1);
        QCOMPARE(ws.FDeviceList.at(1)->selected, 0);
        QCOMPARE(ws.FDeviceList.at(2)->selected, 0);
        QVERIFY(picker.btnOk->isEnabled());
        QCOMPARE(picker.ListBox1->currentRow(), 2);  // the remembered item

        QVERIFY(clickButton(&picker, QStringLiteral("btnSelectAll")));
        QCOMPARE(picker.btnSelectAll->text(), QStringLiteral("Select All"));
        QCOMPARE(ws.FDeviceList.at(0)->selected, 0);
        QVERIFY(!picker.btnOk->isEnabled());
    }

    void multiPickerSpaceTogglesOnceAndChecksTheToggledItem()
    {
        Workstation ws;
        fillDevices(ws, 3);
        int source = -1;
        TMultiSelForm picker(nullptr, &source);
        picker.show();
        QVERIFY(QTest::qWaitForWindowExposed(&picker));
        picker.ListBox1->setFocus();
        picker.ListBox1->setCurrentRow(0);
        QTest::keyClick(picker.ListBox1, Qt::Key_Space);
        QCOMPARE(picker.ListBox1->item(0)->checkState(), Qt::Checked);
        QCOMPARE(ws.FDeviceList.at(0)->selected, 1);
        QVERIFY(picker.btnOk->isEnabled());
        QTest::keyClick(picker.ListBox1, Qt::Key_Space);
        QCOMPARE(picker.ListBox1->item(0)->checkState(), Qt::Unchecked);
        QCOMPARE(ws.FDeviceList.at(0)->selected, 0);
        QVERIFY(!picker.btnOk->isEnabled());

        // A click on the check box of an item that is not the current one acts on that item.
        picker.ListBox1->setCurrentRow(0);
        picker.ListBox1->item(1)->setCheckState(Qt::Checked);  // the running device
        QCOMPARE(picker.ListBox1->item(1)->checkState(), Qt::Unchecked);
        QCOMPARE(ws.FDeviceList.at(1)->selected, 0);
        QCOMPARE(picker.ListBox1->item(0)->checkState(), Qt::Unchecked);
        QVERIFY(!picker.btnOk->isEnabled());
    }

    void multiPickerWithNoDevices()
    {
        Workstation ws;
        int source = -1;
        TMultiSelForm picker(nullptr, &source);
        picker.show();
        QVERIFY(!picker.btnSelectAll->isEnabled());
        picker.btnSelectAllClick();
        QCOMPARE(picker.btnSelectAll->text(), QStringLiteral("Select All"));
    }
};

QTEST_MAIN(TestPickers)
#include "tst_pickers.moc"
