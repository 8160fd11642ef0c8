// The protocol navigator against simulated instruments (127.0.122.0/24): the folder listing
// and the first folder's files, a protected folder shown and returned without its "!", the
// upper-cased View, an instrument with no folders, a refused connection, "Duvo Network" with
// one device, the reload after the browser, and no second exchange while one runs.

#include "duvosim/SimInstrument.h"
#include "link/CommandDocs.h"
#include "link/Workstation.h"
#include "protocols/CyclerStepList.h"
#include "protocols/ProtocolEditing.h"
#include "protocols/forms/BrowseWindows.h"
#include "protocols/forms/TProtocolEditorForm.h"
#include "protocols/forms/TDuvoFileMgrForm.h"
#include "protocols/forms/TProtNavForm.h"
#include "GuiTest.h"
#include "ModalWindow.h"
#include "ScriptedPrompts.h"
#include "SimulatedLab.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

using namespace duvo;
using namespace duvo::test;

namespace {

const char *const Base = "127.0.122";

void fillDevices(Workstation &ws, SimulatedLab &lab, int count)
{
    ws.FDeviceList.Clear();
    for (int k = 0; k < lab.count() && k < count; ++k) {
        auto d = std::make_unique<DVDEVICEINFO_T>();
        d->ipAddress = lab.address(k);
        d->deviceId = "ID" + std::to_string(k);
        d->typeText = lab.instrument(k).type();
        d->runState = "Stopped";
        ws.FDeviceList.Add(std::move(d));
    }
}

// The factory folders, the protected folder DATA (listed "DATA!") with PCR1 and PCR2 and the
// folder Mixed (case kept) with Ab1.
void setUpDrive(duvosim::SimInstrument &in)
{
    in.makeFolder("DATA", "AB12");
    in.putProtocol("DATA", "PCR1", "<Protocol><Name>PCR1</Name></Protocol>");
    in.putProtocol("DATA", "PCR2", "<Protocol><Name>PCR2</Name></Protocol>");
    in.makeFolder("Mixed");
    in.putProtocol("Mixed", "Ab1", "<Protocol><Name>Ab1</Name></Protocol>");
}

// Two DUVO 24 instruments, the first with the drive above.
struct DriveLab : SimulatedLab {
    DriveLab() : SimulatedLab(Base, 2, "DUVO 24")
    {
        if (started())
            setUpDrive(instrument(0));
    }
};

QString folderItem(const char *name, bool secure = false)
{
    return QStringLiteral("<IMG src=\"%1\" align=\"bottom\"><ind x=\"24\">%2")
        .arg(secure ? QStringLiteral("folder_information_ico") : QStringLiteral("folder_ico"), QLatin1String(name));
}

QString fileItem(const char *name)
{
    return QStringLiteral("<IMG src=\"document_ico\" align=\"bottom\"><ind x=\"24\">%1").arg(QLatin1String(name));
}

QStringList texts(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

struct Navigator {
    explicit Navigator(SimulatedLab &lab, int devices = 2)
    {
        fillDevices(ws, lab, devices);
        form = std::make_unique<TProtNavForm>(nullptr, QString::fromStdString(lab.address(0)), QStringLiteral("ID0"),
                                              &folder, &file);
        form->TCPClient1.setTimeout(2000);
    }
    Workstation ws;
    QString folder = QStringLiteral("unset"), file = QStringLiteral("unset");
    std::unique_ptr<TProtNavForm> form;
};

} // namespace

class TestProtNav : public QObject {
    Q_OBJECT
private slots:
    void listsFoldersAndReturnsTheChoice()
    {
        DriveLab lab;
        QVERIFY2(lab.started(), lab.error().c_str());
        ScriptedPrompts prompts;
        Navigator nav(lab);
        TProtNavForm &f = *nav.form;
        QCOMPARE(ProtNavForm, &f);
        QVERIFY(f.btnBrowse->isEnabled());
        QVERIFY(f.btnLoadFromDisk->isEnabled());  // the disk manager is part of the program
        QVERIFY(waitFor([&] { return f.ListBox1->count() == 5 && f.ListBox2->count() == 7; }, 5000));
        QCOMPARE(texts(f.ListBox1), QStringList({folderItem("SYSTEM"), folderItem("SHARED"), folderItem("RECENT"),
                                                 folderItem("DATA", true), folderItem("Mixed")}));
        QCOMPARE(f.lblFolder->text(), QStringLiteral("SYSTEM"));
        QCOMPARE(f.ListBox2->item(0)->text(), fileItem("VALIDAT"));
        QCOMPARE(lab.requestBytes(0), std::vector<std::string>({DirFolders_doc(), DirFiles_doc("SYSTEM")}));
        QVERIFY(!f.btnOk->isEnabled());

        lab.clearRequests();
        f.ListBox1->setCurrentRow(3);
        QCOMPARE(texts(f.ListBox2), QStringList({fileItem("PCR1"), fileItem("PCR2")}));
        QCOMPARE(f.lblFolder->text(), QStringLiteral("DATA"));
        QCOMPARE(f.lblSelected->text(), QStringLiteral("-"));
        QVERIFY(!f.btnOk->isEnabled());
        QCOMPARE(lab.requestBytes(0), std::vector<std::string>({DirFiles_doc("DATA")}));  // no password asked

        f.ListBox2->setCurrentRow(1);
        QCOMPARE(f.lblSelected->text(), QStringLiteral("PCR2"));
        QVERIFY(f.btnOk->isEnabled() && f.btnViewProtocol->isEnabled());
        f.ListBox1->setCurrentRow(4);  // another folder resets the choice
        QCOMPARE(f.lblSelected->text(), QStringLiteral("-"));
        QVERIFY(!f.btnOk->isEnabled());
        f.ListBox1->setCurrentRow(3);
        f.ListBox2->setCurrentRow(0);
        QVERIFY(clickButton(&f, QStringLiteral("btnOk")));
        QCOMPARE(f.result(), int(QDialog::Accepted));
        QCOMPARE(nav.folder, QStringLiteral("DATA"));
        QCOMPARE(nav.file, QStringLiteral("PCR1"));
        QVERIFY(prompts.asked().isEmpty());
    }

    void viewSendsUpperCasedNames()
    {
        DriveLab lab;
        QVERIFY2(lab.started(), lab.error().c_str());
        ScriptedPrompts prompts;
        QStringList opened;
        DeviceProtocolEditorFactory editor = DeviceProtocolEditor();
        DeviceProtocolEditor() = [&](QWidget *owner, const QString &xml, const QString &name, const QString &folder,
                                     const QString &ip) -> QDialog * {
            opened << xml << name << folder << ip;
            auto *d = new QDialog(owner);
            QTimer::singleShot(0, d, &QDialog::accept);
            return d;
        };
        Navigator nav(lab);
        TProtNavForm &f = *nav.form;
        QVERIFY(waitFor([&] { return f.ListBox1->count() == 5; }, 5000));
        f.ListBox1->setCurrentRow(4);
        f.ListBox2->setCurrentRow(0);
        lab.clearRequests();
        QVERIFY(clickButton(&f, QStringLiteral("btnViewProtocol")));
        QCOMPARE(lab.requestBytes(0), std::vector<std::string>({GetProtocol_doc("MIXED", "AB1")}));
        QCOMPARE(opened, QStringList({"<Protocol><Name>Ab1</Name></Protocol>", "AB1", "MIXED",
                                      QString::fromStdString(lab.address(0))}));
        DeviceProtocolEditor() = std::move(editor);

        // The real editor: the fetched protocol, from the device, in its folder.
        CyclerStepList steps;
        ProtocolNew(steps);
        std::string document;
        steps.WriteProtocolXml(QStringLiteral("PCR1"), document);
        lab.instrument(0).putProtocol("DATA", "PCR1", document);
        QString folderText;
        bool importOn = true;
        auto watch = onNextModal<TProtocolEditorForm>([&](TProtocolEditorForm *e) {
            folderText = e->lblFolder->text();
            importOn = e->btnImport->isEnabled();
            e->reject();
        });
        f.ListBox1->setCurrentRow(3);
        f.ListBox2->setCurrentRow(0);
        QVERIFY(clickButton(&f, QStringLiteral("btnViewProtocol")));
        QVERIFY(watch->acted());
        QCOMPARE(folderText, QStringLiteral("Folder: DATA"));
        QVERIFY(!importOn);
        QVERIFY(prompts.asked().isEmpty());  // no password asked for the protected folder
    }

    void instrumentWithNoFolders()
    {
        SimulatedLab lab(Base, 1, "DUVO 96");
        QVERIFY2(lab.started(), lab.error().c_str());
        lab.instrument(0).removeAllFolders();
        ScriptedPrompts prompts;
        Navigator nav(lab, 1);
        TProtNavForm &f = *nav.form;
        QVERIFY(!f.btnBrowse->isEnabled());  // a single device
        QVERIFY(waitFor([&] { return lab.requests(0).size() == 1; }, 5000));
        QTest::qWait(50);
        QCOMPARE(f.ListBox1->count(), 0);
        QCOMPARE(f.ListBox2->count(), 0);
        QCOMPARE(f.lblFolder->text(), QStringLiteral("-"));
        QVERIFY(!f.btnOk->isEnabled());
        QCOMPARE(lab.requests(0).size(), size_t(1));
    }

    void refusedConnection()
    {
        SimulatedLab lab(Base, 1, "DUVO 96");
        QVERIFY2(lab.started(), lab.error().c_str());
        lab.setRefusing(0, true);
        ScriptedPrompts prompts;
        prompts.answer(Ok, QStringLiteral("Error during DirFolders net command"));
        Navigator nav(lab, 1);
        nav.form->Timer1Timer();
        QCOMPARE(prompts.pending(), 0);
        QCOMPARE(prompts.asked().size(), 1);
        QCOMPARE(nav.form->ListBox1->count(), 0);
        QCOMPARE(nav.form->lblFolder->text(), QStringLiteral("-"));
    }

    void reloadsAfterTheBrowser()
    {
        DriveLab lab;
        QVERIFY2(lab.started(), lab.error().c_str());
        ScriptedPrompts prompts;
        Navigator nav(lab);
        TProtNavForm &f = *nav.form;
        QVERIFY(waitFor([&] { return f.ListBox1->count() == 5; }, 5000));
        f.ListBox1->setCurrentRow(3);
        f.ListBox2->setCurrentRow(0);
        lab.clearRequests();
        bool browserSeen = false;
        QTimer::singleShot(50, [&] {
            if (auto *b = qobject_cast<TDuvoFileMgrForm *>(QApplication::activeModalWidget())) {
                browserSeen = true;
                b->accept();  // before its tree is built
            }
        });
        f.btnBrowseClick();
        QVERIFY(browserSeen);
        QCOMPARE(f.lblFolder->text(), QStringLiteral("SYSTEM"));
        QCOMPARE(f.ListBox1->currentRow(), 0);
        QCOMPARE(f.lblSelected->text(), QStringLiteral("-"));
        QCOMPARE(f.ListBox1->count(), 5);
        QCOMPARE(lab.requestBytes(0), std::vector<std::string>({DirFolders_doc(), DirFiles_doc("SYSTEM")}));
    }

    void takesNoInputWhileListing()
    {
        DriveLab lab;
        QVERIFY2(lab.started(), lab.error().c_str());
        ScriptedPrompts prompts;
        Navigator nav(lab);
        TProtNavForm &f = *nav.form;
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QVERIFY(waitFor([&] { return f.ListBox2->count() == 7; }, 5000));
        duvosim::SimFault slow{duvosim::FaultKind::Delay, "DirFiles"};
        slow.delayMs = 400;
        slow.name = "DATA";
        slow.count = 1;
        lab.addFault(0, slow);
        lab.clearRequests();
        bool clicked = false;
        QTimer::singleShot(150, [&] {
            // A click on another folder while DATA is listed.
            const QRect r = f.ListBox1->visualItemRect(f.ListBox1->item(4));
            QTest::mouseClick(f.ListBox1->viewport(), Qt::LeftButton, {}, r.center());
            clicked = true;
        });
        f.ListBox1->setCurrentRow(3);
        QVERIFY(clicked);
        QTest::qWait(50);
        QCOMPARE(lab.requestBytes(0), std::vector<std::string>({DirFiles_doc("DATA")}));
        QCOMPARE(f.ListBox1->currentRow(), 3);
        QCOMPARE(f.ListBox2->count(), 2);
        QVERIFY(prompts.asked().isEmpty());
    }

    void closingStopsTheListing()
    {
        DriveLab lab;
        QVERIFY2(lab.started(), lab.error().c_str());
        duvosim::SimFault slow{duvosim::FaultKind::Delay, "DirFolders"};
        slow.delayMs = 3000;
        lab.addFault(0, slow);
        ScriptedPrompts prompts;
        Navigator nav(lab);
        TProtNavForm &f = *nav.form;
        f.TCPClient1.setTimeout(10000);
        f.show();
        QTimer::singleShot(150, &f, [&] { f.close(); });
        QElapsedTimer t;
        t.start();
        f.Timer1Timer();
        QVERIFY(t.elapsed() < 1500);
        QTest::qWait(100);
        QCOMPARE(lab.requests(0).size(), size_t(1));  // no retry, no DirFiles
        QVERIFY(prompts.asked().isEmpty());
        QCOMPARE(f.ListBox1->count(), 0);
    }
};

QTEST_MAIN(TestProtNav)
#include "tst_protnav.moc"
