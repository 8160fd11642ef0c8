// The run history viewer over 100 000 runs (~1.5 KB protocols each), beside the raw floor in
// the same run: the window's construction to its first details painted against a raw
// prepare/step of the same five columns; Select All; deleting 1 000 checked runs against
// 1 000 raw single-row delete transactions. Prints the ratios.

#include "common/ProgramFolder.h"
#include "common/Prompts.h"
#include "link/CppSQLite3.h"
#include "link/DatabaseFiles.h"
#include "link/Workstation.h"
#include "runs/forms/HistoryModel.h"
#include "runs/forms/THistoryForm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cstdio>

namespace {

class YesPrompts : public duvo::Prompts {
public:
    duvo::PromptAnswer ask(const duvo::PromptRequest &) override
    {
        duvo::PromptAnswer a;
        a.button = duvo::Ok;
        return a;
    }
};

void seed(const QString &path, int runs)
{
    duvo::CreateMainDatabase(path);
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_exec(db, "begin;", nullptr, nullptr, nullptr);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db,
                       "insert into log_tbl (sessionid,folder,file,protocol,protocolsize,date,volume,consumable,"
                       "originalip,originaltype,originalname,contactname,description,notes,fwversion) values "
                       "(?,'0/PCR',?,?,1600,?,25,1,'127.0.170.11','Duvo 96','DUVO-1','Ann','Melting check','',"
                       "'2.10');",
                       -1, &st, nullptr);
    const std::string protocol(1500, 'p');
    for (int i = 0; i < runs; ++i) {
        const std::string session = "2026121" + std::to_string(100000 + i);
        const std::string file = "PCR" + std::to_string(i % 1000);
        sqlite3_bind_text(st, 1, session.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, file.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, protocol.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_double(st, 4, 46000.0 + i / 100.0);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "commit;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

double rawListMs(const QString &path)
{
    QElapsedTimer t;
    t.start();
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "select sessionid, file, date, contactname, description from log_tbl;", -1, &st, nullptr);
    size_t bytes = 0;
    while (sqlite3_step(st) == SQLITE_ROW)
        for (int c : {0, 1, 3, 4})
            bytes += size_t(sqlite3_column_bytes(st, c));
    sqlite3_finalize(st);
    sqlite3_close(db);
    if (bytes == 0)
        std::printf("(no rows?)\n");
    return t.nsecsElapsed() / 1e6;
}

double rawDeleteMs(const QString &path, int count)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < count; ++i) {
        const std::string sql = "begin exclusive transaction; delete from log_tbl where sessionid = '2026121"
                                + std::to_string(100000 + i) + "'; commit transaction;";
        sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    }
    const double ms = t.nsecsElapsed() / 1e6;
    sqlite3_close(db);
    return ms;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QTemporaryDir dir;
    duvo::setProgramFolderOverride(dir.path());
    Workstation ws;
    YesPrompts prompts;
    duvo::PromptsScope scope(&prompts);
    const int runs = 100000;
    DatabasePath = dir.filePath("VadeZir.sqb");
    seed(DatabasePath, runs);
    QFile::copy(DatabasePath, dir.filePath("raw.sqb"));

    rawListMs(DatabasePath);  // warm the page cache for both
    const double raw = rawListMs(DatabasePath);
    QElapsedTimer t;
    t.start();
    auto *form = new THistoryForm;
    form->show();
    form->grab();  // the first details painted
    const double ours = t.nsecsElapsed() / 1e6;
    std::printf("open %d runs: ours %.1f ms, raw five-column read %.1f ms, ratio %.2f (limit 0.5 s and 3x)\n", runs,
                ours, raw, ours / raw);

    t.restart();
    form->btnSelectAllClick();
    form->grab();
    std::printf("select all: %.1f ms (limit 50 ms)\n", t.nsecsElapsed() / 1e6);
    form->btnSelectAllClick();

    const int deletes = 1000;
    for (int i = 0; i < deletes; ++i)
        form->model()->setChecked(i, true);
    t.restart();
    form->btnDeleteClick();
    const double oursDelete = t.nsecsElapsed() / 1e6;
    const double rawDelete = rawDeleteMs(dir.filePath("raw.sqb"), deletes);
    std::printf("delete %d checked runs: ours %.1f ms, raw %.1f ms, ratio %.2f (limit 1.5x); rows left %d\n", deletes,
                oursDelete, rawDelete, oursDelete / rawDelete, form->model()->rowCount());
    delete form;
    return 0;
}
