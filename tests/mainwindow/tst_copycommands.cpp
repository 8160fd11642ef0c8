// The main window's "Copy Protocol" and "Load Protocol from Disk" against simulated
// instruments (127.0.204.0/24): which device each preselects, and the auto-refresh timer off
// while the window is open and back on afterwards.

#include "link/Workstation.h"
#include "mainwindow/forms/DOzerAvirAded.h"
#include "protocols/forms/TCopyProtocolForm.h"
#include "protocols/forms/TLoadProtoDskForm.h"
#include "GuiTest.h"
#include "ScriptedPrompts.h"
#include "SimulatedLab.h"
#include "TestFolders.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace duvo;
using namespace duvo::test;

namespace {

struct Seen {
    QString window, sourceIp, targetIp;
    bool timerActive = true;
};

// Clicks a ribbon button; the modal window it opens is looked at and closed from a timer.
Seen openAndClose(DOzerAvirAded &form, const char *button)
{
    Seen seen;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget *w = QApplication::activeModalWidget();
        if (!w)
            return;
        seen.window = w->objectName();
        seen.timerActive = form.DuvoTimer.isActive();
        if (auto *copy = qobject_cast<TCopyProtocolForm *>(w)) {
            seen.sourceIp = copy->FSourceIP();
            seen.targetIp = copy->FTargetIP();
        } else if (auto *load = qobject_cast<TLoadProtoDskForm *>(w)) {
            seen.targetIp = load->FTargetIP();
        }
        poll.stop();
        w->close();
    });
    poll.start();
    clickButton(&form, QLatin1String(button));
    return seen;
}

} // namespace

class TestCopyCommands : public QObject {
    Q_OBJECT
private:
    QTemporaryDir FConfig;

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", FConfig.path().toUtf8());
        qputenv("DUVO_NO_SLEEP_INHIBITOR", "1");
    }

    void preselection_data()
    {
        QTest::addColumn<int>("devices");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("window");
        QTest::addColumn<int>("source");
        QTest::addColumn<int>("target");
        QTest::newRow("copy, two") << 2 << "btnCopyProtocol" << "CopyProtocolForm" << 0 << 1;
        QTest::newRow("copy, three") << 3 << "btnCopyProtocol" << "CopyProtocolForm" << -1 << -1;
        QTest::newRow("load, one") << 1 << "btnLoadFromDisk" << "LoadProtoDskForm" << -1 << 0;
        QTest::newRow("load, two") << 2 << "btnLoadFromDisk" << "LoadProtoDskForm" << -1 << -1;
    }
    void preselection()
    {
        QFETCH(int, devices);
        QFETCH(QString, button);
        QFETCH(QString, window);
        QFETCH(int, source);
        QFETCH(int, target);
        TempProgramFolder folder;
        SimulatedLab lab("127.0.204", devices);
        QVERIFY2(lab.started(), lab.error().c_str());
        ScriptedPrompts prompts;
        DOzerAvirAded form;
        for (int k = 0; k < devices; ++k) {
            auto d = std::make_unique<DVDEVICEINFO_T>();
            d->ipAddress = lab.address(k);
            d->typeText = "DUVO 96";
            d->runState = "Stopped";
            form.FDeviceList.Add(std::move(d));
        }
        form.SetDeviceControlsEnabled(true);
        form.DuvoTimer.start();
        const Seen seen = openAndClose(form, button.toLatin1().constData());
        QCOMPARE(seen.window, window);
        QVERIFY(!seen.timerActive);
        QVERIFY(form.DuvoTimer.isActive());
        QCOMPARE(seen.sourceIp, source < 0 ? QString() : QString::fromStdString(lab.address(source)));
        QCOMPARE(seen.targetIp, target < 0 ? QString() : QString::fromStdString(lab.address(target)));
        QVERIFY(prompts.asked().isEmpty());
        form.DuvoTimer.stop();
    }
};

QTEST_MAIN(TestCopyCommands)
#include "tst_copycommands.moc"
