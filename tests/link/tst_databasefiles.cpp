#include "link/CppSQLite3.h"
#include "link/DatabaseFiles.h"
#include "link/SessionId.h"
#include "ScriptedPrompts.h"
#include "TestFolders.h"

#include <QDir>
#include <QTest>

#include <sqlite3.h>

using namespace duvo;
using namespace duvo::test;

namespace {

// Reads with the plain library, not through the access layer under test.
QStringList column(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    QStringList out;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK) {
            while (sqlite3_step(st) == SQLITE_ROW)
                out << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
        } else {
            out << QStringLiteral("<error: %1>").arg(QString::fromUtf8(sqlite3_errmsg(db)));
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return out;
}

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

using Creator = int (*)(const QString &);

} // namespace

Q_DECLARE_METATYPE(Creator)

class TestDatabaseFiles : public QObject {
    Q_OBJECT
private slots:
    void newFileHasSchemaAndAutoVacuum_data()
    {
        QTest::addColumn<Creator>("create");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("objects");
        QTest::newRow("main") << Creator(&CreateMainDatabase) << "VadeZir.sqb"
                              << QStringList{"config_tbl", "log_tbl", "session_id_idx", "log2_tbl",
                                             "session2_id_idx", "reserve1_tbl", "blob_tbl"};
        QTest::newRow("virtual data") << Creator(&CreateVirtualDataFile) << "lab.vdu"
                                      << QStringList{"vinfo_tbl", "vfolder_tbl", "vfile_tbl"};
        QTest::newRow("protocol") << Creator(&CreateProtocolFile) << "PCR1.svp" << QStringList{"protocol_tbl"};
    }
    void newFileHasSchemaAndAutoVacuum()
    {
        QFETCH(Creator, create);
        QFETCH(QString, name);
        QFETCH(QStringList, objects);
        ScriptedPrompts prompts;
        TempProgramFolder folder;
        const QString path = folder.file(name);
        QCOMPARE(create(path), 1);
        QCOMPARE(column(path, "select name from sqlite_master order by rowid;"), objects);
        QCOMPARE(column(path, "pragma auto_vacuum;"), QStringList{"1"});
        // Nothing but the new file is left in the folder.
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{name});
    }

    // Every table and index as the file stores it, byte for byte: the statements' own tabs
    // and blanks, "CREATE TABLE" / "CREATE INDEX" as the engine writes the keywords, no ';'.
    void schemaTextKeepsTabsAndBlanks_data()
    {
        QTest::addColumn<Creator>("create");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("sql");
        QTest::newRow("main database") << Creator(&CreateMainDatabase) << "VadeZir.sqb" << QStringList{
            "CREATE TABLE config_tbl(configid INTEGER PRIMARY KEY, configname TEXT, maildata TEXT,\t\t\t\t  "
            "preferencedata TEXT, data1 TEXT, data2 TEXT, dbversion TEXT)",
            "CREATE TABLE log_tbl(logid INTEGER PRIMARY KEY, sessionid TEXT,\t\t\t  folder TEXT, file TEXT, "
            "protocol TEXT, protocolsize INTEGER,\t\t\t  date REAL, volume INTEGER, consumable INTEGER, "
            "originalip TEXT,\t\t\t  originaltype TEXT, originalname TEXT, contactname TEXT,\t\t\t  "
            "description TEXT, notes TEXT, fwversion TEXT, logres1 TEXT,\t\t\t  logres2 TEXT, logres3 REAL, "
            "logres4 REAL)",
            "CREATE INDEX session_id_idx on log_tbl (sessionid)",
            "CREATE TABLE log2_tbl(log2id INTEGER PRIMARY KEY, sessionid TEXT,\t\t\t  duvolog TEXT)",
            "CREATE INDEX session2_id_idx on log2_tbl (sessionid)",
            "CREATE TABLE reserve1_tbl(reserve1id INTEGER PRIMARY KEY, res1 TEXT, res2 TEXT, res3 REAL, res4 REAL)",
            "CREATE TABLE blob_tbl(blobid INTEGER PRIMARY KEY, blob1 BLOB, blob2 BLOB, blob3 BLOB, blob4 BLOB)"};
        QTest::newRow("virtual data file") << Creator(&CreateVirtualDataFile) << "Lab.vdu" << QStringList{
            "CREATE TABLE vinfo_tbl(infoid INTEGER PRIMARY KEY, username TEXT DEFAULT 'vDuvo', \t\t  "
            "description TEXT DEFAULT 'virtual Duvo data file', \t date REAL, originalip TEXT,  originaltype TEXT, "
            "originalname TEXT, \t totalfolders INTEGER, totalfiles INTEGER, version TEXT)",
            "CREATE TABLE vfolder_tbl(folderid INTEGER PRIMARY KEY, foldername TEXT, \t\t\t   password TEXT, "
            "secure INTEGER)",
            "CREATE TABLE vfile_tbl(fileid INTEGER PRIMARY KEY, foldername TEXT, filename TEXT, \t\t\t\tprotocol TEXT, "
            "protocolsize INTEGER)"};
        QTest::newRow("protocol file") << Creator(&CreateProtocolFile) << "A.svp" << QStringList{
            "CREATE TABLE protocol_tbl(id INTEGER PRIMARY KEY, filename TEXT,              protocol TEXT, "
            "protocolsize INTEGER)"};
    }
    void schemaTextKeepsTabsAndBlanks()
    {
        QFETCH(Creator, create);
        QFETCH(QString, name);
        QFETCH(QStringList, sql);
        ScriptedPrompts prompts;
        TempProgramFolder folder;
        const QString path = folder.file(name);
        QCOMPARE(create(path), 1);
        const QStringList stored = column(path, "select sql from sqlite_master order by rowid;");
        QCOMPARE(stored.size(), sql.size());
        for (int i = 0; i < sql.size(); ++i)
            QCOMPARE(stored.at(i).toUtf8(), sql.at(i).toUtf8());
    }

    void virtualDataDefaults()
    {
        ScriptedPrompts prompts;
        TempProgramFolder folder;
        const QString path = folder.file(QStringLiteral("x.vdu"));
        QCOMPARE(CreateVirtualDataFile(path), 1);
        {
            CppSQLite3DB db;
            db.OpenFile(path);
            db.RunCommand("insert into vinfo_tbl (originalip) values ('10.0.0.5');");
        }
        QCOMPARE(column(path, "select username || '|' || description from vinfo_tbl;"),
                 QStringList{"vDuvo|virtual Duvo data file"});
    }

    void replacesExistingFileAndStaleJournal()
    {
        ScriptedPrompts prompts;
        TempProgramFolder folder;
        const QString path = folder.databasePath();
        QCOMPARE(CreateMainDatabase(path), 1);
        {
            CppSQLite3DB db;
            db.OpenFile(path);
            db.RunCommand("insert into config_tbl (configname) values ('\"DEFAULT\"');"
                          "insert into log_tbl (sessionid) values ('1');");
        }
        QFile journal(path + QStringLiteral("-journal"));
        QVERIFY(journal.open(QIODevice::WriteOnly));
        journal.write(QByteArray(2048, 'j'));
        journal.close();

        QCOMPARE(CreateMainDatabase(path), 1);
        QCOMPARE(column(path, "select count(*) from config_tbl;"), QStringList{"0"});
        QCOMPARE(column(path, "select count(*) from log_tbl;"), QStringList{"0"});
        QVERIFY(!QFile::exists(path + QStringLiteral("-journal")));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{"VadeZir.sqb"});
    }

    void failedCreationLeavesOldFileUntouched()
    {
        ScriptedPrompts prompts;
        prompts.answer(Ok, QStringLiteral("SQLite exception: 1"), QStringLiteral("Error"));
        TempProgramFolder folder;
        const QString path = folder.databasePath();
        QCOMPARE(CreateMainDatabase(path), 1);
        {
            CppSQLite3DB db;
            db.OpenFile(path);
            db.RunCommand("insert into config_tbl (configname) values ('kept');");
        }
        const QByteArray before = bytesOf(path);
        QList<const char *> broken = MainDatabaseStatements();
        broken.insert(3, "create table config_tbl(x);");  // fails half-way
        QCOMPARE(CreateSqliteFile(path, broken), 0);
        QCOMPARE(prompts.asked().size(), 1);
        QCOMPARE(prompts.asked()[0].text, QStringLiteral("SQLite exception: 1"));
        QCOMPARE(prompts.asked()[0].icon, PromptIcon::Warning);
        QCOMPARE(bytesOf(path), before);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{"VadeZir.sqb"});
    }

    void missingFolderShowsEngineCode()
    {
        ScriptedPrompts prompts;
        prompts.answer(Ok, QStringLiteral("SQLite exception: 14"), QStringLiteral("Error"));
        TempProgramFolder folder;
        QCOMPARE(CreateProtocolFile(folder.file(QStringLiteral("no/such/dir/A.svp"))), 0);
        QCOMPARE(prompts.asked().size(), 1);
    }

    void pathThatCannotBeReplacedGivesZeroSilently()
    {
        ScriptedPrompts prompts;
        TempProgramFolder folder;
        const QString path = folder.file(QStringLiteral("taken.svp"));
        QVERIFY(QDir().mkpath(path));  // a folder stands where the file should go
        QCOMPARE(CreateProtocolFile(path), 0);
        QVERIFY(prompts.asked().isEmpty());
        QVERIFY(QFileInfo(path).isDir());
    }

    void fileInUseIsNotReplaced()
    {
        ScriptedPrompts prompts;
        TempProgramFolder folder;
        const QString path = folder.databasePath();
        QCOMPARE(CreateMainDatabase(path), 1);
        {
            CppSQLite3DB db;
            db.OpenFile(path);
            db.RunCommand("insert into config_tbl (configname) values ('kept');");
        }
        {
            CppSQLite3DB reader;
            reader.OpenFile(path);
            CppSQLite3Query q = reader.RunQuery("select configname from config_tbl;");  // holds a read lock
            QCOMPARE(CreateMainDatabase(path), 0);
            QVERIFY(prompts.asked().isEmpty());
        }
        QCOMPARE(column(path, "select configname from config_tbl;"), QStringList{"kept"});
        QCOMPARE(CreateMainDatabase(path), 1);  // free again
        QCOMPARE(column(path, "select count(*) from config_tbl;"), QStringList{"0"});
    }

    void sessionIdFormat_data()
    {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<int>("random");
        QTest::addColumn<QString>("id");
        QTest::newRow("example") << QDateTime(QDate(2009, 3, 5), QTime(14, 7, 9, 45)) << 123 << "200935147945123";
        QTest::newRow("new year") << QDateTime(QDate(2027, 1, 1), QTime(0, 0, 0, 0)) << 0 << "20271100000";
        QTest::newRow("longest") << QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59, 999)) << 32766
                                 << "2026123123595999932766";
    }
    void sessionIdFormat()
    {
        QFETCH(QDateTime, when);
        QFETCH(int, random);
        QFETCH(QString, id);
        int waited = -1;
        SessionIdSource source;
        source.wait = [&](int ms) { waited = ms; };
        source.now = [&] { return when; };
        source.random = [&] { return random; };
        QString made = QStringLiteral("old");
        QVERIFY(MakeSessionId(made, source));
        QCOMPARE(made, id);
        QCOMPARE(waited, 100);
    }

    void systemSessionIdsDiffer()
    {
        QString a, b;
        QVERIFY(MakeSessionId(a));
        QVERIFY(MakeSessionId(b));
        QVERIFY(a != b);
        QVERIFY(a.startsWith(QString::number(QDate::currentDate().year())));
        QVERIFY(a.size() >= 11 && a.size() <= 22);
    }

    void systemRandomStaysBelowLimit()
    {
        const SessionIdSource s = SessionIdSource::system();
        for (int i = 0; i < 2000; ++i) {
            const int r = s.random();
            QVERIFY(r >= 0 && r <= 32766);
        }
    }
};

QTEST_GUILESS_MAIN(TestDatabaseFiles)
#include "tst_databasefiles.moc"
