// The main window's "Navigate Protocols" and "Folder Security" against simulated instruments
// (127.0.126.0/24): the window each opens, for which device, with the auto-refresh timer off
// while it is open and on again afterwards.

#include "duvosim/SimInstrument.h"
#include "link/CommandDocs.h"
#include "mainwindow/forms/DOzerAvirAded.h"
#include "mainwindow/forms/TDestinationForm.h"
#include "protocols/forms/TChangePWForm.h"
#include "protocols/forms/TDuvoFileMgrForm.h"
#include "GuiTest.h"
#include "ModalWindow.h"
#include "ScriptedPrompts.h"
#include "SimulatedLab.h"
#include "TestFolders.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

using namespace duvo;
using namespace duvo::test;

namespace {

const char *const Base = "127.0.126";

void fillDevices(Workstation &ws, SimulatedLab &lab)
{
    ws.FDeviceList.Clear();
    for (int k = 0; k < lab.count(); ++k) {
        auto d = std::make_unique<DVDEVICEINFO_T>();
        d->ipAddress = lab.address(k);
        d->deviceId = "ID" + std::to_string(k);
        d->typeText = lab.instrument(k).type();
        d->runState = "Stopped";
        ws.FDeviceList.Add(std::move(d));
    }
}

} // namespace

class TestBrowseCommands : public QObject {
    Q_OBJECT
private slots:
    void navigateOpensTheBrowserWithTheTimerOff()
    {
        TempProgramFolder folder;
        SimulatedLab lab(Base, 2, "DUVO 24");
        QVERIFY2(lab.started(), lab.error().c_str());
        ScriptedPrompts prompts;
        DOzerAvirAded form;
        fillDevices(form, lab);
        form.DuvoTimer.setInterval(60000);  // no status pass during the test
        form.DuvoTimer.start();
        bool timerOff = false;
        QString copyTarget = QStringLiteral("unset");
        int files = -1;
        auto watch = onNextModal<TDuvoFileMgrForm>([&](TDuvoFileMgrForm *b) {
            timerOff = !form.DuvoTimer.isActive();
            copyTarget = b->FCopyTargetIP;
            b->TCPClient1.setTimeout(2000);
            waitFor([b] { return !b->FFileRecords.empty() && !b->building(); }, 5000);
            files = int(b->FFileRecords.size());
            b->accept();
        });
        form.btnNavigateClick();
        QVERIFY(watch->acted());
        QVERIFY(timerOff);
        QCOMPARE(copyTarget, QString());
        QCOMPARE(files, 16);  // two factory drives: 7 service protocols and DEFAULT each
        QVERIFY(form.DuvoTimer.isActive());
    }

    void folderSecurityOpensForThePickedDevice()
    {
        TempProgramFolder folder;
        SimulatedLab lab(Base, 2, "DUVO 24");
        QVERIFY2(lab.started(), lab.error().c_str());
        ScriptedPrompts prompts;
        DOzerAvirAded form;
        fillDevices(form, lab);
        form.DuvoTimer.setInterval(60000);  // no status pass during the test
        form.DuvoTimer.start();
        auto pick = onNextModal<TDestinationForm>([&](TDestinationForm *p) {
            QVERIFY(form.DuvoTimer.isActive());  // the picker runs with the timer as it was
            p->ListBox1->setCurrentRow(1);
            QTest::mouseClick(p->btnOk, Qt::LeftButton);
        });
        bool timerOff = false;
        QString ip, id;
        int folders = -1;
        auto security = onNextModal<TChangePWForm>([&](TChangePWForm *w) {
            timerOff = !form.DuvoTimer.isActive();
            ip = w->ip();
            id = w->id();
            waitFor([w] { return w->ListBox1->count() > 0; }, 5000);
            folders = w->ListBox1->count();
            QTest::mouseClick(w->btnCancel, Qt::LeftButton);
        });
        form.btnSetChangePWClick();
        QVERIFY(pick->acted());
        QVERIFY(security->acted());
        QVERIFY(timerOff);
        QCOMPARE(ip, QString::fromStdString(lab.address(1)));
        QCOMPARE(id, QStringLiteral("ID1"));
        QCOMPARE(folders, 3);
        QVERIFY(form.DuvoTimer.isActive());
        QVERIFY(lab.requests(0).empty());

        // Cancel in the picker opens nothing.
        auto cancel = onNextModal<TDestinationForm>([](TDestinationForm *p) { p->reject(); });
        form.btnSetChangePWClick();
        QVERIFY(cancel->acted());
        QCOMPARE(lab.requests(1).size(), size_t(1));
        QVERIFY(form.DuvoTimer.isActive());
    }
};

QTEST_MAIN(TestBrowseCommands)
#include "tst_browsecommands.moc"
