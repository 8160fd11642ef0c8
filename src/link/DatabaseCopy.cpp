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

constexpr qint64 kDefaultChunk = qint64(64) << 20;

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
// where it can.
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
        copied += done;
    }
    if (::fsync(out.fd) != 0) {
        *reason = QStringLiteral("Cannot write %1 to the disk: %2").arg(dest, errnoText());
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
    try {
        // The read transaction keeps writers out until the copy is complete.
        CppSQLite3DB db;
        db.OpenFile(source);
        db.RunCommand("begin transaction;");
        db.RunScalar("select count(*) from sqlite_master;");
        const bool copied = copyBytes(source, copy.path(), &r.reason);
        db.RunCommand("commit transaction;");
        db.CloseFile();
        if (!copied)
            return r;
    } catch (const CppSQLite3Exception &e) {
        r.reason = QStringLiteral("The database could not be read (SQLite code %1).").arg(e.ErrorCode());
        return r;
    }
    if (!IsMainDatabase(copy.path(), true, &r.reason))
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
