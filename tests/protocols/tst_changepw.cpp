// Folder security against a simulated instrument (127.0.127.0/24): the folder list, which
// folders take a password, the current password asked first, the new password sent (an empty
// one clears it, Cancel sends nothing), a refused connection and an error reply.

#include "duvosim/SimInstrument.h"
#include "link/CommandDocs.h"
#include "protocols/forms/TChangePWForm.h"
#include "protocols/forms/TFolderNameForm.h"
#include "GuiTest.h"
#include "ModalWindow.h"
#include "ScriptedPrompts.h"
#include "SimulatedLab.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QTest>

using namespace duvo;
using namespace duvo::test;

namespace {

const char *const Base = "127.0.127";

// SYSTEM, SHARED, RECENT, DATA (password AB12, listed as "DATA!XYZ") and LOG.
void setUpDrive(duvosim::SimInstrument &in)
{
    in.removeAllFolders();
    for (const char *name : {"SYSTEM", "SHARED", "RECENT"})
        in.makeFolder(name);
    in.makeFolder("DATA", "AB12");
    in.setSecureSuffix("DATA", "XYZ");
    in.makeFolder("LOG");
}

QString folderItem(const char *name, bool secure = false)
{
    return QStringLiteral("<IMG src=\"%1\" align=\"bottom\"><ind x=\"24\">%2")
        .arg(secure ? QStringLiteral("folder_information_ico") : QStringLiteral("folder_ico"), QLatin1String(name));
}

std::unique_ptr<TChangePWForm> openForm(SimulatedLab &lab)
{
    auto f = std::make_unique<TChangePWForm>(nullptr, QString::fromStdString(lab.address(0)), QStringLiteral("ID0"));
    f->TCPClient1.setTimeout(2000);
    f->Timer1Timer();
    return f;
}

// Answers the folder dialog with a password, or cancels it (nullopt).
std::unique_ptr<ModalWatch> answerFolderDialog(const std::optional<QString> &password, QString *shownFolder = nullptr)
{
    return onNextModal<TFolderNameForm>([password, shownFolder](TFolderNameForm *d) {
        if (shownFolder)
            *shownFolder = d->edtFolder1->text() + (d->edtFolder1->isReadOnly() ? "|ro" : "|rw") +
                           (d->chkSecureBox1->isChecked() ? "|secure" : "") +
                           (d->GroupBox1->isEnabled() ? "|group" : "") + (d->btnOk->isEnabled() ? "|ok" : "");
        if (!password) {
            QTest::mouseClick(d->btnCancel, Qt::LeftButton);
            return;
        }
        d->edtPW1->clear();
        QTest::keyClicks(d->edtPW1, *password);
        QTest::mouseClick(d->btnOk, Qt::LeftButton);
    });
}

} // namespace

class TestChangePW : public QObject {
    Q_OBJECT
private slots:
    void listsFoldersAndGuardsTheReservedOnes()
    {
        SimulatedLab lab(Base, 1, "DUVO 24");
        QVERIFY2(lab.started(), lab.error().c_str());
        setUpDrive(lab.instrument(0));
        ScriptedPrompts prompts;
        auto f = openForm(lab);
        QCOMPARE(f->windowTitle(), QStringLiteral("Folder Security"));
        QCOMPARE(f->ListBox1->count(), 5);
        QCOMPARE(f->ListBox1->item(3)->text(), folderItem("DATA", true));
        QCOMPARE(f->ListBox1->item(4)->text(), folderItem("LOG"));
        QCOMPARE(f->lblFolder->text(), QStringLiteral("SYSTEM"));
        QVERIFY(!f->btnSetPW->isEnabled());  // until a click
        const struct { int row; bool enabled; } clicks[] = {{1, false}, {3, true}, {2, false}, {4, true}, {0, false}};
        for (const auto &c : clicks) {
            f->ListBox1->setCurrentRow(c.row);
            f->ListBox1Click();
            QCOMPARE(f->btnSetPW->isEnabled(), c.enabled);
        }
        QCOMPARE(lab.requestBytes(0), std::vector<std::string>({DirFolders_doc()}));
    }

    void changesThenClearsAPassword()
    {
        SimulatedLab lab(Base, 1, "DUVO 24");
        QVERIFY2(lab.started(), lab.error().c_str());
        setUpDrive(lab.instrument(0));
        ScriptedPrompts prompts;
        auto f = openForm(lab);
        f->ListBox1->setCurrentRow(3);
        f->ListBox1Click();
        QCOMPARE(f->lblFolder->text(), QStringLiteral("DATA"));
        lab.clearRequests();

        prompts.answerInput(QStringLiteral("AB12"));
        QString shown;
        auto watch = answerFolderDialog(QStringLiteral("cd34"), &shown);
        f->btnSetPWClick();
        QVERIFY(watch->acted());
        QCOMPARE(prompts.asked().size(), 1);
        QCOMPARE(prompts.asked().first().title, QStringLiteral("Secure Folder: DATA"));
        QCOMPARE(shown, QStringLiteral("DATA|ro|secure|ok"));
        QCOMPARE(lab.requestBytes(0), std::vector<std::string>({GetAttr_doc("DATA", "password"),
                                                                SetAttr_doc("DATA", "password", "CD34")}));
        QVERIFY(lab.requestBytes(0).back().find("<Value>CD34</Value>") != std::string::npos);
        QCOMPARE(lab.instrument(0).folder("DATA")->password, std::string("CD34"));

        // An empty password clears it: the folder is then listed without "!".
        lab.clearRequests();
        prompts.answerInput(QStringLiteral("CD34"));
        watch = answerFolderDialog(QString());
        f->btnSetPWClick();
        QVERIFY(watch->acted());
        QCOMPARE(lab.requestBytes(0).back(), SetAttr_doc("DATA", "password", ""));
        QCOMPARE(lab.instrument(0).folder("DATA")->password, std::string());
        QVERIFY(lab.instrument(0).handleRequest(DirFolders_doc()).reply.find("<Folder>DATA</Folder>") !=
                std::string::npos);
        QCOMPARE(f->ListBox1->item(3)->text(), folderItem("DATA", true));  // not listed again

        // A folder without a password: the dialog at once; Cancel sends nothing.
        lab.clearRequests();
        watch = answerFolderDialog(std::nullopt);
        f->btnSetPWClick();
        QVERIFY(watch->acted());
        QCOMPARE(lab.requestBytes(0), std::vector<std::string>({GetAttr_doc("DATA", "password")}));
        QCOMPARE(prompts.pending(), 0);
    }

    void refusedConnectionLeavesTheListEmpty()
    {
        SimulatedLab lab(Base, 1, "DUVO 24");
        QVERIFY2(lab.started(), lab.error().c_str());
        lab.setRefusing(0, true);
        ScriptedPrompts prompts;
        prompts.answer(Ok, QStringLiteral("Error during DirFolders net command"));
        auto f = openForm(lab);
        QCOMPARE(prompts.pending(), 0);
        QCOMPARE(prompts.asked().size(), 1);
        QCOMPARE(f->ListBox1->count(), 0);
        QCOMPARE(f->lblFolder->text(), QStringLiteral("-"));
        QVERIFY(!f->btnSetPW->isEnabled());
    }

    void errorReplyOfTheChange()
    {
        SimulatedLab lab(Base, 1, "DUVO 24");
        QVERIFY2(lab.started(), lab.error().c_str());
        setUpDrive(lab.instrument(0));
        ScriptedPrompts prompts;
        auto f = openForm(lab);
        f->ListBox1->setCurrentRow(4);
        f->ListBox1Click();
        duvosim::SimFault fault{duvosim::FaultKind::ErrorReply, "SetAttrValue", 9, "Folder locked"};
        fault.name = "LOG";
        lab.addFault(0, fault);
        prompts.answer(Ok, QStringLiteral("Folder locked"), QStringLiteral("Error Set Password"));
        auto watch = answerFolderDialog(QStringLiteral("ZZ99"));
        f->btnSetPWClick();
        QVERIFY(watch->acted());
        QCOMPARE(prompts.pending(), 0);
        QCOMPARE(lab.instrument(0).folder("LOG")->password, std::string());
    }
};

QTEST_MAIN(TestChangePW)
#include "tst_changepw.moc"
