// The load-from-disk manager window against a simulated instrument (127.0.203.0/24): the
// disk pane's details and commands, the instrument pane's file commands, the Load rule, a load
// run through the window, and View after a run.

#include "protocols/forms/PaneDialogs.h"
#include "protocols/forms/TFolderNameForm.h"
#include "protocols/forms/TLoadProtoDskForm.h"
#include "protocols/ProtocolFile.h"
#include "link/Workstation.h"
#include "GuiTest.h"
#include "ModalWindow.h"
#include "RequestSummary.h"
#include "ScriptedPrompts.h"
#include "SimulatedLab.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace duvo;
using namespace duvo::test;

namespace {

const char *const Base = "127.0.203";

struct Lab {
    SimulatedLab sim{Base, 1};
    Workstation ws;
    QTemporaryDir dir;

    Lab()
    {
        auto d = std::make_unique<DVDEVICEINFO_T>();
        d->ipAddress = sim.address(0);
        d->typeText = "DUVO 24";
        d->deviceId = "DU100";
        d->runState = "Stopped";
        ws.FDeviceList.Add(std::move(d));
        sim.instrument(0).makeFolder("OPEN");
        sim.instrument(0).putProtocol("OPEN", "PCR3", "<Root>old</Root>");
        ws.FDefaultFolder = dir.path() + QLatin1Char('/');
    }
    QString ip() const { return QString::fromStdString(sim.address(0)); }
    QString path(const QString &name) const { return dir.path() + QLatin1Char('/') + name; }
    void file(const QString &name, const std::string &stored, const std::string &doc)
    {
        QVERIFY(WriteProtocolFile(path(name), stored, doc, int(doc.size())));
    }
};

struct EditorRecorder {
    struct Call {
        QString xml, saveFileName, name;
        bool fromDevice;
    };
    QList<Call> calls;
    ProtocolEditorOpener previous;
    EditorRecorder()
    {
        previous = ProtocolEditorOpening();
        ProtocolEditorOpening() = [this](QWidget *, const QString &xml, bool fromDevice, const QString &save,
                                         const QString &name, const QString &, const QString &) {
            calls << Call{xml, save, name, fromDevice};
        };
    }
    ~EditorRecorder() { ProtocolEditorOpening() = previous; }
};

void openFolder(TLoadProtoDskForm &form, const QString &folder)
{
    ProtocolPaneModel &m = form.targetPane();
    m.setSelected(FindListItem(m.markups(), folder));
    form.ListBox2DblClick();
}

} // namespace

class TestLoadForm : public QObject {
    Q_OBJECT
private slots:
    void opensOnTheDefaultFolderWithTheOnlyDevice()
    {
        Lab lab;
        QVERIFY2(lab.sim.started(), lab.sim.error().c_str());
        lab.file("A.SVP", "PCR1", "<Root>1</Root>");
        lab.file("low.svp", "PCR2", "<Root>2</Root>");
        ScriptedPrompts prompts;
        TLoadProtoDskForm form(nullptr, lab.ip());
        QCOMPARE(form.diskList().directory(), QDir::cleanPath(lab.dir.path()));
        QCOMPARE(form.diskList().count(), 2);
        QCOMPARE(form.FTargetIndex, 0);
        QCOMPARE(form.FTargetFolder(), QStringLiteral("/"));
        QVERIFY(form.targetPane().isHeader(0));
        QVERIFY(findChildNamed<QWidget>(&form, "btnNewDir2")->isEnabled());
        QVERIFY(!form.btnCopyToTarget->isEnabled());
        // Details only for ".SVP" in capitals; the lower-case file leaves the buttons alone.
        form.diskList().setSelected(0);
        form.ListBox1Change();
        QCOMPARE(form.NameLabel1->text(), QStringLiteral("PCR1"));
        QCOMPARE(form.SizeLabel1->text(), QStringLiteral("14 bytes"));
        QVERIFY(form.btnEdit1->isEnabled());
        form.diskList().setSelected(1);
        form.ListBox1Change();
        QCOMPARE(form.NameLabel1->text(), QStringLiteral("PCR1"));
        // The Load rule: a checked file and an instrument pane with items.
        form.diskList().setChecked(0, true);
        form.ListBox1CheckClick();
        QVERIFY(form.btnCopyToTarget->isEnabled());
        // At the root the load is refused.
        prompts.answer(Ok, QStringLiteral("Please navigate to a target folder!"), QStringLiteral("Information"));
        lab.sim.clearRequests();
        QVERIFY(clickButton(&form, "btnCopyToTarget"));
        QCOMPARE(prompts.pending(), 0);
        QVERIFY(lab.sim.requests(0).empty());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        openFolder(form, "OPEN");
        saveShot(form, QStringLiteral("TLoadProtoDskForm"));
    }

    void aBrokenFileShowsTheReadersBoxAndNoDetails()
    {
        Lab lab;
        QVERIFY(lab.sim.started());
        {
            QFile junk(lab.path("JUNK.SVP"));
            QVERIFY(junk.open(QIODevice::WriteOnly));
            junk.write(QByteArray(200, 'x'));
        }
        ScriptedPrompts prompts;
        prompts.answer(Ok, QStringLiteral("SQLite exception"));
        TLoadProtoDskForm form(nullptr, QString());
        form.diskList().setSelected(0);
        form.ListBox1Change();
        QCOMPARE(prompts.pending(), 0);
        QVERIFY(!form.btnEdit1->isEnabled());
        QVERIFY(!form.btnDelFile1->isEnabled());
        QCOMPARE(form.FTargetIndex, -1);
        QCOMPARE(form.targetPane().count(), 0);
    }

    // View opens the selected file's own protocol under its own path, also after a load run
    // has read other files.
    void viewAfterARunOpensTheSelectedFile()
    {
        Lab lab;
        QVERIFY(lab.sim.started());
        lab.file("A.SVP", "PCR1", "<Root>1</Root>");
        lab.file("B.SVP", "PCR2", "<Root>2</Root>");
        ScriptedPrompts prompts;
        EditorRecorder editor;
        TLoadProtoDskForm form(nullptr, lab.ip());
        openFolder(form, "OPEN");
        QCOMPARE(form.FTargetFolder(), QStringLiteral("/OPEN"));
        form.diskList().setSelected(0);
        form.ListBox1Change();
        QVERIFY(clickButton(&form, "btnSelectAllSource"));
        QCOMPARE(form.diskList().selected(), 0);
        prompts.answerRadio(Ok, 0);
        QVERIFY(clickButton(&form, "btnCopyToTarget"));
        QCOMPARE(lab.sim.instrument(0).protocol("OPEN", "PCR2").value_or(""), std::string("<Root>2</Root>"));
        QCOMPARE(form.FDiskName, QStringLiteral("PCR2"));  // the last file the run read
        QVERIFY(!form.diskList().anyChecked());
        QVERIFY(!form.btnCopyToTarget->isEnabled());
        QVERIFY(form.statusText().isEmpty());
        QVERIFY(clickButton(&form, "btnEdit1"));
        QCOMPARE(editor.calls.size(), 1);
        QCOMPARE(editor.calls.at(0).xml, QStringLiteral("<Root>1</Root>"));
        QCOMPARE(editor.calls.at(0).name, QStringLiteral("PCR1"));
        QCOMPARE(editor.calls.at(0).saveFileName, lab.path("A.SVP"));
        QVERIFY(!editor.calls.at(0).fromDevice);
    }

    // The close box while View waits 2 s for the instrument: the exchange ends at once, no
    // editor and no error box follow, and the window closes when the command has ended.
    void closeBoxDuringAViewClosesOnceItEnds()
    {
        Lab lab;
        QVERIFY(lab.sim.started());
        lab.sim.addFault(0, {duvosim::FaultKind::Delay, "GetProtocol", 0, {}, 2000, 1});
        ScriptedPrompts prompts;
        EditorRecorder editor;
        auto *form = new TLoadProtoDskForm(nullptr, lab.ip());
        QPointer<TLoadProtoDskForm> alive(form);
        form->show();
        openFolder(*form, "OPEN");
        form->targetPane().setSelected(FindListItem(form->targetPane().markups(), "PCR3"));
        form->ListBox2Click();

        bool closed = false, visibleAfterClose = false;
        QElapsedTimer sinceClose;
        QTimer poll;
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, form, [&] {
            bool fetching = false;
            for (const auto &e : lab.sim.requests(0))
                fetching = fetching || e.command == "GetProtocol";
            if (!closed && fetching) {
                QTest::qWait(100);  // the fetch is surely waiting now
                sinceClose.start();
                form->close();
                closed = true;
                visibleAfterClose = form->isVisible();
                poll.stop();
            }
        });
        poll.start();
        QVERIFY(clickButton(form, "btnEdit2"));  // returns when the command has ended
        QVERIFY(closed);
        QVERIFY(visibleAfterClose);
        QVERIFY2(sinceClose.elapsed() < 1500, "the close ended the waiting exchange");
        QVERIFY(!form->isVisible());
        QVERIFY(editor.calls.isEmpty());
        QVERIFY(prompts.asked().isEmpty());
        QVERIFY2(alive, "the close hid the window and left it to its owner");
        delete form;
    }

    void deleteDiskFileAsksFirst()
    {
        Lab lab;
        QVERIFY(lab.sim.started());
        lab.file("A.SVP", "PCR1", "<Root>1</Root>");
        ScriptedPrompts prompts;
        TLoadProtoDskForm form(nullptr, QString());
        form.diskList().setSelected(0);
        form.ListBox1Change();
        prompts.answer(Cancel, QStringLiteral("Do you want to delete "), QStringLiteral("Delete File"));
        QVERIFY(clickButton(&form, "btnDelFile1"));
        QVERIFY(QFile::exists(lab.path("A.SVP")));
        form.diskList().setSelected(0);
        prompts.answer(Ok, QDir::toNativeSeparators(lab.path("A.SVP")) + "?");
        QVERIFY(clickButton(&form, "btnDelFile1"));
        QVERIFY(!QFile::exists(lab.path("A.SVP")));
        QCOMPARE(form.diskList().count(), 0);
        QCOMPARE(prompts.pending(), 0);
    }

    // Saving an instrument file writes the instrument's name, whatever the dialog was given,
    // and the disk pane is read anew.
    void saveInstrumentFileToDisk()
    {
        Lab lab;
        QVERIFY(lab.sim.started());
        ScriptedPrompts prompts;
        TLoadProtoDskForm form(nullptr, lab.ip());
        openFolder(form, "OPEN");
        form.targetPane().setSelected(1);
        form.ListBox2Click();
        QVERIFY(form.findChild<QWidget *>("btnSaveFile2")->isEnabled());
        prompts.answerPath(lab.path("OTHER.SVP"));
        QVERIFY(clickButton(&form, "btnSaveFile2"));
        std::string name, doc, size;
        QVERIFY(ReadProtocolFile(lab.path("OTHER.SVP"), name, doc, size));
        QCOMPARE(name, std::string("PCR3"));
        QCOMPARE(form.diskList().count(), 1);
    }
    void instrumentPaneCommandsChangeTheInstrument()
    {
        Lab lab;
        QVERIFY(lab.sim.started());
        ScriptedPrompts prompts;
        TLoadProtoDskForm form(nullptr, lab.ip());
        auto sent = [&lab](const char *pattern) {
            QStringList out;
            for (const auto &e : lab.sim.requests(0))
                out << RequestSummary(e);
            return out.filter(QRegularExpression(QLatin1String(pattern)));
        };
        // Delete file: asked first, then the folder is shown again without it.
        openFolder(form, "OPEN");
        QCOMPARE(form.FTargetFolder(), QStringLiteral("/OPEN"));
        form.targetPane().setSelected(FindListItem(form.targetPane().markups(), "PCR3"));
        form.ListBox2Click();
        prompts.answer(Ok, QStringLiteral("Do you want to delete PCR3?"), QStringLiteral("Delete File"));
        lab.sim.clearRequests();
        QVERIFY(clickButton(&form, "btnDelFile2"));
        QCOMPARE(prompts.pending(), 0);
        QCOMPARE(sent("^DelFile"), QStringList{"DelFile OPEN/PCR3"});
        QVERIFY(!lab.sim.instrument(0).protocol("OPEN", "PCR3"));
        QVERIFY(!form.targetPane().present(QStringLiteral("PCR3")));
        QVERIFY(form.statusText().isEmpty());
        QVERIFY(form.btnCancelOrClose->isEnabled());
        // ".." goes back to the root, where a folder can be made.
        form.targetPane().setSelected(0);
        form.ListBox2DblClick();
        QCOMPARE(form.FTargetFolder(), QStringLiteral("/"));
        QVERIFY(findChildNamed<QWidget>(&form, "btnNewDir2")->isEnabled());
        lab.sim.clearRequests();
        {
            auto watch = onNextModal<TFolderNameForm>([](TFolderNameForm *d) {
                QTest::keyClicks(d->edtFolder1, QStringLiteral("newone"));
                QTest::mouseClick(d->btnOk, Qt::LeftButton);
            });
            QVERIFY(clickButton(&form, "btnNewDir2"));
            QVERIFY(watch->acted());
        }
        QCOMPARE(sent("^(Md|SetAttrValue)"), (QStringList{"Md NEWONE", "SetAttrValue NEWONE password "}));
        QVERIFY(form.targetPane().present(QStringLiteral("NEWONE")));
        // Delete folder: its files first, then the folder; the root is listed again.
        lab.sim.instrument(0).putProtocol("NEWONE", "PCR7", "<Root>7</Root>");
        form.targetPane().setSelected(FindListItem(form.targetPane().markups(), "NEWONE"));
        form.ListBox2Click();
        prompts.answer(Ok, QStringLiteral("Do you want to delete NEWONE and all its contents?"),
                       QStringLiteral("Delete Folder"));
        lab.sim.clearRequests();
        QVERIFY(clickButton(&form, "btnDelDir2"));
        QCOMPARE(prompts.pending(), 0);
        QCOMPARE(sent("^(DelFile|Rd)"), (QStringList{"DelFile NEWONE/PCR7", "Rd NEWONE"}));
        QVERIFY(!lab.sim.instrument(0).folder("NEWONE"));
        QVERIFY(!form.targetPane().present(QStringLiteral("NEWONE")));
        QVERIFY(form.statusText().isEmpty());
    }
};

QTEST_MAIN(TestLoadForm)
#include "tst_loadform.moc"
