#include "maintenance/VduWriter.h"

#include "common/Prompts.h"
#include "link/CppSQLite3.h"
#include "link/DatabaseFiles.h"
#include "maintenance/CloneCopy.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QThread>

#include <sqlite3.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

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

// Runs work on a thread of its own and returns its result; on the application's thread,
// pending events are processed while it runs.
template <typename Work>
auto WhilePumping(Work &&work) -> decltype(work())
{
    using Result = decltype(work());
    std::mutex lock;
    std::condition_variable ended;
    bool done = false;
    Result result{};
    std::thread worker([&] {
        const Result r = work();
        {
            const std::lock_guard<std::mutex> hold(lock);
            result = r;
            done = true;
        }
        ended.notify_one();
    });
    const QCoreApplication *app = QCoreApplication::instance();
    const bool pump = app && QThread::currentThread() == app->thread();
    std::unique_lock<std::mutex> hold(lock);
    while (!done) {
        if (pump) {
            hold.unlock();
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            hold.lock();
            if (done)
                break;
        }
        ended.wait_for(hold, std::chrono::milliseconds(5));
    }
    hold.unlock();
    worker.join();
    return result;
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
    FDB = std::make_unique<CppSQLite3DB>();
    try {
        // The new, empty file of its kind (a failure here reads as one of file creation).
        FDB->OpenFile(building);
        // The new file only takes the chosen name once it is whole and synced (Commit), so
        // nothing needs syncing while it is built: a run that ends early removes it. The
        // journal stays a file, so a file removed under the run fails its writes.
        FDB->RunCommand("pragma synchronous = off;");
        // A small cache: the new pages go out to the file along the run (none of them needs
        // a journal entry) and their memory is reused, instead of every page of a whole
        // instrument being allocated and then written at once by the commit.
        FDB->RunCommand("pragma cache_size = -256;");
        // Outside the transaction: inside one the engine ignores it.
        FDB->RunCommand("pragma auto_vacuum = 1;");
        for (const char *statement : VirtualDataFileStatements())
            FDB->RunCommand(statement);
    } catch (const CppSQLite3Exception &e) {
        FDB.reset();
        removeWithCompanions(building);
        Prompts::message(QStringLiteral("SQLite exception: ") + QString::number(e.ErrorCode()),
                         QStringLiteral("Error"), Ok, PromptIcon::Warning);
        return false;
    }
    try {
        FDB->RunCommand("begin exclusive transaction;");
        FSyncFd = ::open(QFile::encodeName(building).constData(), O_RDONLY | O_CLOEXEC);
        FRowsSinceWriteOut = 0;
        FFolderInsert = FDB->Compile("insert into vfolder_tbl (foldername,password,secure) values (?,?,?);");
        FFileInsert = FDB->Compile(
            "insert into vfile_tbl (foldername,filename,protocol,protocolsize) values (?,?,?,?);");
    } catch (const CppSQLite3Exception &e) {
        finalizeStatements();
        FDB.reset();
        removeWithCompanions(building);
        sqliteBox(e);
        return false;
    }
    FPath = target.absoluteFilePath();
    FBuilding = building;
    return true;
}

void VduWriter::closeSyncFd()
{
    if (FSyncFd >= 0)
        ::close(FSyncFd);
    FSyncFd = -1;
}

void VduWriter::finalizeStatements()
{
    for (sqlite3_stmt **statement : {&FFolderInsert, &FFileInsert}) {
        if (*statement)
            sqlite3_finalize(*statement);
        *statement = nullptr;
    }
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

bool VduWriter::insert(sqlite3_stmt *statement)
{
    // The statement is bound by the caller; it is reset (and its texts released) whatever
    // the outcome, ready for the next row.
    if (!FDB || !statement) {
        ++FFailedRows;
        return false;
    }
    const int rc = sqlite3_step(statement);
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    if (rc == SQLITE_DONE)
        return true;
    ++FFailedRows;
    sqliteBox(CppSQLite3Exception(rc, nullptr));
    return false;
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
    if (FFolderInsert) {
        // Texts up to their first NUL, as they have always been stored.
        sqlite3_bind_text(FFolderInsert, 1, name.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(FFolderInsert, 2, password.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_int(FFolderInsert, 3, secure);
    }
    return insert(FFolderInsert);
}

bool VduWriter::WritePackageFile(FetchedProtocol &fetched)
{
    if (!fetched.held())
        return false;
    if (FFileInsert) {
        sqlite3_bind_text(FFileInsert, 1, fetched.Folder.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(FFileInsert, 2, fetched.File.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(FFileInsert, 3, fetched.Protocol->c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_int(FFileInsert, 4, fetched.Size);
    }
    if (!insert(FFileInsert))
        return false;
    fetched.release();
    // The rows written so far start out to the disk while the run goes on, so the sync at the
    // end waits for little more than the last of them.
    if (FSyncFd >= 0 && ++FRowsSinceWriteOut >= WriteOutRows) {
        FRowsSinceWriteOut = 0;
        ::sync_file_range(FSyncFd, 0, 0, SYNC_FILE_RANGE_WRITE);
    }
    return true;
}

bool VduWriter::Commit()
{
    if (!FDB)
        return false;
    finalizeStatements();
    closeSyncFd();
    // The commit writes the whole file and the sync waits for the disk, which a busy machine
    // can make take long: both run on a thread of their own while the window goes on
    // repainting and its timers run.
    enum class Step { Done, SqliteFailed, SyncOrRenameFailed };
    int sqliteCode = 0;
    const QByteArray from = QFile::encodeName(FBuilding), to = QFile::encodeName(FPath);
    const QString folder = QFileInfo(FPath).absolutePath();
    const Step step = WhilePumping([&] {
        try {
            FDB->RunCommand("commit transaction;");
            FDB->CloseFile();
        } catch (const CppSQLite3Exception &e) {
            sqliteCode = e.ErrorCode();
            return Step::SqliteFailed;
        }
        if (!syncPath(FBuilding, false) || std::rename(from.constData(), to.constData()) != 0)
            return Step::SyncOrRenameFailed;
        syncPath(folder, true);
        return Step::Done;
    });
    if (step == Step::SqliteFailed) {
        sqliteBox(CppSQLite3Exception(sqliteCode, nullptr));
        Discard();
        return false;
    }
    FDB.reset();
    if (step == Step::SyncOrRenameFailed) {
        Prompts::message(QStringLiteral("Error during virtual Duvo file creation!"), QStringLiteral("Creation Error"),
                         Ok, PromptIcon::Error);
        Discard();
        return false;
    }
    FBuilding.clear();
    return true;
}

void VduWriter::Discard()
{
    finalizeStatements();
    closeSyncFd();
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
    StepYield yieldStep(job);
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
        const CopyFetch fetched = FetchForCopy(ops, job, yieldStep, sourceIp, f);
        if (fetched == CopyFetch::Stop)
            return false;
        if (fetched == CopyFetch::Skip)
            continue;
        job.setAction(QStringLiteral("copying virtual ") + QString::fromStdString(f.filename));
        yieldStep();
        if (writer.WritePackageFile(ops.fetchedProtocol())) {
            if (!yieldStep() || stopped())
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
