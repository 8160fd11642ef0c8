#include "link/DatabaseCopy.h"

#include "link/BesideFile.h"
#include "link/CppSQLite3.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <vector>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace duvo {

namespace {

std::mutex g_hookLock;
std::function<bool(qint64, qint64)> g_hook;
qint64 g_chunk = 0;

constexpr qint64 kDefaultChunk = qint64(16) << 20;

struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Copies the bytes of source into dest (created or truncated), chunk by chunk, in the kernel
// where it can. The caller flushes dest before it relies on it.
bool copyBytes(const QString &source, const QString &dest, QString *reason)
{
    std::function<bool(qint64, qint64)> hook;
    qint64 chunk = kDefaultChunk;
    {
        std::lock_guard<std::mutex> lock(g_hookLock);
        hook = g_hook;
        if (g_chunk > 0)
            chunk = g_chunk;
    }
    Fd in, out;
    in.fd = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC);
    if (in.fd < 0) {
        *reason = QStringLiteral("Cannot read %1: %2").arg(source, errnoText());
        return false;
    }
    struct stat st {};
    if (::fstat(in.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *reason = QStringLiteral("%1 is not a file.").arg(source);
        return false;
    }
    out.fd = ::open(QFile::encodeName(dest).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out.fd < 0) {
        *reason = QStringLiteral("Cannot write %1: %2").arg(dest, errnoText());
        return false;
    }
    const qint64 total = st.st_size;
    qint64 copied = 0;
    bool kernelCopy = true;
    std::vector<char> buffer;
    while (copied < total) {
        if (hook && !hook(copied, total)) {
            *reason = QStringLiteral("The copy was interrupted.");
            return false;
        }
        const qint64 want = std::min(chunk, total - copied);
        qint64 done = 0;
        while (done < want) {
            ssize_t n = -1;
            if (kernelCopy) {
                n = ::copy_file_range(in.fd, nullptr, out.fd, nullptr, size_t(want - done), 0);
                if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
                    kernelCopy = false;
                    continue;
                }
            } else {
                if (buffer.empty())
                    buffer.resize(1 << 20);
                n = ::read(in.fd, buffer.data(), std::min<size_t>(buffer.size(), size_t(want - done)));
                if (n > 0) {
                    ssize_t w = 0;
                    while (w < n) {
                        const ssize_t k = ::write(out.fd, buffer.data() + w, size_t(n - w));
                        if (k < 0) {
                            if (errno == EINTR)
                                continue;
                            *reason = QStringLiteral("Cannot write %1: %2").arg(dest, errnoText());
                            return false;
                        }
                        w += k;
                    }
                }
            }
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                *reason = QStringLiteral("Copy failed: %1").arg(errnoText());
                return false;
            }
            if (n == 0) {
                *reason = QStringLiteral("%1 became shorter during the copy.").arg(source);
                return false;
            }
            done += n;
        }
        // Start writing this chunk to the disk now: the flush before the rename then waits
        // for what is left, and the disk works while the copy is checked.
        ::sync_file_range(out.fd, copied, done, SYNC_FILE_RANGE_WRITE);
        copied += done;
    }
    // The flush to the disk is BesideFile::commit's, before the rename.
    return true;
}

quint32 bigEndian(const unsigned char *p, int bytes)
{
    quint32 v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | p[i];
    return v;
}

// Reads the 100-byte header of an SQLite file and checks that the file holds exactly the
// pages the header counts: a cut-off file, one with bytes appended or one that is no SQLite
// file at all fails here without reading the rest of it.
bool wholeDatabaseFile(const QString &path, QString *reason)
{
    Fd f;
    f.fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    unsigned char h[100];
    if (f.fd < 0 || ::fstat(f.fd, &st) != 0 || st.st_size < qint64(sizeof h)
        || ::pread(f.fd, h, sizeof h, 0) != ssize_t(sizeof h) || std::memcmp(h, "SQLite format 3", 16) != 0) {
        *reason = QStringLiteral("The file is no database.");
        return false;
    }
    // Page size 1 stands for 65536; the format versions are 1 (rollback journal) or 2 (WAL).
    const quint32 pageSize = bigEndian(h + 16, 2) == 1 ? 65536u : bigEndian(h + 16, 2);
    const bool pageSizeOk = pageSize >= 512 && pageSize <= 65536 && (pageSize & (pageSize - 1)) == 0;
    if (!pageSizeOk || h[18] < 1 || h[18] > 2 || h[19] < 1 || h[19] > 2) {
        *reason = QStringLiteral("The database file is damaged.");
        return false;
    }
    // The page count in the header is valid only when the writer that last changed the file
    // also stamped it (every engine since 2010 does); older files are checked for whole pages.
    const bool countValid = bigEndian(h + 24, 4) == bigEndian(h + 92, 4) && bigEndian(h + 28, 4) != 0;
    const bool sizeOk = countValid ? qint64(bigEndian(h + 28, 4)) * pageSize == st.st_size
                                   : st.st_size % pageSize == 0;
    if (!sizeOk) {
        *reason = QStringLiteral("The database file is incomplete.");
        return false;
    }
    return true;
}

// True when the database file is in write-ahead-log mode: its newest pages may be in the
// "-wal" file beside it, and a checkpoint may write the file itself under a reader.
bool inWalMode(const QString &path)
{
    Fd f;
    f.fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    unsigned char h[20];
    return f.fd >= 0 && ::pread(f.fd, h, sizeof h, 0) == ssize_t(sizeof h) && h[18] == 2;
}

// Copies a database through the engine, page by page from one read transaction: the copy
// holds every committed page, wherever the source keeps it.
bool engineCopy(const QString &source, const QString &dest, QString *reason)
{
    sqlite3 *from = nullptr;
    sqlite3 *to = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(source).constData(), &from, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_open_v2(QFile::encodeName(dest).constData(), &to, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                             nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(from, 5000);
        sqlite3_backup *b = sqlite3_backup_init(to, "main", from, "main");
        rc = b ? sqlite3_backup_step(b, -1) : sqlite3_errcode(to);
        if (b) {
            const int finish = sqlite3_backup_finish(b);
            if (rc == SQLITE_DONE)
                rc = finish;
        }
        // The copy is one file with a rollback journal, like every file this program makes:
        // nothing of it may stay in a "-wal" file beside it.
        if (rc == SQLITE_OK)
            rc = sqlite3_exec(to, "pragma journal_mode = delete;", nullptr, nullptr, nullptr);
    }
    sqlite3_close_v2(to);
    sqlite3_close_v2(from);
    if (rc != SQLITE_OK && rc != SQLITE_DONE) {
        *reason = QStringLiteral("The database could not be read (SQLite code %1).").arg(rc);
        return false;
    }
    return true;
}

} // namespace

bool IsMainDatabase(const QString &path, bool fullCheck, QString *reason)
{
    auto fail = [&](const QString &why) {
        if (reason)
            *reason = why;
        return false;
    };
    if (!QFileInfo(path).isFile())
        return fail(QStringLiteral("The file %1 does not exist.").arg(path));
    {
        QString why;
        if (!wholeDatabaseFile(path, &why))
            return fail(why);
    }
    sqlite3 *db = nullptr;
    const QByteArray name = QFile::encodeName(path);
    int rc = sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    struct Closer {
        sqlite3 *&db;
        ~Closer() { sqlite3_close_v2(db); }
    } closer{db};
    if (rc != SQLITE_OK)
        return fail(QStringLiteral("The file cannot be opened as a database."));
    sqlite3_busy_timeout(db, 5000);
    auto scalarText = [&](const char *sql, QString *out) {
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK)
            return false;
        const int step = sqlite3_step(st);
        if (step == SQLITE_ROW)
            *out = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        return step == SQLITE_ROW || step == SQLITE_DONE;
    };
    QString count;
    if (!scalarText("select count(*) from sqlite_master where type = 'table' and name in "
                    "('config_tbl','log_tbl','log2_tbl');",
                    &count))
        return fail(QStringLiteral("The file is no database."));
    if (count != QLatin1String("3"))
        return fail(QStringLiteral("The file is no main database of this program."));
    if (fullCheck) {
        QString check;
        if (!scalarText("pragma quick_check;", &check) || check != QLatin1String("ok"))
            return fail(QStringLiteral("The database file is damaged."));
    }
    return true;
}

DatabaseCopyResult BackupDatabase(const QString &source, const QString &target)
{
    DatabaseCopyResult r;
    if (!QFileInfo(source).isFile()) {
        r.reason = QStringLiteral("The database file %1 does not exist.").arg(source);
        return r;
    }
    BesideFile copy(target);
    bool wal = false;
    try {
        // The read transaction keeps writers out until the copy is complete.
        CppSQLite3DB db;
        db.OpenFile(source);
        db.RunCommand("begin transaction;");
        db.RunScalar("select count(*) from sqlite_master;");
        // Under the read lock the file cannot change its journal mode. In WAL mode writers
        // are not kept out and the file alone is not the database: the engine copies it.
        wal = inWalMode(source);
        const bool copied = wal || copyBytes(source, copy.path(), &r.reason);
        db.RunCommand("commit transaction;");
        db.CloseFile();
        if (!copied)
            return r;
    } catch (const CppSQLite3Exception &e) {
        r.reason = QStringLiteral("The database could not be read (SQLite code %1).").arg(e.ErrorCode());
        return r;
    }
    if (wal && !engineCopy(source, copy.path(), &r.reason))
        return r;
    // The copy was taken from one consistent state of the source and every byte of it was
    // written (commit flushes it); what is left to prove is that it is whole and of the right
    // kind. Checking every page again would take longer than the copy itself.
    if (!IsMainDatabase(copy.path(), false, &r.reason))
        return r;
    if (!copy.commit(false, &r.reason))
        return r;
    r.ok = true;
    return r;
}

DatabaseCopyResult RestoreDatabase(const QString &backup, const QString &live)
{
    DatabaseCopyResult r;
    if (QFileInfo(backup).canonicalFilePath() == QFileInfo(live).canonicalFilePath() && QFileInfo::exists(live)) {
        r.reason = QStringLiteral("The backup is the database file itself.");
        return r;
    }
    if (!IsMainDatabase(backup, false, &r.reason))
        return r;
    BesideFile copy(live);
    if (!copyBytes(backup, copy.path(), &r.reason))
        return r;
    // The bytes that go live are the ones checked.
    if (!IsMainDatabase(copy.path(), true, &r.reason))
        return r;
    // On the disk before the live file is locked, so that the lock is held for the rename only.
    if (!SyncFile(copy.path())) {
        r.reason = QStringLiteral("Cannot write %1 to the disk.").arg(copy.path());
        return r;
    }
    try {
        // Nobody may be reading or writing the live file while it is replaced: the exclusive
        // lock is held across the rename.
        CppSQLite3DB lock;
        const bool liveExists = QFileInfo::exists(live);
        if (liveExists) {
            lock.OpenFile(live);
            lock.SetBusyTimeout(0);
            lock.RunCommand("begin exclusive transaction;");
        }
        const bool done = copy.commit(true, &r.reason);
        if (liveExists) {
            lock.RunCommand("rollback transaction;");
            lock.CloseFile();
        }
        r.ok = done;
    } catch (const CppSQLite3Exception &e) {
        r.reason = (e.ErrorCode() == SQLITE_BUSY || e.ErrorCode() == SQLITE_LOCKED)
                       ? QStringLiteral("The database is in use by another program.")
                       : QStringLiteral("The database could not be locked (SQLite code %1).").arg(e.ErrorCode());
    }
    return r;
}

void setDatabaseCopyHookForTests(std::function<bool(qint64, qint64)> hook, qint64 chunkBytes)
{
    std::lock_guard<std::mutex> lock(g_hookLock);
    g_hook = std::move(hook);
    g_chunk = chunkBytes;
}

} // namespace duvo
