#include "link/CppSQLite3.h"
#include "link/SettingsRow.h"
#include "ScriptedPrompts.h"
#include "TestFolders.h"

#include <QTest>

using namespace duvo;
using namespace duvo::test;

namespace {

const char *kConfigTable =
    "create table config_tbl(configid INTEGER PRIMARY KEY, configname TEXT, maildata TEXT,"
    " preferencedata TEXT, data1 TEXT, data2 TEXT, dbversion TEXT);";

struct Row {
    QString configname, maildata, preferencedata, dbversion;
};

QList<Row> rows(const QString &path)
{
    CppSQLite3DB db;
    db.OpenFile(path);
    QList<Row> out;
    for (CppSQLite3Query q = db.RunQuery("select * from config_tbl order by configid;"); !q.AtEnd(); q.NextRow())
        out << Row{q.StringColumnNamed("configname"), q.StringColumnNamed("maildata"),
                   q.StringColumnNamed("preferencedata"), q.StringColumnNamed("dbversion")};
    return out;
}

} // namespace

class TestSettingsRow : public QObject {
    Q_OBJECT
private slots:
    void keyIsQuotedDefault()
    {
        QCOMPARE(SettingsRowKey(), QStringLiteral("\"DEFAULT\""));
        QCOMPARE(SettingsRowKey().size(), 9);
    }

    void insertThenUpdate()
    {
        ScriptedPrompts prompts;
        TempProgramFolder folder;
        const QString path = folder.databasePath();
        {
            CppSQLite3DB db;
            db.OpenFile(path);
            db.RunCommand(kConfigTable);
        }
        const QString key = SettingsRowKey();
        // Empty table: insert.
        SettingsWriteResult r = WriteSettingsColumn(path, key, QStringLiteral("dbversion"), QStringLiteral("1.0.0.0"));
        QVERIFY(r.fileFound);
        QVERIFY(!r.updated);
        QCOMPARE(r.changes, 1);
        // The row is there: update, other columns kept.
        r = WriteSettingsColumn(path, key, QStringLiteral("preferencedata"), QStringLiteral("1:1:62751:5:10:0::::\"/x/\":0"));
        QVERIFY(r.updated);
        QCOMPARE(r.changes, 1);
        r = WriteSettingsColumn(path, key, QStringLiteral("maildata"), QStringLiteral("25:\"it's\":\"\":\"\":1:\"\":\"\":0"));
        QVERIFY(r.updated);
        QList<Row> all = rows(path);
        QCOMPARE(all.size(), 1);
        QCOMPARE(all[0].configname, key);
        QCOMPARE(all[0].dbversion, QStringLiteral("1.0.0.0"));
        QCOMPARE(all[0].preferencedata, QStringLiteral("1:1:62751:5:10:0::::\"/x/\":0"));
        QCOMPARE(all[0].maildata, QStringLiteral("25:\"it's\":\"\":\"\":1:\"\":\"\":0"));
        QVERIFY(prompts.asked().isEmpty());
    }

    void otherRowsOnlyMeansInsert()
    {
        ScriptedPrompts prompts;
        TempProgramFolder folder;
        const QString path = folder.databasePath();
        {
            CppSQLite3DB db;
            db.OpenFile(path);
            db.RunCommand(kConfigTable);
            db.RunCommand("insert into config_tbl (configname, maildata) values ('OTHER', 'm');"
                          "insert into config_tbl (configname, maildata) values (NULL, 'n');");
        }
        const SettingsWriteResult r =
            WriteSettingsColumn(path, SettingsRowKey(), QStringLiteral("maildata"), QStringLiteral("x"));
        QVERIFY(!r.updated);
        QCOMPARE(r.changes, 1);
        const QList<Row> all = rows(path);
        QCOMPARE(all.size(), 3);
        QCOMPARE(all[0].maildata, QStringLiteral("m"));
        QCOMPARE(all[1].maildata, QStringLiteral("n"));
        QCOMPARE(all[2].configname, SettingsRowKey());
        QCOMPARE(all[2].maildata, QStringLiteral("x"));
    }

    void missingFileWritesNothing()
    {
        ScriptedPrompts prompts;
        prompts.answer(Ok, QStringLiteral("Can't find the database file!"), QStringLiteral("Database Error"));
        TempProgramFolder folder;
        const SettingsWriteResult r = WriteSettingsColumn(folder.databasePath(), SettingsRowKey(),
                                                          QStringLiteral("dbversion"), QStringLiteral("1.0.0.0"));
        QVERIFY(!r.fileFound);
        QCOMPARE(r.changes, 0);
        QCOMPARE(prompts.asked().size(), 1);
        QCOMPARE(prompts.asked()[0].icon, PromptIcon::Warning);
        QVERIFY(!QFile::exists(folder.databasePath()));
    }

    void engineErrorIsThrownAndFileReleased()
    {
        ScriptedPrompts prompts;
        TempProgramFolder folder;
        const QString path = folder.databasePath();
        {
            CppSQLite3DB db;
            db.OpenFile(path);  // an empty database: no config_tbl
        }
        try {
            WriteSettingsColumn(path, SettingsRowKey(), QStringLiteral("dbversion"), QStringLiteral("1.0.0.0"));
            QFAIL("no exception");
        } catch (const CppSQLite3Exception &e) {
            QCOMPARE(e.ErrorCode(), 1);
        }
        CppSQLite3DB db;
        db.OpenFile(path);
        db.SetBusyTimeout(0);
        db.RunCommand("begin exclusive transaction;");  // no lock left behind
        db.RunCommand("commit transaction;");
    }

    void unknownColumnRefused()
    {
        TempProgramFolder folder;
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument,
                                 WriteSettingsColumn(folder.databasePath(), SettingsRowKey(),
                                                     QStringLiteral("configname = 1, dbversion"), QStringLiteral("x")));
    }
};

QTEST_GUILESS_MAIN(TestSettingsRow)
#include "tst_settingsrow.moc"
