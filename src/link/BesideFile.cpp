#include "link/BesideFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>
#include <thread>

namespace duvo {

namespace {

namespace fs = std::filesystem;

fs::path toPath(const QString &path)
{
    return fs::path(QFile::encodeName(path).toStdString());
}

QString siblingName(const QString &target)
{
    for (;;) {
        const QString candidate = target + QStringLiteral(".new%1").arg(QRandomGenerator::global()->generate(), 8, 16,
                                                                        QLatin1Char('0'));
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

bool syncPath(const QString &path, int flags)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    // A file needs its data and what finds it (size, blocks), not its access times: a file
    // that was only read since its last flush costs nothing here.
    const bool ok = ((flags & O_DIRECTORY) ? ::fsync(fd) : ::fdatasync(fd)) == 0;
    ::close(fd);
    return ok;
}

} // namespace

BesideFile::BesideFile(const QString &target) : FTarget(target), FPath(siblingName(target)) {}

BesideFile::~BesideFile()
{
    if (!FCommitted)
        discard();
    // Closed only now: a connection that locked the replaced file (POSIX locks belong to the
    // process, and closing any descriptor of the file drops them) has finished with it.
    if (FReplaced >= 0)
        std::thread([fd = FReplaced] { ::close(fd); }).detach();
}

void BesideFile::discard()
{
    RemoveQuietly(FPath);
    RemoveSqliteCompanions(FPath);
}

bool BesideFile::commit(bool removeSqliteCompanions, QString *reason)
{
    auto fail = [&](const QString &why) {
        if (reason)
            *reason = why;
        discard();
        return false;
    };
    if (FCommitted)
        return true;
    if (!QFileInfo(FPath).isFile())
        return fail(QStringLiteral("nothing was built"));
    if (!SyncFile(FPath))
        return fail(QStringLiteral("the new file could not be written to the disk"));
    // A leftover journal of the built file itself means it was not finished.
    if (QFileInfo::exists(FPath + QStringLiteral("-journal")) || QFileInfo::exists(FPath + QStringLiteral("-wal")))
        return fail(QStringLiteral("the new file was not finished"));
    if (removeSqliteCompanions)
        RemoveSqliteCompanions(FTarget);
    if (FReplaced < 0)
        FReplaced = ::open(QFile::encodeName(FTarget).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    std::error_code ec;
    fs::rename(toPath(FPath), toPath(FTarget), ec);
    if (ec)
        return fail(QString::fromStdString(ec.message()));
    FCommitted = true;
    SyncFolderOf(FTarget);
    return true;
}

bool SyncFile(const QString &path)
{
    return syncPath(path, O_RDONLY);
}

bool SyncFolderOf(const QString &path)
{
    return syncPath(QFileInfo(path).absolutePath(), O_RDONLY | O_DIRECTORY);
}

void RemoveSqliteCompanions(const QString &path)
{
    for (const char *suffix : {"-journal", "-wal", "-shm"})
        RemoveQuietly(path + QLatin1String(suffix));
}

void RemoveQuietly(const QString &path)
{
    std::error_code ec;
    fs::remove(toPath(path), ec);
}

} // namespace duvo
