// Backup and restore of a 300 MB main database through the administration dialog, beside
// the raw floor in the same run (copy_file + fsync; restore's floor adds a quick_check of the
// copy). Each is timed three times, ours and the floor in turn, and the best of each is
// compared: a virtual disk's write speed varies more from one copy to the next than the two
// differ. A 10 ms GUI timer runs meanwhile; its worst lateness is printed.

#include "common/ProgramFolder.h"
#include "common/Prompts.h"
#include "link/DatabaseFiles.h"
#include "link/Workstation.h"
#include "link/forms/TDatabaseForm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace {

class PathPrompts : public duvo::Prompts {
public:
    QString path;
    duvo::PromptAnswer ask(const duvo::PromptRequest &r) override
    {
        duvo::PromptAnswer a;
        a.button = duvo::Ok;
        if (r.kind == duvo::PromptKind::OpenFile || r.kind == duvo::PromptKind::SaveFile)
            a.value = path;
        if (r.kind == duvo::PromptKind::Message && r.title.contains("Error"))
            std::printf("box: %s\n", qPrintable(r.text));
        return a;
    }
};

void seed(const QString &path, qint64 bytes)
{
    duvo::CreateMainDatabase(path);
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_exec(db, "begin;", nullptr, nullptr, nullptr);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "insert into log_tbl (sessionid, protocol) values (?, ?);", -1, &st, nullptr);
    const std::string protocol(1500, 'p');
    for (qint64 i = 0; i * 1600 < bytes; ++i) {
        const std::string session = std::to_string(i);
        sqlite3_bind_text(st, 1, session.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, protocol.c_str(), -1, SQLITE_STATIC);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "commit;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

void syncFile(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    ::fsync(fd);
    ::close(fd);
}

double rawCopyMs(const QString &from, const QString &to, bool check)
{
    QElapsedTimer t;
    t.start();
    std::filesystem::copy_file(from.toStdString(), to.toStdString(), std::filesystem::copy_options::overwrite_existing);
    syncFile(to);
    if (check) {
        sqlite3 *db = nullptr;
        sqlite3_open_v2(QFile::encodeName(to).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_exec(db, "pragma quick_check;", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    return t.nsecsElapsed() / 1e6;
}

struct Lateness {
    QTimer timer;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 worst = 0;
    Lateness()
    {
        timer.setInterval(10);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const qint64 now = clock.elapsed();
            worst = std::max(worst, now - last - 10);
            last = now;
        });
    }
    void start()
    {
        worst = 0;
        clock.start();
        last = 0;
        timer.start();
    }
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QTemporaryDir dir;
    duvo::setProgramFolderOverride(dir.path());
    Workstation ws;
    PathPrompts prompts;
    duvo::PromptsScope scope(&prompts);
    DatabasePath = dir.filePath("VadeZir.sqb");
    seed(DatabasePath, qint64(300) << 20);
    std::printf("database %.0f MB\n", QFileInfo(DatabasePath).size() / 1048576.0);

    TDatabaseForm form;
    Lateness late;
    const QString backup = dir.filePath("Backup.sqb");
    rawCopyMs(DatabasePath, dir.filePath("warm.sqb"), false);

    // Times the floor and ours in turn, three rounds, and prints the best of each.
    const auto compare = [&](const char *what, const std::function<double()> &raw, const std::function<void()> &ours) {
        double bestRaw = 1e18, bestOurs = 1e18;
        qint64 worstLate = 0;
        for (int round = 0; round < 3; ++round) {
            bestRaw = std::min(bestRaw, raw());
            prompts.path = backup;
            late.start();
            QElapsedTimer t;
            t.start();
            ours();
            bestOurs = std::min(bestOurs, t.nsecsElapsed() / 1e6);
            worstLate = std::max(worstLate, late.worst);
        }
        std::printf("%s: ours %.0f ms, raw %.0f ms, ratio %.2f (limit 1.3x), timer late by %lld ms at worst\n", what,
                    bestOurs, bestRaw, bestOurs / bestRaw, worstLate);
    };
    compare("backup", [&] { return rawCopyMs(DatabasePath, dir.filePath("raw1.sqb"), false); },
            [&] { form.btnBackupClick(); });
    compare("restore", [&] { return rawCopyMs(backup, dir.filePath("raw2.sqb"), true); },
            [&] { form.btnRestoreClick(); });
    return 0;
}
