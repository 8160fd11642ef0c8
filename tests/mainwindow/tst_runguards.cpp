// The two guards of the handlers that work on instruments: the device record's busy flag
// and the disabled main window, both restored on every way out, exceptions included.

#include "mainwindow/DeviceBusyGuard.h"
#include "mainwindow/forms/DisabledWindowGuard.h"

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

    void windowDisabledAndEnabledAgainAlsoOnThrow()
    {
        QWidget window;
        try {
            DisabledWindowGuard disabled(&window);
            QVERIFY(!window.isEnabled());
            throw std::runtime_error("window failed");
        } catch (const std::runtime_error &) {
        }
        QVERIFY(window.isEnabled());
    }

    void windowDisabledBeforeStaysDisabled()
    {
        QWidget window;
        window.setEnabled(false);
        {
            DisabledWindowGuard disabled(&window);
        }
        QVERIFY(!window.isEnabled());
        // A window destroyed inside the scope is left alone.
        auto *gone = new QWidget;
        {
            DisabledWindowGuard disabled(gone);
            delete gone;
        }
    }
};

QTEST_MAIN(TestRunGuards)
#include "tst_runguards.moc"
