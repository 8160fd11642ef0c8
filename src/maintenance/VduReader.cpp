#include "maintenance/VduReader.h"

#include "common/Prompts.h"
#include "link/CppSQLite3.h"
#include "maintenance/InstrumentNames.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>

#include <sqlite3.h>

#include <cmath>
#include <map>
#include <memory>

namespace duvo {

namespace {

const QString ErrorTitle = QStringLiteral("vDuvo Error");

// A reader's failure that was already shown.
struct Shown {};

void box(const QString &text, PromptIcon icon = PromptIcon::Warning)
{
    Prompts::message(text, ErrorTitle, Ok, icon);
}

[[noreturn]] void fail(const QString &text, PromptIcon icon = PromptIcon::Warning)
{
    box(text, icon);
    throw Shown();
}

void requireFile(const QString &path)
{
    if (!QFileInfo(path).isFile())
        fail(QStringLiteral("Can't find the vDuvo data file!"));
}

[[noreturn]] void notFound()
{
    fail(QStringLiteral("Information record not found!"), PromptIcon::Error);
}

[[noreturn]] void invalidName(const std::string &name)
{
    fail(QStringLiteral("The virtual Duvo data file holds an invalid name: ") + QString::fromUtf8(name));
}

// Opens the file hardened and checks that the tables read are real tables (not views).
void requireTables(CppSQLite3DB &db, std::initializer_list<const char *> tables)
{
    for (const char *table : tables) {
        CppSQLite3Buffer sql;
        sql.Format("select count(*) from sqlite_master where type='table' and name=%Q;", table);
        if (db.RunScalar(sql) != 1)
            throw CppSQLite3Exception(SQLITE_ERROR, "no such table");
    }
}

void openPackage(CppSQLite3DB &db, const QString &path, std::initializer_list<const char *> tables)
{
    db.OpenReadOnly(path);
    requireTables(db, tables);
    // A reader walks the file's rows more than once (its check, then row by row): one read
    // transaction for the connection's life keeps each statement from locking and probing
    // the file again. The rows are walked in order, so a small cache whose pages are reused
    // serves them better than one that allocates every page of a whole instrument.
    db.RunCommand("pragma cache_size = -256;");
    db.RunCommand("begin;");
}

std::string columnBytes(CppSQLite3Query &q, int index)
{
    const char *t = q.ColumnText(index);
    return t ? std::string(t) : std::string();
}

// Type of a column value: SQLITE_INTEGER 1, FLOAT 2, TEXT 3, BLOB 4, NULL 5.
void requireType(CppSQLite3Query &q, int index, std::initializer_list<int> allowed)
{
    const int type = q.ColumnType(index);
    for (int a : allowed)
        if (a == type)
            return;
    throw CppSQLite3Exception(SQLITE_MISMATCH, "wrong type");
}

struct FolderRow {
    std::string foldername, password;
    bool secure = false;
};

struct FileRow {
    sqlite3_int64 rowid = 0;
    std::string foldername, filename;
    int protocolsize = 0;
};

// The folder rows, checked; at most MaxPackageFolders.
std::vector<FolderRow> readFolders(CppSQLite3DB &db)
{
    // Whether any row has a folderid (count(folderid) >= 1, without walking every row).
    if (db.RunScalar("select exists (select 1 from vfolder_tbl where folderid is not null);") < 1)
        notFound();
    std::vector<FolderRow> rows;
    CppSQLite3Query q = db.RunQuery("select foldername, password, secure from vfolder_tbl order by rowid limit 41;");
    for (; !q.AtEnd(); q.NextRow()) {
        if (rows.size() >= size_t(MaxPackageFolders))
            throw CppSQLite3Exception(SQLITE_TOOBIG, "too many folders");
        requireType(q, 0, {SQLITE_TEXT, SQLITE_NULL});
        requireType(q, 1, {SQLITE_TEXT, SQLITE_NULL});
        requireType(q, 2, {SQLITE_INTEGER, SQLITE_NULL});
        FolderRow r;
        r.foldername = CutSecureMark(columnBytes(q, 0));
        if (!IsPlainFolderName(r.foldername))
            invalidName(columnBytes(q, 0));
        r.password = columnBytes(q, 1);
        r.secure = q.IntColumn(2, 0) != 0;
        rows.push_back(std::move(r));
    }
    return rows;
}

// The file rows without their protocols, checked.
std::vector<FileRow> readFiles(CppSQLite3DB &db)
{
    if (db.RunScalar("select exists (select 1 from vfile_tbl where fileid is not null);") < 1)
        notFound();
    std::vector<FileRow> rows;
    std::map<std::string, int> perFolder;
    CppSQLite3Query q = db.RunQuery(
        "select rowid, foldername, filename, typeof(protocol), length(cast(protocol as blob)), protocolsize "
        "from vfile_tbl order by rowid limit 1601;");
    for (; !q.AtEnd(); q.NextRow()) {
        requireType(q, 1, {SQLITE_TEXT, SQLITE_NULL});
        requireType(q, 2, {SQLITE_TEXT, SQLITE_NULL});
        requireType(q, 5, {SQLITE_INTEGER, SQLITE_NULL});
        const std::string protocolType = columnBytes(q, 3);
        if (protocolType != "text" && protocolType != "null")
            throw CppSQLite3Exception(SQLITE_MISMATCH, "wrong type");
        if (q.IntColumn(4, 0) > MaxPackageProtocolBytes)
            throw CppSQLite3Exception(SQLITE_TOOBIG, "protocol too big");
        FileRow r;
        r.rowid = sqlite3_int64(std::strtoll(columnBytes(q, 0).c_str(), nullptr, 10));
        r.foldername = CutSecureMark(columnBytes(q, 1));
        if (!IsPlainFolderName(r.foldername))
            invalidName(columnBytes(q, 1));
        r.filename = columnBytes(q, 2);
        if (!IsPlainFileName(r.filename))
            invalidName(r.filename);
        r.protocolsize = q.IntColumn(5, 0);
        if (++perFolder[UpperName(r.foldername)] > MaxPackageFilesPerFolder)
            throw CppSQLite3Exception(SQLITE_TOOBIG, "too many files");
        rows.push_back(std::move(r));
    }
    return rows;
}

// The protocol of one file row, by its rowid, through one statement prepared for the whole
// run of a reader.
class ProtocolReader {
public:
    explicit ProtocolReader(CppSQLite3DB &db)
        : FStatement(db.Compile("select protocol from vfile_tbl where rowid=?;"))
    {
    }
    ~ProtocolReader() { sqlite3_finalize(FStatement); }
    ProtocolReader(const ProtocolReader &) = delete;
    ProtocolReader &operator=(const ProtocolReader &) = delete;

    std::string read(CppSQLite3DB &db, sqlite3_int64 rowid)
    {
        // Each read is a statement of its own for the time bound.
        db.RestartStatementClock();
        sqlite3_reset(FStatement);
        sqlite3_bind_int64(FStatement, 1, rowid);
        const int rc = sqlite3_step(FStatement);
        if (rc == SQLITE_DONE)
            return {};
        if (rc != SQLITE_ROW) {
            const int code = sqlite3_reset(FStatement);
            throw CppSQLite3Exception(code != SQLITE_OK ? code : rc, nullptr);
        }
        const int type = sqlite3_column_type(FStatement, 0);
        if (type != SQLITE_TEXT && type != SQLITE_NULL)
            throw CppSQLite3Exception(SQLITE_MISMATCH, "wrong type");
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(FStatement, 0));
        std::string protocol = text ? std::string(text) : std::string();
        sqlite3_reset(FStatement);
        if (protocol.size() > size_t(MaxPackageProtocolBytes))
            throw CppSQLite3Exception(SQLITE_TOOBIG, "protocol too big");
        return protocol;
    }

private:
    sqlite3_stmt *FStatement;
};

void sqliteBox(const CppSQLite3Exception &e)
{
    box(QStringLiteral("SQLite exception: ") + QString::number(e.ErrorCode()));
}

// Runs a reader body: false after a shown failure or an SQLite exception (shown here).
template <typename Body>
bool guarded(Body &&body)
{
    try {
        return body();
    } catch (const Shown &) {
        return false;
    } catch (const CppSQLite3Exception &e) {
        sqliteBox(e);
        return false;
    }
}

} // namespace

QString PackageDateText(double date)
{
    // 1 January of the year 1 and 31 December 9999 as day counts since 30 December 1899.
    constexpr double first = -693593.0;
    constexpr double last = 2958466.0;
    if (!std::isfinite(date) || date < first || date >= last)
        return QStringLiteral("-");
    const double whole = std::floor(date);
    const QDate day = QDate(1899, 12, 30).addDays(qint64(whole));
    const int ms = std::min(int(std::llround((date - whole) * 86400000.0)), 86399999);
    const QDateTime when(day, QTime::fromMSecsSinceStartOfDay(ms));
    const QLocale locale = QLocale::system();
    return locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ')
           + locale.toString(when.time(), QLocale::LongFormat);
}

bool ReadPackageInfo(const QString &path, PackageInfo &info)
{
    return guarded([&] {
        requireFile(path);
        CppSQLite3DB db;
        openPackage(db, path, {"vinfo_tbl"});
        if (db.RunScalar("select count(infoid) from vinfo_tbl;") < 1)
            notFound();
        CppSQLite3Query q = db.RunQuery("select * from vinfo_tbl where infoid = 1;");
        PackageInfo read;
        if (!q.AtEnd()) {
            read.userName = q.StringColumnNamed("username");
            read.description = q.StringColumnNamed("description");
            read.date = q.FloatColumnNamed("date", 0.0);
            read.originalIp = q.StringColumnNamed("originalip");
            read.originalType = q.StringColumnNamed("originaltype");
            read.originalName = q.StringColumnNamed("originalname");
            read.totalFolders = q.IntColumnNamed("totalfolders", 0);
            read.totalFiles = q.IntColumnNamed("totalfiles", 0);
            read.version = q.StringColumnNamed("version");
        }
        info = read;
        return true;
    });
}

PackageCheck CheckPackage(const QString &path)
{
    PackageInfo info;
    if (!ReadPackageInfo(path, info))
        return PackageCheck::InfoFailed;
    PackageCheck phase = PackageCheck::FoldersFailed;
    const bool ok = guarded([&] {
        requireFile(path);
        CppSQLite3DB db;
        openPackage(db, path, {"vfolder_tbl"});
        readFolders(db);
        phase = PackageCheck::FilesFailed;
        requireTables(db, {"vfile_tbl"});
        // Reads every protocol whole (its type and its length in bytes) besides the names.
        readFiles(db);
        return true;
    });
    return ok ? PackageCheck::Ok : phase;
}

bool CreatePackageFolders(const QString &path, DeviceFileOperations &ops, const std::string &targetIp,
                          int folderTotal, WholeInstrumentJob &job)
{
    std::vector<FolderRow> rows;
    if (!guarded([&] {
            requireFile(path);
            CppSQLite3DB db;
            openPackage(db, path, {"vfolder_tbl"});
            rows = readFolders(db);
            return true;
        }))
        return false;
    int n = 0;
    for (const FolderRow &r : rows) {
        if (job.cancelled() || ops.client().aborted())
            break;
        if (!job.beginStep(QStringLiteral("creating "), QString::fromStdString(r.foldername), ++n, folderTotal)
            || ops.client().aborted())
            break;
        const int made = r.secure ? ops.MakeDeviceFolder(targetIp, r.foldername, true, r.password)
                                  : ops.MakeDeviceFolder(targetIp, r.foldername, false, std::string());
        if (!made && !ops.client().aborted()
            && !job.askContinue(QStringLiteral("There was an error making folder ")
                                + QString::fromStdString(r.foldername)))
            break;
    }
    return true;
}

bool CopyPackageFiles(const QString &path, DeviceFileOperations &ops, const std::string &targetIp, int fileTotal,
                      WholeInstrumentJob &job)
{
    CppSQLite3DB db;
    std::vector<FileRow> rows;
    if (!guarded([&] {
            requireFile(path);
            openPackage(db, path, {"vfile_tbl"});
            rows = readFiles(db);
            return true;
        }))
        return false;
    std::unique_ptr<ProtocolReader> reader;
    if (!guarded([&] {
            reader = std::make_unique<ProtocolReader>(db);
            return true;
        }))
        return false;
    int n = 0;
    for (const FileRow &r : rows) {
        if (job.cancelled() || ops.client().aborted())
            break;
        if (!job.beginStep(QStringLiteral("copying "), QString::fromStdString(r.filename), ++n, fileTotal)
            || ops.client().aborted())
            break;
        std::string protocol;
        if (!guarded([&] {
                protocol = reader->read(db, r.rowid);
                return true;
            }))
            return false;
        const int loaded = ops.LoadProtocolToDevice(targetIp, r.foldername, r.filename, protocol, r.protocolsize);
        if (!loaded && !ops.client().aborted()
            && !job.askContinue(QStringLiteral("There was an error copying ") + QString::fromStdString(r.foldername)
                                + QLatin1Char('/') + QString::fromStdString(r.filename)))
            break;
    }
    return true;
}

bool ListPackageFiles(const QString &path, std::vector<PackageFileRow> &out)
{
    return guarded([&] {
        requireFile(path);
        CppSQLite3DB db;
        openPackage(db, path, {"vfile_tbl"});
        std::vector<PackageFileRow> rows;
        for (const FileRow &r : readFiles(db))
            rows.push_back({r.foldername, r.filename});
        out = std::move(rows);
        return true;
    });
}

bool ReadPackageProtocol(const QString &path, std::string &protocol, const std::string &folder,
                         const std::string &file)
{
    protocol.clear();
    return guarded([&] {
        requireFile(path);
        CppSQLite3DB db;
        openPackage(db, path, {"vfile_tbl"});
        // The rows are checked as a whole first; then the first row with these names.
        for (const FileRow &r : readFiles(db))
            if (r.foldername == folder && r.filename == file) {
                protocol = ProtocolReader(db).read(db, r.rowid);
                break;
            }
        return true;
    });
}

} // namespace duvo
