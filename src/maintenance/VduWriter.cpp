#include "maintenance/VduWriter.h"

#include "common/Prompts.h"
#include "link/CppSQLite3.h"
#include "link/DatabaseFiles.h"
#include "maintenance/CloneCopy.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace duvo {

namespace {

void sqliteBox(const CppSQLite3Exception &e)
{
    Prompts::message(QStringLiteral("SQLite exception: ") + QString::number(e.ErrorCode()),
                     QStringLiteral("vDuvo Error"), Ok, PromptIcon::Warning);
}

bool syncPath(const QString &path, bool directory)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), directory ? (O_RDONLY | O_DIRECTORY) : O_RDONLY);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

void removeWithCompanions(const QString &path)
{
    for (const char *suffix : {"", "-journal", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
}

} // namespace

double PackageDateNow()
{
    const QDateTime now = QDateTime::currentDateTime();
    const qint64 days = QDate(1899, 12, 30).daysTo(now.date());
    return double(days) + double(now.time().msecsSinceStartOfDay()) / 86400000.0;
}

VduWriter::VduWriter() = default;

VduWriter::~VduWriter()
{
    Discard();
}

bool VduWriter::Begin(const QString &path)
{
    Discard();
    FFailedRows = 0;
    const QFileInfo target(path);
    // A unique name beside the chosen file, so the rename stays on one file system.
    QString building;
    {
        QTemporaryFile reserve(target.absolutePath() + QStringLiteral("/.") + target.fileName()
                               + QStringLiteral(".XXXXXX.part"));
        reserve.setAutoRemove(false);
        if (!reserve.open())
            return false;
        building = reserve.fileName();
    }
    QFile::remove(building);
    if (!CreateVirtualDataFile(building)) {
        removeWithCompanions(building);
        return false;
    }
    try {
        FDB = std::make_unique<CppSQLite3DB>();
        FDB->OpenFile(building);
        FDB->RunCommand("begin exclusive transaction;");
    } catch (const CppSQLite3Exception &e) {
        FDB.reset();
        removeWithCompanions(building);
        sqliteBox(e);
        return false;
    }
    FPath = target.absoluteFilePath();
    FBuilding = building;
    return true;
}

bool VduWriter::insert(const char *sql)
{
    if (!FDB) {
        ++FFailedRows;
        return false;
    }
    try {
        FDB->RunCommand(sql);
        return true;
    } catch (const CppSQLite3Exception &e) {
        ++FFailedRows;
        sqliteBox(e);
        return false;
    }
}

bool VduWriter::WritePackageInfo(const QString &userName, const QString &description, const PackageSource &source,
                                 int totalFolders, int totalFiles)
{
    const QByteArray user = (userName.isEmpty() ? QStringLiteral("vDuvo") : userName).toUtf8();
    const QByteArray text = (description.isEmpty() ? QStringLiteral("virtual Duvo data file") : description).toUtf8();
    CppSQLite3Buffer sql;
    sql.Format("insert into vinfo_tbl (username,description,date,originalip,originaltype,originalname,\t\t "
               "totalfolders,totalfiles,version) values (%Q,%Q,%f,%Q,%Q,%Q,%d,%d,%Q);",
               user.constData(), text.constData(), PackageDateNow(), source.ip.c_str(), source.type.c_str(),
               source.id.c_str(), totalFolders, totalFiles, "1.0.0.0");
    return insert(sql);
}

bool VduWriter::WritePackageFolder(const std::string &name, const std::string &password, int secure)
{
    CppSQLite3Buffer sql;
    sql.Format("insert into vfolder_tbl (foldername,password,secure) values (%Q,%Q,%d);", name.c_str(),
               password.c_str(), secure);
    return insert(sql);
}

bool VduWriter::WritePackageFile(FetchedProtocol &fetched)
{
    if (!fetched.held())
        return false;
    CppSQLite3Buffer sql;
    sql.Format("insert into vfile_tbl (foldername,filename,protocol,protocolsize) values (%Q,%Q,%Q,%d);",
               fetched.Folder.c_str(), fetched.File.c_str(), fetched.Protocol->c_str(), fetched.Size);
    if (!insert(sql))
        return false;
    fetched.release();
    return true;
}

bool VduWriter::Commit()
{
    if (!FDB)
        return false;
    try {
        FDB->RunCommand("commit transaction;");
        FDB->CloseFile();
    } catch (const CppSQLite3Exception &e) {
        sqliteBox(e);
        Discard();
        return false;
    }
    FDB.reset();
    const QByteArray from = QFile::encodeName(FBuilding), to = QFile::encodeName(FPath);
    if (!syncPath(FBuilding, false) || std::rename(from.constData(), to.constData()) != 0) {
        Prompts::message(QStringLiteral("Error during virtual Duvo file creation!"), QStringLiteral("Creation Error"),
                         Ok, PromptIcon::Error);
        Discard();
        return false;
    }
    syncPath(QFileInfo(FPath).absolutePath(), true);
    FBuilding.clear();
    return true;
}

void VduWriter::Discard()
{
    if (FDB) {
        try {
            FDB->RunCommand("rollback transaction;");
        } catch (const CppSQLite3Exception &) {
        }
        FDB->CloseFile();
        FDB.reset();
    }
    if (!FBuilding.isEmpty()) {
        removeWithCompanions(FBuilding);
        FBuilding.clear();
    }
}

bool CopyDeviceToPackage(VduWriter &writer, DeviceFileOperations &ops, const std::string &sourceIp,
                         const CloneListing &listing, WholeInstrumentJob &job, bool &complete)
{
    complete = false;
    auto stopped = [&] { return job.cancelled() || ops.client().aborted(); };
    job.setAction(QStringLiteral("creating virtual folders..."));
    int i = 0;
    for (const VLCLONEFOLDERS_T &f : listing.folders) {
        if (!job.beginStep(QStringLiteral("creating "), QString::fromStdString(f.foldername), ++i,
                           listing.folderCount)
            || stopped())
            return false;
        const bool written = writer.WritePackageFolder(f.foldername, f.password, f.secure);
        if (stopped())
            return false;
        if (!written && !job.askContinue(QStringLiteral("There was an error making virtual folder ")
                                         + QString::fromStdString(f.foldername)))
            return false;
    }
    job.setAction(QStringLiteral("copying virtual files..."));
    int j = 0;
    for (const VLCLONEFILES_T &f : listing.files) {
        const QString where = QString::fromStdString(f.foldername) + QLatin1Char('/') + QString::fromStdString(f.filename);
        if (!job.beginStep(QStringLiteral("copying "), QString::fromStdString(f.filename), ++j, listing.fileCount)
            || stopped())
            return false;
        job.setAction(QStringLiteral("retrieving ") + QString::fromStdString(f.filename));
        job.yield();
        if (!FetchCheckedProtocol(ops, sourceIp, f.foldername, f.filename)) {
            if (stopped())
                return false;
            if (job.askContinue(QStringLiteral("There was an error retrieving ") + where))
                continue;
            return false;
        }
        if (!job.yield() || stopped()) {
            ops.fetchedProtocol().release();
            return false;
        }
        job.setAction(QStringLiteral("copying virtual ") + QString::fromStdString(f.filename));
        job.yield();
        if (writer.WritePackageFile(ops.fetchedProtocol())) {
            if (!job.yield() || stopped())
                return false;
            continue;
        }
        ops.fetchedProtocol().release();
        if (!job.askContinue(QStringLiteral("There was an error copying virtual ") + where))
            return false;
    }
    complete = writer.failedRows() == 0;
    return true;
}

} // namespace duvo
