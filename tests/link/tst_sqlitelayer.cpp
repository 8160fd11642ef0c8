#include "link/CppSQLite3.h"

#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

namespace {

QString messageOf(const CppSQLite3Exception &e)
{
    return QString::fromUtf8(e.ErrorMessage());
}

// Runs f and returns the exception it throws; fails the test when it throws none.
template <typename F>
std::pair<int, QString> thrown(F &&f)
{
    try {
        f();
    } catch (const CppSQLite3Exception &e) {
        return {e.ErrorCode(), messageOf(e)};
    }
    return {-1, QStringLiteral("<nothing thrown>")};
}

} // namespace

class TestSqliteLayer : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;
    QString path(const char *name) const { return FDir.filePath(QString::fromLatin1(name)); }

    void makeTable(CppSQLite3DB &db)
    {
        db.RunCommand("create table config_tbl(configid INTEGER PRIMARY KEY, configname TEXT, maildata TEXT);");
    }

private slots:
    void exceptionText_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("nullMessage");
        QTest::addColumn<QString>("text");
        QTest::newRow("layer") << 1000 << "Database not open" << false << "CPPSQLITE_ERROR[1000]: Database not open";
        QTest::newRow("no message") << 1 << "" << true << "SQLITE_ERROR[1]: ";
        QTest::newRow("busy") << 5 << "database is locked" << false << "SQLITE_BUSY[5]: database is locked";
        QTest::newRow("range") << 25 << "x" << false << "SQLITE_RANGE[25]: x";
        QTest::newRow("26 unnamed") << 26 << "x" << false << "UNKNOWN_ERROR[26]: x";
        QTest::newRow("row") << 100 << "" << false << "SQLITE_ROW[100]: ";
        QTest::newRow("done") << 101 << "" << false << "SQLITE_DONE[101]: ";
        QTest::newRow("negative") << -3 << "y" << false << "UNKNOWN_ERROR[-3]: y";
    }
    void exceptionText()
    {
        QFETCH(int, code);
        QFETCH(QString, message);
        QFETCH(bool, nullMessage);
        QFETCH(QString, text);
        const QByteArray m = message.toUtf8();
        const CppSQLite3Exception e(code, nullMessage ? nullptr : m.constData());
        QCOMPARE(e.ErrorCode(), code);
        QCOMPARE(messageOf(e), text);
        const CppSQLite3Exception copy(e);
        QCOMPARE(copy.ErrorCode(), code);
        QCOMPARE(messageOf(copy), text);
        QVERIFY(copy.ErrorMessage() != e.ErrorMessage());
    }

    void exceptionReleasesLibraryMessage()
    {
        // A message the library allocated is owned by the exception (checked by LeakSanitizer).
        char *m = sqlite3_mprintf("%s", "no such table: x");
        const CppSQLite3Exception e(1, m, true);
        QCOMPARE(messageOf(e), QStringLiteral("SQLITE_ERROR[1]: no such table: x"));
    }

    void bufferQuoting_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QByteArray>("arg");
        QTest::addColumn<bool>("nullArg");
        QTest::addColumn<QString>("text");
        QTest::newRow("%Q quote") << QByteArray("select * from config_tbl where configname = %Q;")
                                  << QByteArray("it's") << false
                                  << "select * from config_tbl where configname = 'it''s';";
        QTest::newRow("%Q key") << QByteArray("x = %Q;") << QByteArray("\"DEFAULT\"") << false << "x = '\"DEFAULT\"';";
        QTest::newRow("%Q null") << QByteArray("x = %Q;") << QByteArray() << true << "x = NULL;";
        QTest::newRow("%q") << QByteArray("x = '%q';") << QByteArray("a'b''c") << false << "x = 'a''b''''c';";
        QTest::newRow("%q empty") << QByteArray("x = '%q';") << QByteArray("") << false << "x = '';";
    }
    void bufferQuoting()
    {
        QFETCH(QByteArray, format);
        QFETCH(QByteArray, arg);
        QFETCH(bool, nullArg);
        QFETCH(QString, text);
        CppSQLite3Buffer b;
        b.Format("%s", "previous text");
        const char *r = b.Format(format.constData(), nullArg ? static_cast<const char *>(nullptr) : arg.constData());
        QCOMPARE(QString::fromUtf8(r), text);
        QCOMPARE(QString::fromUtf8(b.Text()), text);
        b.Clear();
        QCOMPARE(QString::fromUtf8(b.Text()), QString());
    }

    void closedConnectionRefuses()
    {
        CppSQLite3DB db;
        QCOMPARE(db.BusyTimeout(), 5000);
        const auto [code, text] = thrown([&] { db.RunCommand("select 1;"); });
        QCOMPARE(code, 1000);
        QCOMPARE(text, QStringLiteral("CPPSQLITE_ERROR[1000]: Database not open"));
        QCOMPARE(thrown([&] { db.RunQuery("select 1;"); }).second, text);
        QCOMPARE(thrown([&] { db.RunScalar("select 1;"); }).second, text);
        db.CloseFile();  // nothing to close
    }

    void openFailureCarriesEngineCode()
    {
        CppSQLite3DB db;
        const auto [code, text] = thrown([&] { db.OpenFile(path("missing-dir/x.sqb")); });
        QCOMPARE(code, SQLITE_CANTOPEN);
        QVERIFY2(text.startsWith(QStringLiteral("SQLITE_CANTOPEN[14]: ")), qPrintable(text));
    }

    void scalarQueries()
    {
        CppSQLite3DB db;
        db.OpenFile(path("scalar.sqb"));
        makeTable(db);
        QCOMPARE(db.RunScalar("select count(configname) from config_tbl;"), 0);
        QCOMPARE(db.RunCommand("insert into config_tbl (configname) values ('a');"), 1);
        QCOMPARE(db.RunCommand("insert into config_tbl (configname) values ('b');"), 1);
        QCOMPARE(db.RunCommand("update config_tbl set maildata = 'm';"), 2);
        QCOMPARE(db.RunScalar("select count(configname) from config_tbl;"), 2);
        QCOMPARE(db.RunScalar("select '  -42abc';"), -42);
        QCOMPARE(db.RunScalar("select 'abc';"), 0);
        QCOMPARE(db.RunScalar("select NULL;"), 0);
        const auto [code, text] = thrown([&] { db.RunScalar("select configname from config_tbl where 0;"); });
        QCOMPARE(code, 1000);
        QCOMPARE(text, QStringLiteral("CPPSQLITE_ERROR[1000]: Invalid scalar query"));
    }

    void columnsAndDefaults()
    {
        CppSQLite3DB db;
        db.OpenFile(path("columns.sqb"));
        db.RunCommand("create table t(i INTEGER, f REAL, s TEXT, n TEXT, maildata TEXT);"
                      "insert into t values (7, 2.5, '17', NULL, 'mail');");
        CppSQLite3Query q = db.RunQuery("select * from t;");
        QVERIFY(!q.AtEnd());
        QCOMPARE(q.ColumnCount(), 5);
        QCOMPARE(q.ColumnType(0), SQLITE_INTEGER);
        QCOMPARE(q.ColumnType(1), SQLITE_FLOAT);
        QCOMPARE(q.ColumnType(2), SQLITE_TEXT);
        QCOMPARE(q.ColumnType(3), SQLITE_NULL);
        QCOMPARE(q.IntColumnNamed("i", 0), 7);
        QCOMPARE(q.FloatColumnNamed("f", 0.0), 2.5);
        QCOMPARE(q.IntColumnNamed("s", 0), 17);  // integer stored as text
        QCOMPARE(q.IntColumnNamed("n", 0), 0);
        QCOMPARE(q.IntColumnNamed("n", 9), 9);
        QCOMPARE(q.FloatColumnNamed("n", 1.5), 1.5);
        QCOMPARE(q.ColumnText(3), static_cast<const char *>(nullptr));
        static const char empty[] = "";
        QCOMPARE(q.TextColumnNamed("n", empty), empty);
        QCOMPARE(QString::fromUtf8(q.TextColumnNamed("maildata", "")), QStringLiteral("mail"));
        QCOMPARE(q.StringColumnNamed("n"), QString());

        QCOMPARE(thrown([&] { q.ColumnIndex("Maildata"); }).second,
                 QStringLiteral("CPPSQLITE_ERROR[1000]: Invalid field name requested"));
        QCOMPARE(thrown([&] { q.ColumnIndex(nullptr); }).second,
                 QStringLiteral("CPPSQLITE_ERROR[1000]: Invalid field name requested"));
        for (int bad : {-1, 5}) {
            QCOMPARE(thrown([&] { q.ColumnText(bad); }).second,
                     QStringLiteral("CPPSQLITE_ERROR[1000]: Invalid field index requested"));
            QCOMPARE(thrown([&] { q.IntColumn(bad, 0); }).second,
                     QStringLiteral("CPPSQLITE_ERROR[1000]: Invalid field index requested"));
        }
        q.NextRow();
        QVERIFY(q.AtEnd());
        // Past the last row every column reads as NULL.
        QCOMPARE(QString::fromUtf8(q.TextColumnNamed("maildata", "")), QString());
    }

    void rowLoop()
    {
        CppSQLite3DB db;
        db.OpenFile(path("loop.sqb"));
        db.RunCommand("create table t(v INTEGER); insert into t values (1); insert into t values (2);"
                      "insert into t values (3);");
        int sum = 0, rows = 0;
        for (CppSQLite3Query q = db.RunQuery("select v from t order by v;"); !q.AtEnd(); q.NextRow()) {
            sum += q.IntColumnNamed("v", 0);
            ++rows;
        }
        QCOMPARE(rows, 3);
        QCOMPARE(sum, 6);
        CppSQLite3Query none = db.RunQuery("select v from t where v > 10;");
        QVERIFY(none.AtEnd());
    }

    void failingFirstStep()
    {
        CppSQLite3DB db;
        db.OpenFile(path("step.sqb"));
        db.RunCommand("create table t(id INTEGER PRIMARY KEY); insert into t values (1);");
        const auto [code, text] = thrown([&] { db.RunQuery("insert into t values (1);"); });
        QCOMPARE(code, SQLITE_CONSTRAINT);
        QCOMPARE(text, QStringLiteral("SQLITE_CONSTRAINT[19]: UNIQUE constraint failed: t.id"));
        QCOMPARE(db.RunScalar("select count(*) from t;"), 1);  // still usable
    }

    void failingLaterStepKillsCursor()
    {
        CppSQLite3DB db;
        db.OpenFile(path("later.sqb"));
        db.RunCommand("create table t(k INTEGER, v INTEGER);"
                      "insert into t values (1, 5); insert into t values (2, -9223372036854775807 - 1);");
        CppSQLite3Query q = db.RunQuery("select abs(v) as a from t;");
        QCOMPARE(q.IntColumnNamed("a", 0), 5);
        const auto [code, text] = thrown([&] { q.NextRow(); });
        QCOMPARE(code, SQLITE_ERROR);
        QCOMPARE(text, QStringLiteral("SQLITE_ERROR[1]: integer overflow"));
        const QString gone = QStringLiteral("CPPSQLITE_ERROR[1000]: Null Virtual Machine pointer");
        QCOMPARE(thrown([&] { q.AtEnd(); }).second, gone);
        QCOMPARE(thrown([&] { q.ColumnCount(); }).second, gone);
        QCOMPARE(thrown([&] { q.TextColumnNamed("a", ""); }).second, gone);
        q.Release();
        q.Release();
    }

    void compileErrorHasNoMessage()
    {
        CppSQLite3DB db;
        db.OpenFile(path("compile.sqb"));
        const auto [code, text] = thrown([&] { db.RunQuery("selec 1;"); });
        QCOMPARE(code, SQLITE_ERROR);
        QCOMPARE(text, QStringLiteral("SQLITE_ERROR[1]: "));
    }

    void commandOnMissingTable()
    {
        CppSQLite3DB db;
        db.OpenFile(path("command.sqb"));
        const auto [code, text] = thrown([&] { db.RunCommand("delete from nope;"); });
        QCOMPARE(code, SQLITE_ERROR);
        QCOMPARE(text, QStringLiteral("SQLITE_ERROR[1]: no such table: nope"));
        db.RunCommand("create table nope(x);");
        QCOMPARE(db.RunCommand("insert into nope values (1);"), 1);
    }

    void releaseTwiceAndMovedCursor()
    {
        CppSQLite3DB db;
        db.OpenFile(path("release.sqb"));
        CppSQLite3Query q = db.RunQuery("select 1 as one;");
        CppSQLite3Query moved(std::move(q));
        QCOMPARE(moved.IntColumnNamed("one", 0), 1);
        moved.Release();
        moved.Release();
        QCOMPARE(thrown([&] { moved.AtEnd(); }).first, 1000);
    }

    void closeWithLiveCursorFreesConnectionLater()
    {
        const QString file = path("zombie.sqb");
        {
            CppSQLite3DB warm;
            warm.OpenFile(file);
            warm.RunCommand("create table t(v); insert into t values (1); insert into t values (2);");
        }
        const sqlite3_int64 before = sqlite3_memory_used();
        {
            CppSQLite3DB db;
            db.OpenFile(file);
            CppSQLite3Query q = db.RunQuery("select v from t;");
            db.CloseFile();  // the cursor still holds its statement
            QVERIFY(!db.IsOpen());
            QCOMPARE(q.IntColumn(0, 0), 1);
            q.NextRow();
            QCOMPARE(q.IntColumn(0, 0), 2);
        }
        // The connection went with its last statement: nothing of it stays allocated ...
        QCOMPARE(sqlite3_memory_used(), before);
        // ... and no lock is left on the file.
        CppSQLite3DB other;
        other.OpenFile(file);
        other.SetBusyTimeout(0);
        other.RunCommand("begin exclusive transaction;");
        QCOMPARE(other.RunCommand("insert into t values (3);"), 1);
        other.RunCommand("commit transaction;");
    }
};

QTEST_GUILESS_MAIN(TestSqliteLayer)
#include "tst_sqlitelayer.moc"
