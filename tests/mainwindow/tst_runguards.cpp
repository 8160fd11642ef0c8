// The two guards of the handlers that work on instruments: the device record's busy flag
// and the disabled main window, both restored on every way out, exceptions included.

#include "mainwindow/DeviceBusyGuard.h"
#include "mainwindow/forms/DisabledWindowGuard.h"

#include <QDialog>
#include <QTest>
#include <QWidget>
#include <stdexcept>

namespace {

std::unique_ptr<DVDEVICEINFO_T> device(const std::string &ip)
{
    auto d = std::make_unique<DVDEVICEINFO_T>();
    d->ipAddress = ip;
    return d;
}

} // namespace

class TestRunGuards : public QObject {
    Q_OBJECT
private slots:
    void busyFlagHeldAndClearedAlsoOnThrow()
    {
        DeviceList list;
        list.Add(device("127.0.140.10"));
        list.Add(device("127.0.140.11"));
        try {
            DeviceBusyGuard busy(list, 1);
            QCOMPARE(list.at(1)->busy, int16_t(1));
            QCOMPARE(list.at(0)->busy, int16_t(0));
            busy.release();
            QCOMPARE(list.at(1)->busy, int16_t(0));
            QVERIFY(busy.hold());
            QCOMPARE(list.at(1)->busy, int16_t(1));
            throw std::runtime_error("window failed");
        } catch (const std::runtime_error &) {
        }
        QCOMPARE(list.at(1)->busy, int16_t(0));
    }

    // A rescan while the window was open destroyed the record; the new record at the same
    // index belongs to another scan and keeps its own flag.
    void rescanLeavesTheNewRecordAlone()
    {
        DeviceList list;
        list.Add(device("127.0.140.10"));
        {
            DeviceBusyGuard busy(list, 0);
            list.Clear();
            list.Add(device("127.0.140.12"));
            list.at(0)->busy = 1;  // someone else's
            QVERIFY(!busy.record());
            QVERIFY(!busy.hold());
        }
        QCOMPARE(list.at(0)->busy, int16_t(1));
    }

    void busyGuardOnAMissingIndexDoesNothing()
    {
        DeviceList list;
        DeviceBusyGuard busy(list, 3);
        QVERIFY(!busy.holding());
        QVERIFY(!busy.record());
    }

    // The contents go off; a dialog owned by the window stays usable.
    void windowDisabledAndEnabledAgainAlsoOnThrow()
    {
        QWidget window;
        auto *list = new QWidget(&window);
        auto *button = new QWidget(&window);
        try {
            DisabledWindowGuard disabled(&window);
            QVERIFY(!list->isEnabled() && !button->isEnabled());
            QVERIFY(DisabledWindowGuard::isDisabled(&window));
            QDialog dialog(&window);
            QVERIFY(dialog.isEnabled());
            {
                DisabledWindowGuard nested(&window);
            }
            QVERIFY(!list->isEnabled());
            throw std::runtime_error("window failed");
        } catch (const std::runtime_error &) {
        }
        QVERIFY(list->isEnabled() && button->isEnabled());
        QVERIFY(!DisabledWindowGuard::isDisabled(&window));
    }

    void partDisabledBeforeStaysDisabled()
    {
        QWidget window;
        auto *list = new QWidget(&window);
        auto *button = new QWidget(&window);
        button->setEnabled(false);
        {
            DisabledWindowGuard disabled(&window);
            QVERIFY(!list->isEnabled());
        }
        QVERIFY(list->isEnabled());
        QVERIFY(!button->isEnabled());
        // A window destroyed inside the scope is left alone.
        auto *gone = new QWidget;
        new QWidget(gone);
        {
            DisabledWindowGuard disabled(gone);
            delete gone;
        }
    }
};

QTEST_MAIN(TestRunGuards)
#include "tst_runguards.moc"
