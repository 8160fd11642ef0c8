#include "protocols/ProtocolFile.h"

#include "common/Prompts.h"
#include "link/BesideFile.h"
#include "link/CppSQLite3.h"
#include "link/DatabaseFiles.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace duvo {

namespace {

void showSqliteException(const CppSQLite3Exception &e)
{
    Prompts::message(QStringLiteral("SQLite exception: ") + QString::number(e.ErrorCode()), QStringLiteral("Error"),
                     Ok, PromptIcon::Warning);
}

// A protocol file holds one protocol of a few kilobytes.
constexpr qint64 ProtocolFileSnapshotLimit = 4 * 1024 * 1024;

// The whole content of a protocol file, read at once, when it is certain to be in a settled
// state: a regular file within the limit, no other process holding a lock on it (writing it
// or about to), no journal beside it, and kept in rollback-journal mode (a database in WAL
// mode has part of its content in its -wal file). Otherwise false, and the file is opened
// where it lies with the engine's own locking and recovery.
bool settledContent(const QString &path, QByteArray &content)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = false;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= ProtocolFileSnapshotLimit) {
        // The engine's lock bytes (pending, reserved, shared) begin at 1 GiB: any lock there
        // held by another process means a connection reads or writes the file right now.
        struct flock probe {};
        probe.l_type = F_WRLCK;
        probe.l_whence = SEEK_SET;
        probe.l_start = 0x40000000;
        probe.l_len = 512;
        if (::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type == F_UNLCK) {
            content.resize(static_cast<qsizetype>(st.st_size));
            ssize_t got = 0;
            while (got < st.st_size) {
                const ssize_t n = ::pread(fd, content.data() + got, static_cast<size_t>(st.st_size - got), got);
                if (n <= 0)
                    break;
                got += n;
            }
            // Header bytes 18 and 19 are 1 in rollback-journal mode.
            ok = got == st.st_size
                 && (content.size() < 20 || (content.at(18) == 1 && content.at(19) == 1));
        }
    }
    ::close(fd);
    if (ok) {
        struct stat journal {};
        ok = ::stat((name + "-journal").constData(), &journal) != 0 && errno == ENOENT;
    }
    if (!ok)
        content.clear();
    return ok;
}

} // namespace

bool WriteProtocolFile(const QString &path, const std::string &fileName, const std::string &protocolText,
                       int protocolSize)
{
    // The new file is finished beside the old one and renamed over it only once its row is
    // in: a failed insert leaves the old file as it was.
    const QFileInfo target(path);
    BesideFile building(path);
    if ((target.exists() && (!target.isFile() || !target.isWritable())) || CreateProtocolFile(building.path()) != 1) {
        Prompts::message(QStringLiteral("Error during file creation!"), QStringLiteral("Creation Error"), Ok,
                         PromptIcon::Error);
        return false;
    }
    CppSQLite3DB db;
    try {
        db.OpenFile(building.path());
        CppSQLite3Buffer sql;
        sql.Format("insert into protocol_tbl (filename,protocol,protocolsize) values (%Q,%Q,%d);",
                   fileName.c_str(), protocolText.c_str(), protocolSize);
        db.RunCommand("begin exclusive transaction;");
        db.RunCommand(sql);
        db.RunCommand("commit transaction;");
    } catch (const CppSQLite3Exception &e) {
        db.CloseFile();
        showSqliteException(e);
        return false;
    }
    db.CloseFile();
    if (!building.commit(true)) {
        Prompts::message(QStringLiteral("Error during file creation!"), QStringLiteral("Creation Error"), Ok,
                         PromptIcon::Error);
        return false;
    }
    return true;
}

bool ReadProtocolFile(const QString &path, std::string &fileName, std::string &protocolText,
                      std::string &protocolSize)
{
    if (!QFileInfo::exists(path)) {
        Prompts::message(QStringLiteral("Can't find the file!"), QStringLiteral("Error"), Ok, PromptIcon::Warning);
        return false;
    }
    // A settled file is read in memory, on the connection this thread keeps for contents (it
    // holds no file); any other file through a connection of its own on the file.
    thread_local CppSQLite3DB contents;
    CppSQLite3DB onDisk;
    CppSQLite3DB *db = &onDisk;
    std::string name, protocol, size;
    try {
        // A file that is no SQLite database, or has no protocol_tbl, fails at the count.
        QByteArray content;
        if (settledContent(path, content)) {
            db = &contents;
            contents.OpenImage(content);
        } else {
            onDisk.OpenFile(path);
        }
        if (db->RunScalar("select count(id) from protocol_tbl;") <= 0) {
            onDisk.CloseFile();
            Prompts::message(QStringLiteral("Protocol record not found!"), QStringLiteral("Error"), Ok,
                             PromptIcon::Error);
            return false;
        }
        CppSQLite3Query q = db->RunQuery("select * from protocol_tbl where id = 1;");
        if (!q.AtEnd()) {
            name = q.TextColumnNamed("filename", "");
            protocol = q.TextColumnNamed("protocol", "");
            size = q.TextColumnNamed("protocolsize", "");
        }
    } catch (const CppSQLite3Exception &e) {
        showSqliteException(e);
        onDisk.CloseFile();
        return false;
    }
    onDisk.CloseFile();
    fileName = std::move(name);
    protocolText = std::move(protocol);
    protocolSize = std::move(size);
    return true;
}

} // namespace duvo
