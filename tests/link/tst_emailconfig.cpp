// The maildata text and the e-mail settings dialog: loading, Save with its port rules, and the
// test mail against a real SMTP server on loopback.

#include "link/CppSQLite3.h"
#include "link/DatabaseFiles.h"
#include "link/MailSettings.h"
#include "link/Settings.h"
#include "link/SettingsRow.h"
#include "link/Workstation.h"
#include "link/forms/TEmailConfigForm.h"
#include "link/forms/TPreferenceForm.h"
#include "GuiTest.h"
#include "ScriptedPrompts.h"
#include "SmtpTestServer.h"
#include "TestFolders.h"

#include <QApplication>
#include <QJsonArray>
#include <QPointer>
#include <QTimer>
#include <QFile>
#include <QTest>

#include <stdexcept>

using namespace duvo;
using namespace duvo::test;

Q_DECLARE_METATYPE(duvo::MailSettings)

namespace {

const QString kInitialMailData = QStringLiteral("25:\"\":\"\":\"\":1:\"\":\"\":0");

void createDatabase(const QString &path)
{
    QCOMPARE(CreateMainDatabase(path), 1);
}

void putRow(const QString &path, const QString &column, const QString &value)
{
    CppSQLite3DB db;
    db.OpenFile(path);
    CppSQLite3Buffer sql;
    const QByteArray col = column.toLatin1();
    const QByteArray format = "insert into config_tbl (configname," + col + ") values (%Q,%Q);";
    sql.Format(format.constData(), SettingsRowKey().toUtf8().constData(), value.toUtf8().constData());
    db.RunCommand(sql);
}

QStringList mailDataRows(const QString &path)
{
    CppSQLite3DB db;
    db.OpenFile(path);
    QStringList out;
    for (CppSQLite3Query q = db.RunQuery("select maildata from config_tbl order by configid;"); !q.AtEnd(); q.NextRow())
        out << q.StringColumnNamed("maildata");
    return out;
}

MailSettings sample()
{
    MailSettings s;
    s.port = QStringLiteral("587");
    s.host = QStringLiteral("smtp.lab.example");
    s.user = QStringLiteral("labuser");
    s.password = QStringLiteral("secret");
    s.authenticate = true;
    s.senderName = QStringLiteral("Cycler Room 2");
    s.senderAddress = QStringLiteral("cycler@lab.example");
    s.tls = true;
    return s;
}

bool sameSettings(const MailSettings &a, const MailSettings &b)
{
    return a.port == b.port && a.host == b.host && a.user == b.user && a.password == b.password
        && a.authenticate == b.authenticate && a.senderName == b.senderName && a.senderAddress == b.senderAddress
        && a.tls == b.tls;
}

} // namespace

class TestEmailConfig : public QObject {
    Q_OBJECT

    TempProgramFolder *FFolder = nullptr;
    Workstation *FWs = nullptr;
    ScriptedPrompts *FPrompts = nullptr;

private slots:
    void init()
    {
        FFolder = new TempProgramFolder;
        DatabasePath = FFolder->databasePath();
        FWs = new Workstation;
        FPrompts = new ScriptedPrompts;
    }

    void cleanup()
    {
        QCOMPARE(FPrompts->pending(), 0);
        delete FPrompts;
        delete FWs;
        delete FFolder;
        DatabasePath.clear();
    }

    // ---- the maildata text ----

    void mailDataText_data()
    {
        QTest::addColumn<MailSettings>("settings");
        QTest::addColumn<QString>("text");
        QTest::newRow("initial values") << MailSettings{} << kInitialMailData;
        QTest::newRow("full account") << sample()
                                      << QStringLiteral("587:\"smtp.lab.example\":\"labuser\":\"secret\":1:"
                                                        "\"Cycler Room 2\":\"cycler@lab.example\":1");
        MailSettings odd = sample();
        odd.password = QStringLiteral("pa\"ss: word");
        odd.authenticate = false;
        odd.tls = false;
        QTest::newRow("password with quote, colon and blank")
            << odd
            << QStringLiteral("587:\"smtp.lab.example\":\"labuser\":\"pa\"\"ss: word\":0:"
                              "\"Cycler Room 2\":\"cycler@lab.example\":0");
    }

    void mailDataText()
    {
        QFETCH(MailSettings, settings);
        QFETCH(QString, text);
        QCOMPARE(JoinMailData(settings), text);
        // What is written reads back as it was, also a password with a quote in it.
        QVERIFY(sameSettings(ParseMailData(text), settings));
    }

    void mailDataThatCannotBeRead_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("seven fields") << QStringLiteral("25:\"h\":\"u\":\"p\":1:\"n\":\"a\"");
        QTest::newRow("switch not a number") << QStringLiteral("25:\"h\":\"u\":\"p\":yes:\"n\":\"a\":0");
        // An unquoted blank ends an item: the name moves the later fields.
        QTest::newRow("unquoted name with blank") << QStringLiteral("25:\"h\":\"u\":\"p\":1:Lab Room:\"a\":0");
    }

    void mailDataThatCannotBeRead()
    {
        QFETCH(QString, text);
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, ParseMailData(text));
    }

    void switchIsOnOnlyForOne()
    {
        const MailSettings s = ParseMailData(QStringLiteral("25:\"h\":\"u\":\"p\":2:\"n\":\"a\":1"));
        QVERIFY(!s.authenticate);
        QVERIFY(s.tls);
    }

    // ---- loading ----

    void opensWithInitialValuesWithoutMailData()
    {
        createDatabase(DatabasePath);
        putRow(DatabasePath, QStringLiteral("dbversion"), QStringLiteral("1.0.0.0"));
        TEmailConfigForm form;
        QVERIFY(!form.loadFailed());
        QCOMPARE(form.windowTitle(), QStringLiteral("E-mail Configuration"));
        QCOMPARE(form.EmailPortEdit1->text(), QStringLiteral("25"));
        QVERIFY(form.AuthenticateBox1->isChecked());
        QVERIFY(!form.SSLBox1->isChecked());
        QVERIFY(form.MailServerEdit1->text().isEmpty());
        QVERIFY(form.UserNameEdit1->text().isEmpty());
        QCOMPARE(form.UserPasswordEdit1->echoMode(), QLineEdit::Password);
        QVERIFY(FPrompts->asked().isEmpty());
    }

    void opensWithTheStoredAccount()
    {
        createDatabase(DatabasePath);
        putRow(DatabasePath, QStringLiteral("maildata"), JoinMailData(sample()));
        TEmailConfigForm form;
        QVERIFY(!form.loadFailed());
        QCOMPARE(form.EmailPortEdit1->text(), QStringLiteral("587"));
        QCOMPARE(form.MailServerEdit1->text(), QStringLiteral("smtp.lab.example"));
        QCOMPARE(form.UserNameEdit1->text(), QStringLiteral("labuser"));
        QCOMPARE(form.UserPasswordEdit1->text(), QStringLiteral("secret"));
        QVERIFY(form.AuthenticateBox1->isChecked());
        QCOMPARE(form.YourNameEdit1->text(), QStringLiteral("Cycler Room 2"));
        QCOMPARE(form.YourEmailEdit1->text(), QStringLiteral("cycler@lab.example"));
        QVERIFY(form.SSLBox1->isChecked());
    }

    void loadFailures_data()
    {
        QTest::addColumn<bool>("database");
        QTest::addColumn<QString>("mailData");
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("no database file")
            << false << QString()
            << QStringList{QStringLiteral("Can't find the database file!"), QStringLiteral("Error during database operation!")};
        QTest::newRow("too few fields") << true << QStringLiteral("25:\"h\":\"u\"")
                                        << QStringList{QStringLiteral("Error during loading...")};
    }

    void loadFailures()
    {
        QFETCH(bool, database);
        QFETCH(QString, mailData);
        QFETCH(QStringList, boxes);
        if (database) {
            createDatabase(DatabasePath);
            putRow(DatabasePath, QStringLiteral("maildata"), mailData);
        }
        for (const QString &b : boxes)
            FPrompts->answer(Ok, b);
        TEmailConfigForm form;
        QVERIFY(form.loadFailed());
        QCOMPARE(FPrompts->texts(), boxes);
        QCOMPARE(FPrompts->titles().last(), QStringLiteral("Error"));
    }

    // ---- Save ----

    void saveAddsThenUpdatesAndSetsTheFields()
    {
        createDatabase(DatabasePath);
        TEmailConfigForm form;
        FPrompts->answer(Ok, QStringLiteral("Added configuration to the database!"), QStringLiteral("E-mail Configuration"));
        QVERIFY(clickButton(&form, QStringLiteral("btnOk")));
        QCOMPARE(mailDataRows(DatabasePath), QStringList{kInitialMailData});
        QCOMPARE(FWs->FSmtpPort, QStringLiteral("25"));
        QVERIFY(FWs->FSmtpAuth);
        QVERIFY(!FWs->FSmtpTls);

        form.EmailPortEdit1->setText(QStringLiteral("587"));
        form.MailServerEdit1->setText(QStringLiteral("smtp.lab.example"));
        form.UserNameEdit1->setText(QStringLiteral("labuser"));
        form.UserPasswordEdit1->setText(QStringLiteral("secret"));
        form.YourNameEdit1->setText(QStringLiteral("Cycler Room 2"));
        form.YourEmailEdit1->setText(QStringLiteral("cycler@lab.example"));
        form.SSLBox1->setChecked(true);
        FPrompts->answer(Ok, QStringLiteral("Updated configuration in the database!"), QStringLiteral("E-mail Configuration"));
        QVERIFY(clickButton(&form, QStringLiteral("btnOk")));
        QCOMPARE(mailDataRows(DatabasePath), QStringList{JoinMailData(sample())});
        QCOMPARE(FWs->FSmtpPort, QStringLiteral("587"));
        QCOMPARE(FWs->FSmtpHost, QStringLiteral("smtp.lab.example"));
        QCOMPARE(FWs->FSmtpUser, QStringLiteral("labuser"));
        QCOMPARE(FWs->FSmtpPassword, QStringLiteral("secret"));
        QCOMPARE(FWs->FSenderName, QStringLiteral("Cycler Room 2"));
        QCOMPARE(FWs->FSenderAddress, QStringLiteral("cycler@lab.example"));
        QVERIFY(FWs->FSmtpTls);
        // The dialog stays open after saving.
        QCOMPARE(form.result(), 0);
    }

    // A database the engine cannot use: Save names the engine's code as the settings dialog
    // does, not an unknown exception.
    void saveOnEngineErrorShowsTheSqliteCode()
    {
        {
            QFile f(DatabasePath);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(4096, 'x'));
        }
        FPrompts->setLenient(true);  // loading the broken file has its own boxes
        TEmailConfigForm form;
        FPrompts->setLenient(false);
        FPrompts->clear();
        FPrompts->answer(Ok, QStringLiteral("SQLite exception: "), QStringLiteral("Error"));
        QVERIFY(clickButton(&form, QStringLiteral("btnOk")));
        QCOMPARE(FPrompts->asked().size(), 1);
        const QString text = FPrompts->texts().at(0);
        bool isCode = false;
        text.mid(QStringLiteral("SQLite exception: ").size()).toInt(&isCode);
        QVERIFY2(isCode && text.startsWith(QStringLiteral("SQLite exception: ")), qPrintable(text));
        QCOMPARE(FPrompts->asked().at(0).icon, PromptIcon::Warning);
    }

    void savedAccountIsWhatStartUpReads()
    {
        createDatabase(DatabasePath);
        TEmailConfigForm form;
        form.EmailPortEdit1->setText(QStringLiteral("587"));
        form.MailServerEdit1->setText(QStringLiteral("smtp.lab.example"));
        form.UserNameEdit1->setText(QStringLiteral("labuser"));
        form.UserPasswordEdit1->setText(QStringLiteral("se\"cr:et"));
        form.AuthenticateBox1->setChecked(false);
        form.YourNameEdit1->setText(QStringLiteral("Cycler Room 2"));
        form.YourEmailEdit1->setText(QStringLiteral("cycler@lab.example"));
        form.SSLBox1->setChecked(true);
        FPrompts->answer(Ok, QStringLiteral("Added configuration to the database!"));
        QVERIFY(clickButton(&form, QStringLiteral("btnOk")));

        Workstation started;
        LoadSettings(started, SettingsRowKey());
        QCOMPARE(started.FMailData, mailDataRows(DatabasePath).value(0));
        QCOMPARE(started.FSmtpPort, QStringLiteral("587"));
        QCOMPARE(started.FSmtpHost, QStringLiteral("smtp.lab.example"));
        QCOMPARE(started.FSmtpUser, QStringLiteral("labuser"));
        QCOMPARE(started.FSmtpPassword, QStringLiteral("se\"cr:et"));
        QVERIFY(!started.FSmtpAuth);
        QCOMPARE(started.FSenderName, QStringLiteral("Cycler Room 2"));
        QCOMPARE(started.FSenderAddress, QStringLiteral("cycler@lab.example"));
        QVERIFY(started.FSmtpTls);
    }

    void savePortRules_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("refusal");  // empty: saved
        QTest::addColumn<QString>("storedPort");
        QTest::newRow("zero") << QStringLiteral("0") << QStringLiteral("0 is not a valid Port number!") << QString();
        QTest::newRow("above 65535") << QStringLiteral("70000") << QStringLiteral("70000 is not a valid Port number!")
                                     << QString();
        QTest::newRow("six digits") << QStringLiteral("999999") << QStringLiteral("999999 is not a valid Port number!")
                                    << QString();
        QTest::newRow("empty stands for 25") << QString() << QString() << QStringLiteral("25");
        QTest::newRow("highest port") << QStringLiteral("65535") << QString() << QStringLiteral("65535");
    }

    void savePortRules()
    {
        QFETCH(QString, port);
        QFETCH(QString, refusal);
        QFETCH(QString, storedPort);
        createDatabase(DatabasePath);
        TEmailConfigForm form;
        FWs->FSmtpPort = QStringLiteral("2525");
        FWs->FSmtpHost = QStringLiteral("old.example");
        form.EmailPortEdit1->setText(port);
        form.MailServerEdit1->setText(QStringLiteral("new.example"));
        if (refusal.isEmpty())
            FPrompts->answer(Ok, QStringLiteral("Added configuration"));
        else
            FPrompts->answer(Ok, refusal, QStringLiteral("Error"));
        QVERIFY(clickButton(&form, QStringLiteral("btnOk")));
        QCOMPARE(form.EmailPortEdit1->text(), refusal.isEmpty() ? storedPort : QStringLiteral("25"));
        if (refusal.isEmpty()) {
            QCOMPARE(FPrompts->texts().size(), 1);
            QCOMPARE(FPrompts->asked().at(0).text, QStringLiteral("Added configuration to the database!"));
            QCOMPARE(ParseMailData(mailDataRows(DatabasePath).value(0)).port, storedPort);
            QCOMPARE(FWs->FSmtpPort, storedPort);
        } else {
            QCOMPARE(FPrompts->asked().at(0).text, refusal);
            QVERIFY(mailDataRows(DatabasePath).isEmpty());
            // Nothing saved and the main window's fields keep their values.
            QCOMPARE(FWs->FSmtpPort, QStringLiteral("2525"));
            QCOMPARE(FWs->FSmtpHost, QStringLiteral("old.example"));
        }
    }

    void saveWithoutDatabaseFileDoesNothingElse()
    {
        createDatabase(DatabasePath);
        TEmailConfigForm form;
        QVERIFY(QFile::remove(DatabasePath));
        form.MailServerEdit1->setText(QStringLiteral("new.example"));
        form.EmailPortEdit1->setText(QStringLiteral("0"));
        FPrompts->answer(Ok, QStringLiteral("Can't find the database file!"), QStringLiteral("Database Error"));
        QVERIFY(clickButton(&form, QStringLiteral("btnOk")));
        QCOMPARE(FPrompts->asked().size(), 1);
        QVERIFY(FWs->FSmtpHost.isEmpty());
        QVERIFY(!QFile::exists(DatabasePath));
    }

    void closeButtonRejects()
    {
        createDatabase(DatabasePath);
        TEmailConfigForm form;
        QVERIFY(form.btnCancel->isDefault());
        QVERIFY(clickButton(&form, QStringLiteral("btnCancel")));
        QCOMPARE(form.result(), int(QDialog::Rejected));
    }

    void settingsDialogOpensItModally()
    {
        createDatabase(DatabasePath);
        putRow(DatabasePath, QStringLiteral("maildata"), JoinMailData(sample()));
        TPreferenceForm settings;
        QVERIFY(!settings.loadFailed());
        QPointer<TEmailConfigForm> shown;
        QString server;
        bool modal = false;
        QTimer::singleShot(0, [&] {
            QWidget *active = QApplication::activeModalWidget();
            shown = qobject_cast<TEmailConfigForm *>(active);
            if (!shown) {
                // Whatever opened instead is closed, so the test cannot hang on it.
                if (auto *d = qobject_cast<QDialog *>(active))
                    d->reject();
                return;
            }
            modal = shown->isModal() && shown->parentWidget() == &settings;
            server = shown->MailServerEdit1->text();
            clickButton(shown, QStringLiteral("btnCancel"));
        });
        QVERIFY(clickButton(&settings, QStringLiteral("btnEmailConfig")));
        QVERIFY(modal);
        QCOMPARE(server, QStringLiteral("smtp.lab.example"));
        // The window is gone once it closed, and the settings dialog is still open.
        QVERIFY(shown.isNull());
        QCOMPARE(settings.result(), 0);
    }

    // ---- the test mail ----

    void testMailGoesOutWithTheDialogValues_data()
    {
        QTest::addColumn<bool>("tls");
        QTest::addColumn<bool>("auth");
        QTest::newRow("TLS and login") << true << true;
        QTest::newRow("plain, no login") << false << false;
    }

    void testMailGoesOutWithTheDialogValues()
    {
        QFETCH(bool, tls);
        QFETCH(bool, auth);
        SmtpServerOptions options;
        options.tls = true;
        options.auth = true;
        SmtpTestServer server(options);
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        createDatabase(DatabasePath);
        TEmailConfigForm form;
        form.MailServerEdit1->setText(QStringLiteral("127.0.0.1"));
        form.EmailPortEdit1->setText(QString::number(server.port()));
        form.UserNameEdit1->setText(QStringLiteral("labuser"));
        form.UserPasswordEdit1->setText(QStringLiteral("secret"));
        form.AuthenticateBox1->setChecked(auth);
        form.SSLBox1->setChecked(tls);
        form.YourNameEdit1->setText(QStringLiteral("Cycler Room 2"));
        form.YourEmailEdit1->setText(QStringLiteral("cycler@lab.example"));

        FPrompts->answerInput(QStringLiteral("me@lab.example"));
        FPrompts->answer(Ok, QStringLiteral("E-mail Message sent to: me@lab.example   from: cycler@lab.example"),
                         QStringLiteral("Test e-mail configuration"));
        QVERIFY(clickButton(&form, QStringLiteral("btnTest")));

        const PromptRequest input = FPrompts->asked().at(0);
        QCOMPARE(input.kind, PromptKind::Input);
        QCOMPARE(input.title, QStringLiteral("Test e-mail configuration"));
        QCOMPARE(input.text, QStringLiteral("Enter a destination e-mail address:"));
        QCOMPARE(FPrompts->asked().size(), 2);

        QVERIFY(server.waitForMessages(1));
        const QJsonObject m = server.messages().at(0);
        QCOMPARE(m.value(QStringLiteral("mail_from")).toString(), QStringLiteral("cycler@lab.example"));
        QCOMPARE(m.value(QStringLiteral("rcpt_tos")).toArray(), QJsonArray{QStringLiteral("me@lab.example")});
        QCOMPARE(m.value(QStringLiteral("subject")).toString(), QStringLiteral("Duvo Studio e-mail notification"));
        QCOMPARE(m.value(QStringLiteral("from")).toString(), QStringLiteral("Cycler Room 2 <cycler@lab.example>"));
        QString body = m.value(QStringLiteral("body")).toString();
        body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        QCOMPARE(body, QStringLiteral("Duvo Studio\n\nE-mail account test...\n\n\nDo NOT reply to this e-mail...\n"));
        QCOMPARE(m.value(QStringLiteral("tls")).toBool(), tls);
        QCOMPARE(m.value(QStringLiteral("authenticated")).toBool(), auth);
        const QStringList cmds = server.commands();
        QCOMPARE(cmds.contains(QStringLiteral("STARTTLS")), tls);
        QCOMPARE(cmds.contains(QStringLiteral("AUTH")), auth);
        if (tls && auth)
            QVERIFY(cmds.indexOf(QStringLiteral("STARTTLS")) < cmds.indexOf(QStringLiteral("AUTH")));
        // The test uses the dialog's values; nothing is stored.
        QVERIFY(mailDataRows(DatabasePath).isEmpty());
        QVERIFY(form.btnTest->isEnabled());
    }

    void testMailStopsBeforeSending_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("askInput");
        QTest::addColumn<QString>("answer");  // null: the input box is cancelled
        QTest::addColumn<QString>("box");      // the one error box, empty: none
        QTest::newRow("input cancelled") << QString() << true << QString() << QString();
        QTest::newRow("empty address") << QString() << true << QStringLiteral("") << QStringLiteral("Input was empty!");
        QTest::newRow("port zero") << QStringLiteral("0") << false << QString() << QStringLiteral("0 is not a valid Port number!");
        QTest::newRow("port above 65535") << QStringLiteral("65536") << false << QString()
                                          << QStringLiteral("65536 is not a valid Port number!");
    }

    void testMailStopsBeforeSending()
    {
        QFETCH(QString, port);
        QFETCH(bool, askInput);
        QFETCH(QString, answer);
        QFETCH(QString, box);
        SmtpTestServer server;
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        createDatabase(DatabasePath);
        TEmailConfigForm form;
        form.MailServerEdit1->setText(QStringLiteral("127.0.0.1"));
        form.EmailPortEdit1->setText(port.isEmpty() ? QString::number(server.port()) : port);
        if (askInput)
            FPrompts->answerInput(answer.isNull() ? std::optional<QString>() : std::optional<QString>(answer));
        if (!box.isEmpty())
            FPrompts->answer(Ok, box, QStringLiteral("Error"));
        QVERIFY(clickButton(&form, QStringLiteral("btnTest")));
        QCOMPARE(FPrompts->asked().size(), int(askInput) + int(!box.isEmpty()));
        if (!port.isEmpty())
            QCOMPARE(form.EmailPortEdit1->text(), QStringLiteral("25"));
        QTest::qWait(100);
        QCOMPARE(server.connections(), 0);
    }

    void testMailFailureIsShown()
    {
        createDatabase(DatabasePath);
        TEmailConfigForm form;
        form.MailServerEdit1->setText(QStringLiteral("127.0.0.1"));
        form.EmailPortEdit1->setText(QString::number(SmtpTestServer::closedPort()));
        FPrompts->answerInput(QStringLiteral("me@lab.example"));
        FPrompts->answer(Ok, QStringLiteral("onnect"), QStringLiteral("Error"));
        QVERIFY(clickButton(&form, QStringLiteral("btnTest")));
        QCOMPARE(FPrompts->asked().size(), 2);
        QCOMPARE(FPrompts->asked().at(1).icon, PromptIcon::Error);
        QVERIFY(form.btnTest->isEnabled());
    }
};

QTEST_MAIN(TestEmailConfig)
#include "tst_emailconfig.moc"
