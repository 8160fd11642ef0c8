// The folder password prompt and the new-folder dialog (127.0.110.0/24): what the edits let
// through, when OK is offered and closes, the prompt shown by the real prompt service for a
// secure folder, the folder security mode, and a pasted name that must not make another folder.

#include "common/forms/QtPrompts.h"
#include "protocols/DeviceFileOperations.h"
#include "protocols/forms/TFolderNameForm.h"
#include "protocols/forms/TPWForm.h"
#include "link/NetExchange.h"
#include "GuiTest.h"
#include "ModalWindow.h"
#include "ScriptedPrompts.h"
#include "SimulatedLab.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace duvo;
using namespace duvo::test;

namespace {
const char *const Base = "127.0.110";
}

class TestFolderDialogs : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { RegisterProtocolPrompts(); }

    // ---- the password prompt -------------------------------------------------------------

    void prompt_typing_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("okEnabled");
        QTest::newRow("letter, digit, exclamation mark") << "a1!" << "A1" << true;
        QTest::newRow("leading blank") << " " << "" << false;
        QTest::newRow("inner blank") << "a b" << "A B" << true;
        QTest::newRow("stops at four") << "abcdef" << "ABCD" << true;
        QTest::newRow("nothing") << "" << "" << false;
    }
    void prompt_typing()
    {
        QFETCH(QString, typed);
        QFETCH(QString, text);
        QFETCH(bool, okEnabled);
        TPWForm f(nullptr, QStringLiteral("AB12"));
        QVERIFY(!f.btnOk->isEnabled());
        QTest::keyClicks(f.edtPW1, typed);
        QCOMPARE(f.edtPW1->text(), text);
        QCOMPARE(f.btnOk->isEnabled(), okEnabled);
        QCOMPARE(f.edtPW1->echoMode(), QLineEdit::Password);
    }

    void prompt_closesOnlyOnTheExpectedPassword()
    {
        TPWForm f(nullptr, QStringLiteral("AB12"));
        f.show();
        QTest::keyClicks(f.edtPW1, "ab13");
        QTest::mouseClick(f.btnOk, Qt::LeftButton);
        QVERIFY(f.isVisible());
        QCOMPARE(f.result(), int(QDialog::Rejected));
        QTest::keyClick(f.edtPW1, Qt::Key_Backspace);
        QTest::keyClicks(f.edtPW1, "2");
        QTest::mouseClick(f.btnOk, Qt::LeftButton);
        QVERIFY(!f.isVisible());
        QCOMPARE(f.result(), int(QDialog::Accepted));
    }

    void prompt_longPasswordHasRoom()
    {
        TPWForm f(nullptr, QStringLiteral("SECRET"));
        f.setWindowTitle(QStringLiteral("Secure Folder: DATA"));
        f.show();
        saveShot(f, QStringLiteral("TPWForm"));
        QTest::keyClicks(f.edtPW1, "secret");
        QCOMPARE(f.edtPW1->text(), QStringLiteral("SECRET"));
        QTest::mouseClick(f.btnOk, Qt::LeftButton);
        QCOMPARE(f.result(), int(QDialog::Accepted));
    }

    // The real service shows the prompt for a secure folder: a wrong password keeps it open,
    // the right one lets the deletion go on; Cancel sends no DelFile.
    void realService_showsThePrompt()
    {
        SimulatedLab lab(Base, 1);
        QVERIFY2(lab.started(), lab.error().c_str());
        lab.instrument(0).makeFolder("DATA", "AB12");
        lab.instrument(0).putProtocol("DATA", "PCR1", "<Root/>");
        TcpClient client;
        client.setTimeout(5000);
        DeviceFileOperations ops(client);
        QtPrompts real;
        PromptsScope scope(&real);

        QString title;
        bool stayedOpen = false;
        auto watch = onNextModal<TPWForm>([&](TPWForm *f) {
            title = f->windowTitle();
            QTest::keyClicks(f->edtPW1, "zz");
            QTest::mouseClick(f->btnOk, Qt::LeftButton);
            stayedOpen = f->isVisible();
            f->edtPW1->clear();
            QTest::keyClicks(f->edtPW1, "ab12");
            QTest::mouseClick(f->btnOk, Qt::LeftButton);
        });
        QCOMPARE(ops.DeleteDeviceProtocol(lab.address(0), "/DATA", "PCR1"), 1);
        QVERIFY(watch->acted());
        QVERIFY(stayedOpen);
        QCOMPARE(title, QStringLiteral("Secure Folder: DATA"));
        QVERIFY(!lab.instrument(0).protocol("DATA", "PCR1"));

        lab.instrument(0).putProtocol("DATA", "PCR2", "<Root/>");
        lab.clearRequests();
        auto cancel = onNextModal<TPWForm>([](TPWForm *f) { QTest::mouseClick(f->btnCancel, Qt::LeftButton); });
        QCOMPARE(ops.DeleteDeviceProtocol(lab.address(0), "DATA", "PCR2"), 0);
        QVERIFY(cancel->acted());
        for (const std::string &r : lab.requestBytes(0))
            QVERIFY2(r.find("DelFile") == std::string::npos, r.c_str());
        QVERIFY(lab.instrument(0).protocol("DATA", "PCR2"));
    }

    // ---- the new-folder dialog ------------------------------------------------------------

    void folder_typing_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("okEnabled");
        QTest::newRow("letter, digit, exclamation mark") << "a1!" << "A1" << true;
        QTest::newRow("leading blank") << " " << "" << false;
        QTest::newRow("stops at seven") << "abcdefghij" << "ABCDEFG" << true;
        QTest::newRow("slash typed") << "a/b" << "AB" << true;
    }
    void folder_typing()
    {
        QFETCH(QString, typed);
        QFETCH(QString, text);
        QFETCH(bool, okEnabled);
        TFolderNameForm f(nullptr);
        QCOMPARE(f.windowTitle(), QStringLiteral("New Folder"));
        QVERIFY(!f.btnOk->isEnabled());
        QTest::keyClicks(f.edtFolder1, typed);
        QCOMPARE(f.edtFolder1->text(), text);
        QCOMPARE(f.btnOk->isEnabled(), okEnabled);
    }

    // A pasted text is checked character by character: "a/b" must not reach MakeDeviceFolder,
    // which would make folder B of it.
    void folder_pasteIsCheckedWhole_data()
    {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("text");
        QTest::newRow("slash inside") << "a/b" << "AB";
        QTest::newRow("leading blank") << " data" << "DATA";
        QTest::newRow("marks") << "d!a*t?a" << "DATA";
    }
    void folder_pasteIsCheckedWhole()
    {
        QFETCH(QString, pasted);
        QFETCH(QString, text);
        TFolderNameForm f(nullptr);
        f.show();
        QApplication::clipboard()->setText(pasted);
        f.edtFolder1->setFocus();
        f.edtFolder1->paste();
        QCOMPARE(f.edtFolder1->text(), text);
        f.edtPW1->setFocus();
        QApplication::clipboard()->setText(QStringLiteral("x/y"));
        f.edtPW1->paste();
        QCOMPARE(f.edtPW1->text(), QStringLiteral("XY"));
    }

    void folder_pastedNameMakesThatFolder()
    {
        SimulatedLab lab(Base, 1);
        QVERIFY2(lab.started(), lab.error().c_str());
        TcpClient client;
        client.setTimeout(5000);
        DeviceFileOperations ops(client);
        ScriptedPrompts prompts;

        TFolderNameForm f(nullptr);
        auto watch = onNextModal<TFolderNameForm>([](TFolderNameForm *d) {
            QApplication::clipboard()->setText(QStringLiteral("a/b"));
            d->edtFolder1->setFocus();
            d->edtFolder1->paste();
            QTest::mouseClick(d->btnOk, Qt::LeftButton);
        });
        QCOMPARE(f.exec(), int(QDialog::Accepted));
        QVERIFY(watch->acted());
        QCOMPARE(ops.MakeDeviceFolder(lab.address(0), f.folderName().toStdString(), false, {}), 1);
        bool ab = false, b = false;
        for (const auto &folder : lab.instrument(0).folders()) {
            ab = ab || folder.name == "AB";
            b = b || folder.name == "B";
        }
        QVERIFY(ab);
        QVERIFY(!b);
    }

    void folder_secureBoxKeepsThePassword()
    {
        TFolderNameForm f(nullptr);
        f.show();
        QVERIFY(!f.GroupBox2->isVisible());
        QTest::mouseClick(f.chkSecureBox1, Qt::LeftButton);
        QVERIFY(f.GroupBox2->isVisible());
        QTest::keyClicks(f.edtPW1, "pw1");
        QVERIFY(!f.btnOk->isEnabled());   // the password does not enable OK
        QTest::keyClicks(f.edtFolder1, "pcr");
        saveShot(f, QStringLiteral("TFolderNameForm"));
        QCOMPARE(f.edtPW1->text(), QStringLiteral("PW1"));
        QTest::mouseClick(f.chkSecureBox1, Qt::LeftButton);
        QVERIFY(!f.GroupBox2->isVisible());
        QCOMPARE(f.password(), QStringLiteral("PW1"));
    }

    void folder_okTrimsTrailingBlanks()
    {
        TFolderNameForm f(nullptr);
        f.show();
        QTest::keyClicks(f.edtFolder1, "ab  ");
        QCOMPARE(f.edtFolder1->text(), QStringLiteral("AB  "));
        QTest::mouseClick(f.btnOk, Qt::LeftButton);
        QCOMPARE(f.result(), int(QDialog::Accepted));
        QCOMPARE(f.folderName(), QStringLiteral("AB"));
    }

    void folder_securityMode()
    {
        TFolderNameForm f(nullptr);
        f.setFolderSecurityMode(QStringLiteral("DATA"));
        f.show();
        QCOMPARE(f.edtFolder1->text(), QStringLiteral("DATA"));
        QVERIFY(f.edtFolder1->isReadOnly());
        QVERIFY(f.chkSecureBox1->isChecked());
        QVERIFY(!f.GroupBox1->isEnabled());
        QVERIFY(f.GroupBox2->isVisible());
        QVERIFY(f.btnOk->isEnabled());
        // OK with an empty password: the caller sends the empty value (clears the password).
        QTest::mouseClick(f.btnOk, Qt::LeftButton);
        QCOMPARE(f.result(), int(QDialog::Accepted));
        QCOMPARE(f.password(), QString());
        QCOMPARE(f.folderName(), QStringLiteral("DATA"));
    }

    // ---- the modal-window helper ----------------------------------------------------------

    // A modal window the action leaves open is closed when the watch's time runs out (the
    // test would fail; here the failure is expected).
    void modalHelper_closesWhatIsLeftOpen()
    {
        TPWForm f(nullptr, QStringLiteral("AB12"));
        auto watch = onNextModal<TPWForm>([](TPWForm *) {}, 200);
        QEXPECT_FAIL("", "the watch fails the test when the window stays open", Continue);
        const int result = f.exec();
        QCOMPARE(result, int(QDialog::Rejected));
        QVERIFY(watch->timedOut());
    }
};

QTEST_MAIN(TestFolderDialogs)
#include "tst_folderdialogs.moc"
