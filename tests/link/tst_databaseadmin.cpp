#include "common/ProgramFolder.h"
#include "common/Shell.h"
#include "link/BesideFile.h"
#include "link/CppSQLite3.h"
#include "link/DatabaseCopy.h"
#include "link/DatabaseFiles.h"
#include "link/Settings.h"
#include "link/Workstation.h"
#include "link/forms/TDatabaseForm.h"
#include "GuiTest.h"
#include "ScriptedPrompts.h"
#include "TestFolders.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

using namespace duvo;
using namespace duvo::test;

namespace {

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QString scalar(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    QString out = QStringLiteral("<none>");
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
            out = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return out;
}

// A main database with some runs, big enough to span several pages.
void makeDatabaseWithRuns(const QString &path, int runs, const QString &tag)
{
    QCOMPARE(CreateMainDatabase(path), 1);
    QVERIFY(WriteDbVersion(path));
    CppSQLite3DB db;
    db.OpenFile(path);
    db.RunCommand("begin transaction;");
    for (int i = 0; i < runs; ++i) {
        CppSQLite3Buffer sql;
        sql.Format("insert into log_tbl (sessionid, file, protocol) values (%Q, 'P%d', %Q);",
                   (tag + QString::number(i)).toUtf8().constData(), i, QByteArray(900, 'x').constData());
        db.RunCommand(sql);
    }
    db.RunCommand("commit transaction;");
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

class RecorderShell : public Shell {
public:
    bool result = true;
    QStringList programs;
    QList<QStringList> arguments;
    QStringList folders;
    RecorderShell() : FPrevious(Shell::install(this)) {}
    ~RecorderShell() override { Shell::install(FPrevious); }
    bool openDocument(const QString &) override { return result; }
    bool startProgram(const QString &program, const QStringList &args, const QString &folder) override
    {
        programs << program;
        arguments << args;
        folders << folder;
        return result;
    }

private:
    Shell *FPrevious;
};

struct Lab {
    TempProgramFolder folder;
    ScriptedPrompts prompts;
    Workstation ws;
    QString live;
    Lab()
    {
        live = folder.databasePath();
        DatabasePath = live;
    }
    ~Lab() { DatabasePath.clear(); }
};

} // namespace

class TestDatabaseAdmin : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { setDatabaseCopyHookForTests({}); }

    void windowShowsTheProgramFoldersFileAndGuardsCreateNew()
    {
        Lab lab;
        TDatabaseForm form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Database"));
        QCOMPARE(form.AppPathLabel1->toolTip(), ProgramFolder() + "VadeZir.sqb");
        QVERIFY(!form.EnableDBBox1->isChecked());
        QVERIFY(!form.btnCreateNew->isEnabled());
        QTest::mouseClick(form.EnableDBBox1, Qt::LeftButton);
        QVERIFY(form.btnCreateNew->isEnabled());
        QCOMPARE(lab.ws.lastAlert(),
                 QStringLiteral("Warning: Create New overwrites any previous database files!  Use Backup before continuing"));
        QTest::mouseClick(form.EnableDBBox1, Qt::LeftButton);
        QVERIFY(!form.btnCreateNew->isEnabled());
    }

    void createNewCancelKeepsTheFileAndOkMakesAnEmptyOne()
    {
        Lab lab;
        makeDatabaseWithRuns(lab.live, 3, "S");
        const QByteArray before = bytesOf(lab.live);
        TDatabaseForm form;
        form.EnableDBBox1->click();
        lab.prompts.answer(Cancel, "creates a blank new database", "Warning");
        form.btnCreateNew->click();
        QCOMPARE(bytesOf(lab.live), before);

        lab.prompts.answer(Ok, "creates a blank new database").answer(Ok, "Database created!", "Database Administration");
        form.btnCreateNew->click();
        QCOMPARE(lab.prompts.pending(), 0);
        QCOMPARE(scalar(lab.live, "select count(*) from log_tbl;"), QStringLiteral("0"));
        QCOMPARE(scalar(lab.live, "select dbversion from config_tbl;"), QStringLiteral("1.0.0.0"));
    }

    void createNewOnAnUnreplaceablePathShowsTheCreationError()
    {
        Lab lab;
        // A folder where the database should be cannot be replaced by a file.
        QVERIFY(QDir().mkpath(lab.live));
        writeBytes(lab.live + "/keep.txt", "keep");
        TDatabaseForm form;
        form.EnableDBBox1->click();
        lab.prompts.answer(Ok).answer(Ok, "Error during database creation! Please try again or contact your Admin.",
                                      "Creation Error");
        form.btnCreateNew->click();
        QCOMPARE(lab.prompts.pending(), 0);
        QVERIFY(QFileInfo(lab.live + "/keep.txt").isFile());
    }

    void createNewUsesDatabasePathWhileBackupUsesTheProgramFolder()
    {
        Lab lab;
        QTemporaryDir elsewhere;
        DatabasePath = elsewhere.filePath("VadeZir.sqb");
        makeDatabaseWithRuns(lab.live, 2, "P");
        TDatabaseForm form;
        form.EnableDBBox1->click();
        lab.prompts.answer(Ok).answer(Ok, "Database created!");
        form.btnCreateNew->click();
        QVERIFY(QFileInfo(DatabasePath).isFile());
        QCOMPARE(scalar(lab.live, "select count(*) from log_tbl;"), QStringLiteral("2"));

        const QString target = elsewhere.filePath("Backup.sqb");
        lab.prompts.answer(Ok, "makes a backup").answerPath(target);
        form.btnBackup->click();
        QCOMPARE(bytesOf(target), bytesOf(lab.live));
    }

    void backupIsAnExactCopyAndReplacesAnOldOneOnlyWhenComplete()
    {
        Lab lab;
        makeDatabaseWithRuns(lab.live, 200, "B");
        QTemporaryDir out;
        const QString target = out.filePath("Backup.sqb");
        TDatabaseForm form;
        lab.prompts.answer(Ok).answerPath(out.filePath("Backup"));  // the default extension is added
        form.btnBackup->click();
        QCOMPARE(lab.prompts.pending(), 0);
        QCOMPARE(lab.ws.lastAlert(), QStringLiteral("Backup allows you to backup your current database file to another location"));
        QCOMPARE(bytesOf(target), bytesOf(lab.live));

        // A copy failing half-way leaves the old backup and no partial file.
        const QByteArray oldBackup = bytesOf(target);
        {
            CppSQLite3DB db;
            db.OpenFile(lab.live);
            db.RunCommand("insert into log_tbl (sessionid) values ('later');");
        }
        setDatabaseCopyHookForTests([](qint64 copied, qint64 total) { return copied < total / 2; }, 4096);
        lab.prompts.answer(Ok).answerPath(target).answer(Ok, "Error during backup!", "Backup Error");
        form.btnBackup->click();
        QCOMPARE(lab.prompts.pending(), 0);
        QCOMPARE(bytesOf(target), oldBackup);
        QCOMPARE(filesIn(out.path()), QStringList{"Backup.sqb"});
    }

    void backupHoldsWritersOffUntilTheCopyIsComplete()
    {
        Lab lab;
        makeDatabaseWithRuns(lab.live, 100, "W");
        QTemporaryDir out;
        QStringList writes;
        // Half-way through the copy another program tries to write the database.
        setDatabaseCopyHookForTests(
            [&](qint64 copied, qint64 total) {
                if (copied >= total / 2 && writes.isEmpty()) {
                    sqlite3 *db = nullptr;
                    sqlite3_open(QFile::encodeName(lab.live).constData(), &db);
                    const int rc = sqlite3_exec(db, "insert into log_tbl (sessionid) values ('torn');", nullptr,
                                                nullptr, nullptr);
                    writes << QString::number(rc);
                    sqlite3_close(db);
                }
                return true;
            },
            4096);
        const DatabaseCopyResult r = BackupDatabase(lab.live, out.filePath("Backup.sqb"));
        QVERIFY2(r.ok, qPrintable(r.reason));
        QCOMPARE(writes, QStringList{QString::number(SQLITE_BUSY)});
        QVERIFY(IsMainDatabase(out.filePath("Backup.sqb"), true));
        QCOMPARE(bytesOf(out.filePath("Backup.sqb")), bytesOf(lab.live));
    }

    void backupOfADatabaseInWalModeHoldsItsNewestRuns()
    {
        Lab lab;
        makeDatabaseWithRuns(lab.live, 50, "A");
        // An outside tool switched the file to WAL mode and keeps it open: its newest runs are
        // in the "-wal" file only.
        sqlite3 *tool = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(lab.live).constData(), &tool), SQLITE_OK);
        QCOMPARE(sqlite3_exec(tool,
                              "pragma journal_mode = wal; pragma wal_autocheckpoint = 0; "
                              "insert into log_tbl (sessionid) values ('new1'); "
                              "insert into log_tbl (sessionid) values ('new2');",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        QVERIFY(QFileInfo(lab.live + "-wal").size() > 0);

        QTemporaryDir out;
        const QString target = out.filePath("Backup.sqb");
        const DatabaseCopyResult r = BackupDatabase(lab.live, target);
        sqlite3_close(tool);
        QVERIFY2(r.ok, qPrintable(r.reason));
        QCOMPARE(filesIn(out.path()), QStringList{"Backup.sqb"});
        QCOMPARE(scalar(target, "select count(*) from log_tbl;"), QStringLiteral("52"));
        QCOMPARE(scalar(target, "select count(*) from log_tbl where sessionid like 'new%';"), QStringLiteral("2"));
        QVERIFY(IsMainDatabase(target, true));
    }

    void backupOfAMissingDatabaseShowsABoxAndWritesNothing()
    {
        Lab lab;
        QTemporaryDir out;
        TDatabaseForm form;
        lab.prompts.answer(Ok).answerPath(out.filePath("Backup.sqb")).answer(Ok, "Error during backup!");
        form.btnBackup->click();
        QCOMPARE(lab.prompts.pending(), 0);
        QVERIFY(filesIn(out.path()).isEmpty());
    }

    void backupOrRestoreCancelledDoesNothing()
    {
        Lab lab;
        makeDatabaseWithRuns(lab.live, 1, "C");
        const QByteArray before = bytesOf(lab.live);
        TDatabaseForm form;
        lab.prompts.answer(Cancel, "makes a backup");
        form.btnBackup->click();
        lab.prompts.answer(Ok, "restores the database").answerPath(QString());
        form.btnRestore->click();
        QCOMPARE(lab.prompts.pending(), 0);
        QCOMPARE(bytesOf(lab.live), before);
        QCOMPARE(filesIn(lab.folder.path()), QStringList{"VadeZir.sqb"});
    }

    void restoreOfAGoodBackupPutsItInPlace()
    {
        Lab lab;
        makeDatabaseWithRuns(lab.live, 5, "L");
        QTemporaryDir out;
        const QString backup = out.filePath("Backup.sqb");
        makeDatabaseWithRuns(backup, 40, "K");
        // A stale journal of the live file must not roll into the restored one.
        writeBytes(lab.live + "-journal", QByteArray(512, '\x07'));
        TDatabaseForm form;
        lab.prompts.answer(Ok, "restores the database", "Warning").answerPath(backup);
        form.btnRestore->click();
        QCOMPARE(lab.prompts.pending(), 0);
        QCOMPARE(lab.ws.lastAlert(),
                 QStringLiteral("Restore allows you to restore the main database file from a previously saved copy"));
        QCOMPARE(bytesOf(lab.live), bytesOf(backup));
        QCOMPARE(filesIn(lab.folder.path()), QStringList{"VadeZir.sqb"});
        QCOMPARE(scalar(lab.live, "select count(*) from log_tbl;"), QStringLiteral("40"));
    }

    void restoreRefusesWhatIsNoGoodBackup_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("truncated backup") << "truncated";
        QTest::newRow("protocol file") << "svp";
        QTest::newRow("text file") << "text";
        QTest::newRow("copy failing half-way") << "seam";
        QTest::newRow("missing file") << "missing";
    }
    void restoreRefusesWhatIsNoGoodBackup()
    {
        QFETCH(QString, kind);
        Lab lab;
        makeDatabaseWithRuns(lab.live, 30, "L");
        const QByteArray before = bytesOf(lab.live);
        QTemporaryDir out;
        QString backup = out.filePath("Backup.sqb");
        if (kind == "truncated") {
            makeDatabaseWithRuns(backup, 300, "T");
            const QByteArray whole = bytesOf(backup);
            QVERIFY(whole.size() > 40000);
            writeBytes(backup, whole.left(whole.size() / 2));
        } else if (kind == "svp") {
            backup = out.filePath("P1.svp");
            QCOMPARE(CreateProtocolFile(backup), 1);
        } else if (kind == "text") {
            writeBytes(backup, "Backup of my notes\r\nline 2\r\n");
        } else if (kind == "seam") {
            makeDatabaseWithRuns(backup, 300, "T");
            setDatabaseCopyHookForTests([](qint64 copied, qint64 total) { return copied < total / 2; }, 4096);
        }
        TDatabaseForm form;
        lab.prompts.answer(Ok).answerPath(backup).answer(Ok, "Error during restore! The database was not changed.",
                                                         "Restore Error");
        form.btnRestore->click();
        QCOMPARE(lab.prompts.pending(), 0);
        QCOMPARE(bytesOf(lab.live), before);
        QCOMPARE(filesIn(lab.folder.path()), QStringList{"VadeZir.sqb"});
    }

    void restoreIsRefusedWhileAnotherConnectionHoldsTheDatabase()
    {
        Lab lab;
        makeDatabaseWithRuns(lab.live, 3, "L");
        const QByteArray before = bytesOf(lab.live);
        QTemporaryDir out;
        const QString backup = out.filePath("Backup.sqb");
        makeDatabaseWithRuns(backup, 10, "K");

        CppSQLite3DB reader;
        reader.OpenFile(lab.live);
        reader.RunCommand("begin transaction;");
        reader.RunScalar("select count(*) from log_tbl;");

        const DatabaseCopyResult r = RestoreDatabase(backup, lab.live);
        QVERIFY(!r.ok);
        QVERIFY2(r.reason.contains("in use"), qPrintable(r.reason));
        reader.RunCommand("commit transaction;");
        reader.CloseFile();
        QCOMPARE(bytesOf(lab.live), before);
        QCOMPARE(filesIn(lab.folder.path()), QStringList{"VadeZir.sqb"});
    }

    void besideFileLeavesTheTargetUntilCommitted()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath("a.txt");
        writeBytes(target, "old");
        {
            BesideFile f(target);
            writeBytes(f.path(), "new, not finished");
        }
        QCOMPARE(bytesOf(target), QByteArray("old"));
        QCOMPARE(filesIn(dir.path()), QStringList{"a.txt"});
        BesideFile f(target);
        writeBytes(f.path(), "new");
        QVERIFY(f.commit());
        QCOMPARE(bytesOf(target), QByteArray("new"));
        QCOMPARE(filesIn(dir.path()), QStringList{"a.txt"});
    }

    // A commit that fails says why, leaves the target as it was and removes what was built.
    void besideFileThatCannotCommitLeavesTheTargetAndCleansUp()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath("a.db");
        writeBytes(target, "old");
        QString reason;
        {
            BesideFile f(target);
            QVERIFY(!f.commit(true, &reason));
            QCOMPARE(reason, QStringLiteral("nothing was built"));
        }
        {
            BesideFile f(target);
            writeBytes(f.path(), "half");
            writeBytes(f.path() + "-journal", "rollback");
            writeBytes(target + "-journal", "the target's");
            QVERIFY(!f.commit(true, &reason));
            QCOMPARE(reason, QStringLiteral("the new file was not finished"));
            QVERIFY(!f.committed());
            QCOMPARE(filesIn(dir.path()), (QStringList{"a.db", "a.db-journal"}));
        }
        QCOMPARE(bytesOf(target), QByteArray("old"));
        QCOMPARE(bytesOf(target + "-journal"), QByteArray("the target's"));

        // The target cannot be replaced: a folder that holds a file.
        const QString folder = dir.filePath("sub");
        QVERIFY(QDir().mkpath(folder + "/inner"));
        {
            BesideFile f(folder);
            writeBytes(f.path(), "new");
            reason.clear();
            QVERIFY(!f.commit(false, &reason));
            QVERIFY(!reason.isEmpty());
            QVERIFY(QFileInfo(folder + "/inner").isDir());
        }
        QCOMPARE(filesIn(dir.path()), (QStringList{"a.db", "a.db-journal"}));
    }

    void toolsStartThroughTheShellWithThePathAsOneArgument()
    {
        Lab lab;
        DatabasePath = lab.folder.path() + "my data/Vade Zir.sqb";
        RecorderShell shell;
        TDatabaseForm form;
        form.btnSqlLite3->click();
        QCOMPARE(lab.ws.lastAlert(),
                 QStringLiteral("This starts the interactive database command line tool for manipulating the database"));
        form.btnDataBrowser->click();
        QCOMPARE(lab.ws.lastAlert(),
                 QStringLiteral("This starts the graphical database tool for easy manipulation of your data"));
        QCOMPARE(shell.programs, (QStringList{"x-terminal-emulator", "sqlitebrowser"}));
        QCOMPARE(shell.arguments.value(0), (QStringList{"-e", "sqlite3", DatabasePath}));
        QCOMPARE(shell.arguments.value(1), QStringList{DatabasePath});
        QCOMPARE(shell.folders, (QStringList{ProgramFolder(), ProgramFolder()}));

        shell.result = false;
        lab.prompts.answer(Ok, "Error starting SQLITE command line!", "Error")
            .answer(Ok, "Error starting Database viewer!", "Error");
        form.btnSqlLite3->click();
        form.btnDataBrowser->click();
        QCOMPARE(lab.prompts.pending(), 0);
        QCOMPARE(lab.prompts.asked().value(0).icon, PromptIcon::Error);
    }

    void pictureOfTheWindow()
    {
        Lab lab;
        TDatabaseForm form;
        form.EnableDBBox1->click();
        form.show();
        saveShot(form, QStringLiteral("TDatabaseForm"));
    }
};

QTEST_MAIN(TestDatabaseAdmin)
#include "tst_databaseadmin.moc"
