#include "common/ProgramFolder.h"
#include "link/CppSQLite3.h"
#include "link/DatabaseFiles.h"
#include "link/Settings.h"
#include "link/SettingsRow.h"
#include "link/Workstation.h"
#include "link/forms/TPreferenceForm.h"
#include "GuiTest.h"
#include "ScriptedPrompts.h"
#include "TestFolders.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

using namespace duvo;
using namespace duvo::test;

namespace {

struct Bench {
    TempProgramFolder folder;
    ScriptedPrompts prompts;
    Workstation ws;
    Bench() { DatabasePath = folder.databasePath(); }
    ~Bench() { DatabasePath.clear(); }

    void makeDatabase(const char *preferencedata = nullptr)
    {
        QCOMPARE(CreateMainDatabase(DatabasePath), 1);
        QVERIFY(WriteDbVersion(DatabasePath));
        if (preferencedata)
            QVERIFY(WriteSettingsColumn(DatabasePath, SettingsRowKey(), QStringLiteral("preferencedata"),
                                        QString::fromUtf8(preferencedata))
                        .changes == 1);
    }
    QString stored()
    {
        CppSQLite3DB db;
        db.OpenFile(DatabasePath);
        CppSQLite3Query q = db.RunQuery("select preferencedata from config_tbl where configname = '\"DEFAULT\"';");
        return q.StringColumnNamed("preferencedata");
    }
    int rowCount()
    {
        CppSQLite3DB db;
        db.OpenFile(DatabasePath);
        return db.RunScalar("select count(*) from config_tbl;");
    }
};

QString quoted(const QString &s)
{
    return QLatin1Char('"') + s + QLatin1Char('"');
}

} // namespace

class TestPreferenceForm : public QObject {
    Q_OBJECT
private slots:
    void freshDatabaseShowsFormValuesAndSavesDefaults()
    {
        Bench b;
        b.makeDatabase();
        TPreferenceForm form;
        QVERIFY(!form.loadFailed());
        QCOMPARE(form.windowTitle(), QStringLiteral("Settings"));
        QCOMPARE(form.AppPathLabel1->text(), ProgramFolder());
        QCOMPARE(form.AppPathLabel1->toolTip(), ProgramFolder());
        QCOMPARE(form.edtDefaultFolder1->text(), ProgramFolder());
        QVERIFY(form.GeneralLogBox1->isChecked() && !form.GeneralLogBox1->isEnabled());
        QVERIFY(form.ExceptionLogBox1->isChecked() && !form.ExceptionLogBox1->isEnabled());
        QCOMPARE(form.edtPort1->text(), QStringLiteral("62751"));
        QVERIFY(!form.edtPort1->isEnabled());
        QCOMPARE(form.edtRefresh1->value(), 5);
        QCOMPARE(form.edtSearch1->value(), 10);
        QVERIFY(b.prompts.asked().isEmpty());

        form.show();
        b.prompts.answer(Ok, QStringLiteral("Updated configuration in the database!"), QStringLiteral("Preferences"));
        QVERIFY(clickButton(&form, QStringLiteral("btnOk")));
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(b.stored(), QStringLiteral("1:1:62751:5:10:0::::") + quoted(ProgramFolder()) + QStringLiteral(":0"));
        QCOMPARE(b.rowCount(), 1);
        QCOMPARE(b.ws.FDefaultFolder, ProgramFolder());
        QCOMPARE(b.ws.DuvoTimer.interval(), 5000);
    }

    void storedRowDrivenLikeAUser()
    {
        Bench b;
        b.makeDatabase("0:0:62751:30:20:1:proxyhost:user:pw:\"/data/runs/\":1");
        b.ws.ZavLog1.setEnabled(false);
        b.ws.ZavExceptionLog1.setActive(false);
        b.ws.FNetPort = 1;
        b.ws.FPreferenceData = QStringLiteral("as loaded");
        // Loading a stored switch of 1 runs the box's handler.
        b.prompts.answer(Ok, QStringLiteral("Make sure you have configured the email account"), QStringLiteral("E-mail"));
        TPreferenceForm form;
        QVERIFY(!form.loadFailed());
        QCOMPARE(b.prompts.asked().size(), 1);
        // The log boxes come back checked and switch both logs on.
        QVERIFY(form.GeneralLogBox1->isChecked());
        QVERIFY(form.ExceptionLogBox1->isChecked());
        QVERIFY(b.ws.ZavLog1.enabled());
        QVERIFY(b.ws.ZavExceptionLog1.active());
        QCOMPARE(form.edtRefresh1->value(), 30);
        QCOMPARE(form.edtSearch1->value(), 20);
        QVERIFY(form.cbProxy1->isChecked());
        QCOMPARE(form.edtProxyServer->text(), QStringLiteral("proxyhost"));
        QCOMPARE(form.edtProxyUser->text(), QStringLiteral("user"));
        QCOMPARE(form.edtProxyPwd->text(), QStringLiteral("pw"));
        QCOMPARE(form.edtProxyPwd->echoMode(), QLineEdit::Normal);
        QCOMPARE(form.edtDefaultFolder1->text(), QStringLiteral("/data/runs/"));
        QVERIFY(form.EmailBox1->isChecked());

        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.edtRefresh1->setFocus();
        QTest::keyClick(form.edtRefresh1, Qt::Key_Up);
        QTest::keyClicks(form.edtSearch1, QStringLiteral("5"));  // typing is off
        form.edtProxyServer->clear();
        QTest::keyClicks(form.edtProxyServer, QStringLiteral("proxy2"));
        QTest::mouseClick(form.EmailBox1, Qt::LeftButton);  // unchecking shows nothing
        QVERIFY(!form.EmailBox1->isChecked());
        QCOMPARE(form.edtSearch1->value(), 20);

        b.prompts.answer(Ok, QStringLiteral("Updated configuration in the database!"), QStringLiteral("Preferences"));
        QVERIFY(clickButton(&form, QStringLiteral("btnOk")));
        QCOMPARE(b.stored(), QStringLiteral("1:1:62751:31:20:1:proxy2:user:pw:\"/data/runs/\":0"));
        QCOMPARE(b.ws.FRefreshSeconds, 31);
        QCOMPARE(b.ws.DuvoTimer.interval(), 31000);
        QCOMPARE(b.ws.FSearchDelay, 20);
        QVERIFY(b.ws.FUseProxy);
        QCOMPARE(b.ws.FProxyServer, QStringLiteral("proxy2"));
        QCOMPARE(b.ws.FProxyUser, QStringLiteral("user"));
        QCOMPARE(b.ws.FProxyPassword, QStringLiteral("pw"));
        QCOMPARE(b.ws.FDefaultFolder, QStringLiteral("/data/runs/"));
        QVERIFY(!b.ws.FMailNotification);
        QCOMPARE(b.ws.FNetPort, 1);  // Save leaves the port ...
        QCOMPARE(b.ws.FPreferenceData, QStringLiteral("as loaded"));  // ... and the loaded text alone
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(b.prompts.pending(), 0);
    }

    // Proxy texts with blanks, ':' and '"' come back as typed, and the fields after them
    // (default folder, e-mail notification) keep their places.
    void proxyTextsRoundTrip_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::newRow("blank") << "proxy.lab" << "lab user" << "p w";
        QTest::newRow("colon") << "proxy.lab:8080" << "dom:user" << "a:b:c";
        QTest::newRow("quotes") << "\"proxy\"" << "us\"er" << "\"";
        QTest::newRow("leading blank and empty") << " proxy" << "" << "  ";
    }
    void proxyTextsRoundTrip()
    {
        QFETCH(QString, server);
        QFETCH(QString, user);
        QFETCH(QString, password);
        Bench b;
        b.makeDatabase("1:1:62751:5:10:1:x:y:z:\"/data/runs/\":1");
        b.prompts.answer(Ok, QStringLiteral("Make sure you have configured the email account"));
        TPreferenceForm form;
        form.edtProxyServer->setText(server);
        form.edtProxyUser->setText(user);
        form.edtProxyPwd->setText(password);
        b.prompts.answer(Ok, QStringLiteral("Updated configuration in the database!"));
        form.btnOkClick();
        // The next start reads the row back.
        Workstation next;
        QVERIFY2(ApplyPreferenceData(next, b.stored()), qPrintable(b.stored()));
        QCOMPARE(next.FProxyServer, server);
        QCOMPARE(next.FProxyUser, user);
        QCOMPARE(next.FProxyPassword, password);
        QCOMPARE(next.FDefaultFolder, QStringLiteral("/data/runs/"));
        QVERIFY(next.FMailNotification);
        QVERIFY(next.FUseProxy);
        QCOMPARE(b.prompts.pending(), 0);
    }

    void checkingEmailBoxShowsNotice()
    {
        Bench b;
        b.makeDatabase();
        TPreferenceForm form;
        form.show();
        b.prompts.answer(Ok, QStringLiteral("Make sure you have configured the email account in order to receive "
                                            "notifications!"),
                         QStringLiteral("E-mail"));
        QTest::mouseClick(form.EmailBox1, Qt::LeftButton);
        QVERIFY(form.EmailBox1->isChecked());
        QCOMPARE(b.prompts.asked().size(), 1);
    }

    void browsedFolderGetsTrailingSeparator()
    {
        Bench b;
        b.makeDatabase();
        TPreferenceForm form;
        form.show();
        b.prompts.answerPath(QStringLiteral("/srv/duvo data"));
        QVERIFY(clickButton(&form, QStringLiteral("edtDefaultFolder1Browse")));
        QCOMPARE(b.prompts.asked().last().kind, PromptKind::Folder);
        QCOMPARE(form.edtDefaultFolder1->text(), QStringLiteral("/srv/duvo data/"));
        b.prompts.answerPath(QString());  // cancelled: the folder stays
        QVERIFY(clickButton(&form, QStringLiteral("edtDefaultFolder1Browse")));
        QCOMPARE(form.edtDefaultFolder1->text(), QStringLiteral("/srv/duvo data/"));
        b.prompts.answer(Ok, QStringLiteral("Updated configuration"));
        QVERIFY(clickButton(&form, QStringLiteral("btnOk")));
        QVERIFY(b.stored().endsWith(QStringLiteral(":\"/srv/duvo data/\":0")));
        // The stored folder with its blank reads back whole.
        QVERIFY(LoadSettings(b.ws, SettingsRowKey()));
        QCOMPARE(b.ws.FDefaultFolder, QStringLiteral("/srv/duvo data/"));
    }

    void closeWritesNothing()
    {
        Bench b;
        b.makeDatabase("1:1:62751:5:10:0::::\"/f/\":0");
        TPreferenceForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::keyClick(form.edtRefresh1, Qt::Key_Up);
        QVERIFY(form.btnCancel->isDefault());
        QTest::keyClick(&form, Qt::Key_Return);  // Enter means Close
        QCOMPARE(form.result(), int(QDialog::Rejected));
        QCOMPARE(b.stored(), QStringLiteral("1:1:62751:5:10:0::::\"/f/\":0"));
        QCOMPARE(b.ws.FRefreshSeconds, 5);
    }

    void emptyTableGetsRowAdded()
    {
        Bench b;
        QCOMPARE(CreateMainDatabase(DatabasePath), 1);
        TPreferenceForm form;
        b.prompts.answer(Ok, QStringLiteral("Added configuration to the database!"), QStringLiteral("Preferences"));
        form.btnOkClick();
        QCOMPARE(b.rowCount(), 1);
        QVERIFY(b.stored().startsWith(QStringLiteral("1:1:62751:5:10:0:")));
    }

    void missingDatabaseFailsLoad()
    {
        Bench b;
        b.prompts.answer(Ok, QStringLiteral("Can't find the database file!"), QStringLiteral("Database Error"));
        b.prompts.answer(Ok, QStringLiteral("Error during database operation!"), QStringLiteral("Error"));
        TPreferenceForm form;
        QVERIFY(form.loadFailed());
        QCOMPARE(b.prompts.asked().size(), 2);
    }

    void databaseGoneBeforeSave()
    {
        Bench b;
        b.makeDatabase();
        TPreferenceForm form;
        QVERIFY(QFile::remove(DatabasePath));
        b.prompts.answer(Ok, QStringLiteral("Can't find the database file!"), QStringLiteral("Database Error"));
        b.ws.FRefreshSeconds = 17;
        form.btnOkClick();
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(b.ws.FRefreshSeconds, 17);
        QVERIFY(!QFile::exists(DatabasePath));
    }

    void engineErrorFailsLoad()
    {
        Bench b;
        {
            CppSQLite3DB db;
            db.OpenFile(DatabasePath);
            db.RunCommand("create table other(x);");
        }
        b.prompts.answer(Ok, QStringLiteral("Error during loading..."), QStringLiteral("Error"));
        TPreferenceForm form;
        QVERIFY(form.loadFailed());
    }

    void incompleteRowStillOpensSoSaveRepairsIt()
    {
        Bench b;
        b.makeDatabase("1:1:62751:30:10:0::::\"/f/\"");  // ten fields
        b.prompts.answer(Ok, QStringLiteral("Error during loading..."), QStringLiteral("Error"));
        TPreferenceForm form;
        QVERIFY(!form.loadFailed());
        QCOMPARE(form.edtRefresh1->value(), 30);
        QCOMPARE(form.edtDefaultFolder1->text(), QStringLiteral("/f/"));
        b.prompts.answer(Ok, QStringLiteral("Updated configuration"));
        form.btnOkClick();
        QCOMPARE(b.stored(), QStringLiteral("1:1:62751:30:10:0::::\"/f/\":0"));
        QVERIFY(LoadSettings(b.ws, SettingsRowKey()));
    }

    void nonNumericSwitchReported()
    {
        Bench b;
        b.makeDatabase("1:1:62751:5:10:yes::::\"/f/\":0");
        b.prompts.answer(Ok, QStringLiteral("Error during loading..."));
        TPreferenceForm form;
        QVERIFY(!form.cbProxy1->isChecked());
        QCOMPARE(form.edtDefaultFolder1->text(), QStringLiteral("/f/"));
    }
};

QTEST_MAIN(TestPreferenceForm)
#include "tst_preferenceform.moc"
