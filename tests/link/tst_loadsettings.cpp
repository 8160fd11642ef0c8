#include "common/ProgramFolder.h"
#include "link/CppSQLite3.h"
#include "link/DatabaseFiles.h"
#include "link/Settings.h"
#include "link/SettingsRow.h"
#include "link/Workstation.h"
#include "ScriptedPrompts.h"
#include "TestFolders.h"

#include <QTest>

using namespace duvo;
using namespace duvo::test;

namespace {

// A workstation whose logs write into the test's program folder.
struct Bench {
    TempProgramFolder folder;
    ScriptedPrompts prompts;
    Workstation ws;
    Bench()
    {
        DatabasePath = folder.databasePath();
        ws.ZavLog1.setFileName(folder.file(QStringLiteral("DuvoGeneral.txt")));
        ws.ZavExceptionLog1.setFileName(folder.file(QStringLiteral("DuvoException.txt")));
    }
    ~Bench() { DatabasePath.clear(); }

    void makeDatabase()
    {
        QCOMPARE(CreateMainDatabase(DatabasePath), 1);
    }
    void writeRow(const char *preferencedata, const char *maildata)
    {
        CppSQLite3DB db;
        db.OpenFile(DatabasePath);
        CppSQLite3Buffer sql;
        sql.Format("insert into config_tbl (configname, preferencedata, maildata, dbversion) values (%Q, %Q, %Q, '1.0.0.0');",
                   "\"DEFAULT\"", preferencedata, maildata);
        db.RunCommand(sql);
    }
    QString generalLog() { return folder.readFile(QStringLiteral("DuvoGeneral.txt")); }
};

void verifyDefaults(const Workstation &ws)
{
    QCOMPARE(ws.FNetPort, 62751);
    QCOMPARE(ws.FRefreshSeconds, 5);
    QCOMPARE(ws.FSearchDelay, 10);
    QCOMPARE(ws.FUseProxy, false);
    QCOMPARE(ws.FProxyServer, QString());
    QCOMPARE(ws.FProxyUser, QString());
    QCOMPARE(ws.FProxyPassword, QString());
    QCOMPARE(ws.FDefaultFolder, ProgramFolder());
    QCOMPARE(ws.FMailNotification, false);
}

// Fields a default workstation never has, so a test sees which ones were set.
void scribble(Workstation &ws)
{
    ws.FNetPort = 1;
    ws.FRefreshSeconds = 2;
    ws.FSearchDelay = 3;
    ws.FUseProxy = true;
    ws.FProxyServer = QStringLiteral("stale");
    ws.FDefaultFolder = QStringLiteral("/stale/");
    ws.FMailNotification = true;
    ws.FSmtpHost = QStringLiteral("kept.example");
}

} // namespace

class TestLoadSettings : public QObject {
    Q_OBJECT
private slots:
    void freshDatabaseGivesDefaults()
    {
        Bench b;
        b.makeDatabase();
        QVERIFY(WriteDbVersion(b.ws));
        scribble(b.ws);
        QVERIFY(LoadSettings(b.ws, SettingsRowKey()));
        verifyDefaults(b.ws);
        QCOMPARE(b.ws.FSmtpHost, QStringLiteral("kept.example"));
        QVERIFY(b.prompts.asked().isEmpty());
    }

    void emptyConfigTableGivesDefaults()
    {
        Bench b;
        b.makeDatabase();
        scribble(b.ws);
        QVERIFY(LoadSettings(b.ws, SettingsRowKey()));
        verifyDefaults(b.ws);
    }

    void storedRowSetsEveryField()
    {
        Bench b;
        b.makeDatabase();
        b.writeRow("0:0:62752:30:20:1:proxyhost:user:pw:\"/data/my runs/\":1",
                   "587:\"smtp.example.org\":\"me\":\"se:cret\":1:\"Lab One\":\"lab@example.org\":1");
        QVERIFY(LoadSettings(b.ws, SettingsRowKey()));
        QVERIFY(!b.ws.ZavLog1.enabled());
        QVERIFY(!b.ws.ZavExceptionLog1.active());
        QCOMPARE(b.ws.FNetPort, 62752);
        QCOMPARE(b.ws.FRefreshSeconds, 30);
        QCOMPARE(b.ws.FSearchDelay, 20);
        QVERIFY(b.ws.FUseProxy);
        QCOMPARE(b.ws.FProxyServer, QStringLiteral("proxyhost"));
        QCOMPARE(b.ws.FProxyUser, QStringLiteral("user"));
        QCOMPARE(b.ws.FProxyPassword, QStringLiteral("pw"));
        QCOMPARE(b.ws.FDefaultFolder, QStringLiteral("/data/my runs/"));
        QVERIFY(b.ws.FMailNotification);
        QCOMPARE(b.ws.FSmtpPort, QStringLiteral("587"));
        QCOMPARE(b.ws.FSmtpHost, QStringLiteral("smtp.example.org"));
        QCOMPARE(b.ws.FSmtpUser, QStringLiteral("me"));
        QCOMPARE(b.ws.FSmtpPassword, QStringLiteral("se:cret"));
        QVERIFY(b.ws.FSmtpAuth);
        QCOMPARE(b.ws.FSenderName, QStringLiteral("Lab One"));
        QCOMPARE(b.ws.FSenderAddress, QStringLiteral("lab@example.org"));
        QVERIFY(b.ws.FSmtpTls);
        QCOMPARE(b.ws.FPreferenceData, QStringLiteral("0:0:62752:30:20:1:proxyhost:user:pw:\"/data/my runs/\":1"));
        QCOMPARE(b.ws.FMailData.left(4), QStringLiteral("587:"));

        // Switches on again: only the number 1 counts as on.
        Bench c;
        c.makeDatabase();
        c.ws.ZavLog1.setEnabled(false);
        c.writeRow("1:1:62751:5:10:2::::\"/f/\":2", "25:\"\":\"\":\"\":2:\"\":\"\":1");
        QVERIFY(LoadSettings(c.ws, SettingsRowKey()));
        QVERIFY(c.ws.ZavLog1.enabled());
        QVERIFY(c.ws.ZavExceptionLog1.active());
        QVERIFY(!c.ws.FUseProxy);
        QVERIFY(!c.ws.FMailNotification);
        QVERIFY(!c.ws.FSmtpAuth);
        QVERIFY(c.ws.FSmtpTls);
    }

    void emptyMailDataSwitchesNotificationOff()
    {
        Bench b;
        b.makeDatabase();
        b.writeRow("1:1:62751:5:10:0::::\"/f/\":1", nullptr);
        b.ws.FSmtpHost = QStringLiteral("kept.example");
        QVERIFY(LoadSettings(b.ws, SettingsRowKey()));
        QVERIFY(!b.ws.FMailNotification);
        QCOMPARE(b.ws.FSmtpHost, QStringLiteral("kept.example"));
    }

    void malformedRowTakesDefaultsAndFails_data()
    {
        QTest::addColumn<QByteArray>("preferencedata");
        QTest::addColumn<int>("refresh");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("mail");
        // Ten fields: the e-mail switch is missing.
        QTest::newRow("ten fields") << QByteArray("1:1:62751:30:10:0::::\"/f/\"") << 30 << "/f/" << false;
        QTest::newRow("refresh not a number") << QByteArray("1:1:62751:soon:10:0::::\"/f/\":1") << 5 << "/f/" << true;
        // A blank in the proxy server moves the later fields by one.
        QTest::newRow("shifted by a blank") << QByteArray("1:1:62751:30:10:1:my proxy:u:p:\"/f/\":1") << 30 << "p" << false;
        QTest::newRow("three fields") << QByteArray("1:1:62751") << 5 << "<program>" << false;
    }
    void malformedRowTakesDefaultsAndFails()
    {
        QFETCH(QByteArray, preferencedata);
        QFETCH(int, refresh);
        QFETCH(QString, folder);
        QFETCH(bool, mail);
        Bench b;
        b.makeDatabase();
        b.writeRow(preferencedata.constData(), "25:\"host\":\"\":\"\":1:\"\":\"\":0");
        QVERIFY(!LoadSettings(b.ws, SettingsRowKey()));
        QCOMPARE(b.ws.FRefreshSeconds, refresh);
        QCOMPARE(b.ws.FDefaultFolder, folder == QStringLiteral("<program>") ? ProgramFolder() : folder);
        QCOMPARE(b.ws.FMailNotification, mail);
        QCOMPARE(b.ws.FSmtpHost, QStringLiteral("host"));  // the mail fields are still read
        QVERIFY(b.prompts.asked().isEmpty());
    }

    void databaseWithoutTablesShowsEngineCode()
    {
        Bench b;
        {
            CppSQLite3DB db;
            db.OpenFile(DatabasePath);
            db.RunCommand("create table other(x);");
        }
        scribble(b.ws);
        b.prompts.answer(Ok, QStringLiteral("SQLite exception: 1"), QStringLiteral("Error"));
        QVERIFY(!LoadSettingsAtStartup(b.ws));
        verifyDefaults(b.ws);
        QVERIFY(!b.ws.FApplicationEnding);
        QCOMPARE(b.generalLog(), QStringLiteral("Error during database operation\n"));
    }

    void garbageFileShowsEngineCode()
    {
        Bench b;
        QFile f(DatabasePath);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
        f.close();
        b.prompts.answer(Ok, QStringLiteral("SQLite exception: 26"), QStringLiteral("Error"));
        QVERIFY(!LoadSettings(b.ws, SettingsRowKey()));
        verifyDefaults(b.ws);
    }

    void missingDatabaseCreatedOnYes()
    {
        Bench b;
        b.prompts.answer(Yes, QStringLiteral("Create new database file"), QStringLiteral("Velmor Lab Duvo Studio"));
        b.prompts.answer(Ok, QStringLiteral("Database created!"), QStringLiteral("Database Administration"));
        scribble(b.ws);
        QVERIFY(LoadSettingsAtStartup(b.ws));
        verifyDefaults(b.ws);

        const PromptRequest &task = b.prompts.asked().at(0);
        QCOMPARE(task.kind, PromptKind::Task);
        QCOMPARE(task.text, QStringLiteral("No database file was found. Create new?"));
        QCOMPARE(task.expandedText, QStringLiteral("The application needs a database file to function correctly.  "
                                                   "Select Yes to create a database now."));
        QCOMPARE(task.expandControlText, QStringLiteral("Click to hide"));
        QCOMPARE(task.collapseControlText, QStringLiteral("Click to see more"));
        QCOMPARE(task.buttons, int(Yes | No));
        QVERIFY(task.radioButtons.isEmpty());
        QVERIFY(b.ws.TaskDialog1.ExpandedText.isEmpty());
        QCOMPARE(b.prompts.asked().at(1).icon, PromptIcon::Information);

        CppSQLite3DB db;
        db.OpenFile(DatabasePath);
        QCOMPARE(db.RunScalar("select count(*) from config_tbl;"), 1);
        CppSQLite3Query q = db.RunQuery("select * from config_tbl;");
        QCOMPARE(q.StringColumnNamed("configname"), QStringLiteral("\"DEFAULT\""));
        QCOMPARE(q.StringColumnNamed("dbversion"), QStringLiteral("1.0.0.0"));
        QCOMPARE(q.StringColumnNamed("preferencedata"), QString());
        q.Release();
        db.CloseFile();
        QVERIFY(b.ws.ZavLog1.Dump());
        QCOMPARE(b.generalLog(), QStringLiteral("Error can not find database\n"));
    }

    void missingDatabaseRefusedEndsProgram()
    {
        Bench b;
        b.prompts.answer(No, QStringLiteral("Create new database file"));
        QVERIFY(!LoadSettingsAtStartup(b.ws));
        QVERIFY(b.ws.FApplicationEnding);
        QVERIFY(!QFile::exists(DatabasePath));
        QCOMPARE(b.generalLog(), QStringLiteral("Error can not find database\nError during database operation\n"));
    }

    void missingDatabaseWhoseCreationFails()
    {
        Bench b;
        DatabasePath = b.folder.file(QStringLiteral("gone/VadeZir.sqb"));
        b.prompts.answer(Yes);
        b.prompts.answer(Ok, QStringLiteral("SQLite exception: 14"), QStringLiteral("Error"));
        b.prompts.answer(Ok, QStringLiteral("Error during database creation!"), QStringLiteral("Creation Error"));
        QVERIFY(!LoadSettings(b.ws, SettingsRowKey()));
        QCOMPARE(b.prompts.asked().at(2).icon, PromptIcon::Error);
        QVERIFY(!b.ws.FApplicationEnding);
    }

    void dbVersionInsertThenUpdate()
    {
        Bench b;
        b.makeDatabase();
        QVERIFY(WriteDbVersion(DatabasePath));
        QVERIFY(WriteDbVersion(DatabasePath));  // update of the same row still changes one row
        CppSQLite3DB db;
        db.OpenFile(DatabasePath);
        QCOMPARE(db.RunScalar("select count(*) from config_tbl;"), 1);
    }
};

QTEST_GUILESS_MAIN(TestLoadSettings)
#include "tst_loadsettings.moc"
