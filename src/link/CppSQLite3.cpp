#include "link/CppSQLite3.h"

#include <QFile>

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

// ---- CppSQLite3Exception ----

CppSQLite3Exception::CppSQLite3Exception(int errorCode, const char *message, bool freeMessage)
    : FErrorCode(errorCode)
{
    FErrorMessage = sqlite3_mprintf("%s[%d]: %s", ErrorCodeName(errorCode), errorCode,
                                    message ? message : "");
    if (freeMessage && message)
        sqlite3_free(const_cast<char *>(message));
}

CppSQLite3Exception::CppSQLite3Exception(const CppSQLite3Exception &other)
    : FErrorCode(other.FErrorCode)
{
    if (other.FErrorMessage)
        FErrorMessage = sqlite3_mprintf("%s", other.FErrorMessage);
}

CppSQLite3Exception::~CppSQLite3Exception()
{
    if (FErrorMessage) {
        sqlite3_free(FErrorMessage);
        FErrorMessage = nullptr;
    }
}

const char *CppSQLite3Exception::ErrorCodeName(int errorCode)
{
    switch (errorCode) {
    case SQLITE_OK: return "SQLITE_OK";
    case SQLITE_ERROR: return "SQLITE_ERROR";
    case SQLITE_INTERNAL: return "SQLITE_INTERNAL";
    case SQLITE_PERM: return "SQLITE_PERM";
    case SQLITE_ABORT: return "SQLITE_ABORT";
    case SQLITE_BUSY: return "SQLITE_BUSY";
    case SQLITE_LOCKED: return "SQLITE_LOCKED";
    case SQLITE_NOMEM: return "SQLITE_NOMEM";
    case SQLITE_READONLY: return "SQLITE_READONLY";
    case SQLITE_INTERRUPT: return "SQLITE_INTERRUPT";
    case SQLITE_IOERR: return "SQLITE_IOERR";
    case SQLITE_CORRUPT: return "SQLITE_CORRUPT";
    case SQLITE_NOTFOUND: return "SQLITE_NOTFOUND";
    case SQLITE_FULL: return "SQLITE_FULL";
    case SQLITE_CANTOPEN: return "SQLITE_CANTOPEN";
    case SQLITE_PROTOCOL: return "SQLITE_PROTOCOL";
    case SQLITE_EMPTY: return "SQLITE_EMPTY";
    case SQLITE_SCHEMA: return "SQLITE_SCHEMA";
    case SQLITE_TOOBIG: return "SQLITE_TOOBIG";
    case SQLITE_CONSTRAINT: return "SQLITE_CONSTRAINT";
    case SQLITE_MISMATCH: return "SQLITE_MISMATCH";
    case SQLITE_MISUSE: return "SQLITE_MISUSE";
    case SQLITE_NOLFS: return "SQLITE_NOLFS";
    case SQLITE_AUTH: return "SQLITE_AUTH";
    case SQLITE_FORMAT: return "SQLITE_FORMAT";
    case SQLITE_RANGE: return "SQLITE_RANGE";
    case SQLITE_ROW: return "SQLITE_ROW";
    case SQLITE_DONE: return "SQLITE_DONE";
    case CPPSQLITE_ERROR: return "CPPSQLITE_ERROR";
    default: return "UNKNOWN_ERROR";
    }
}

// ---- CppSQLite3Buffer ----

CppSQLite3Buffer::~CppSQLite3Buffer()
{
    Clear();
}

const char *CppSQLite3Buffer::Format(const char *format, ...)
{
    Clear();
    va_list args;
    va_start(args, format);
    FBuffer = sqlite3_vmprintf(format, args);
    va_end(args);
    return FBuffer;
}

void CppSQLite3Buffer::Clear()
{
    if (FBuffer) {
        sqlite3_free(FBuffer);
        FBuffer = nullptr;
    }
}

// ---- CppSQLite3Query ----

CppSQLite3Query::CppSQLite3Query(sqlite3 *db, sqlite3_stmt *statement, bool atEnd, bool ownsStatement)
    : FDB(db), FStatement(statement), FAtEnd(atEnd),
      FColumnCount(statement ? sqlite3_column_count(statement) : 0), FOwnsStatement(ownsStatement)
{
}

CppSQLite3Query::CppSQLite3Query(CppSQLite3Query &&other) noexcept
    : FDB(other.FDB), FStatement(other.FStatement), FAtEnd(other.FAtEnd),
      FColumnCount(other.FColumnCount), FOwnsStatement(other.FOwnsStatement)
{
    other.FStatement = nullptr;
    other.FOwnsStatement = false;
    other.FAtEnd = true;
}

CppSQLite3Query::~CppSQLite3Query()
{
    try {
        Release();
    } catch (...) {
    }
}

void CppSQLite3Query::CheckStatement()
{
    if (!FStatement)
        throw CppSQLite3Exception(CPPSQLITE_ERROR, "Null Virtual Machine pointer");
}

void CppSQLite3Query::CheckIndex(int index)
{
    if (index < 0 || index > FColumnCount - 1)
        throw CppSQLite3Exception(CPPSQLITE_ERROR, "Invalid field index requested");
}

int CppSQLite3Query::ColumnCount()
{
    CheckStatement();
    return FColumnCount;
}

const char *CppSQLite3Query::ColumnText(int index)
{
    CheckStatement();
    CheckIndex(index);
    // A cursor at end has no current row: every column reads as NULL there.
    if (FAtEnd)
        return nullptr;
    return reinterpret_cast<const char *>(sqlite3_column_text(FStatement, index));
}

int CppSQLite3Query::ColumnType(int index)
{
    CheckStatement();
    CheckIndex(index);
    if (FAtEnd)
        return SQLITE_NULL;
    return sqlite3_column_type(FStatement, index);
}

int CppSQLite3Query::ColumnIndex(const char *name)
{
    CheckStatement();
    if (name) {
        for (int i = 0; i < FColumnCount; ++i) {
            const char *columnName = sqlite3_column_name(FStatement, i);
            if (columnName && std::strcmp(name, columnName) == 0)
                return i;
        }
    }
    throw CppSQLite3Exception(CPPSQLITE_ERROR, "Invalid field name requested");
}

int CppSQLite3Query::IntColumn(int index, int defaultValue)
{
    if (ColumnType(index) == SQLITE_NULL)
        return defaultValue;
    return sqlite3_column_int(FStatement, index);
}

double CppSQLite3Query::FloatColumn(int index, double defaultValue)
{
    if (ColumnType(index) == SQLITE_NULL)
        return defaultValue;
    return sqlite3_column_double(FStatement, index);
}

const char *CppSQLite3Query::TextColumn(int index, const char *defaultValue)
{
    if (ColumnType(index) == SQLITE_NULL)
        return defaultValue;
    return reinterpret_cast<const char *>(sqlite3_column_text(FStatement, index));
}

int CppSQLite3Query::IntColumnNamed(const char *name, int defaultValue)
{
    return IntColumn(ColumnIndex(name), defaultValue);
}

double CppSQLite3Query::FloatColumnNamed(const char *name, double defaultValue)
{
    return FloatColumn(ColumnIndex(name), defaultValue);
}

const char *CppSQLite3Query::TextColumnNamed(const char *name, const char *defaultValue)
{
    return TextColumn(ColumnIndex(name), defaultValue);
}

QString CppSQLite3Query::StringColumnNamed(const char *name)
{
    return QString::fromUtf8(TextColumnNamed(name, ""));
}

bool CppSQLite3Query::AtEnd()
{
    CheckStatement();
    return FAtEnd;
}

void CppSQLite3Query::NextRow()
{
    CheckStatement();
    const int rc = sqlite3_step(FStatement);
    if (rc == SQLITE_DONE) {
        FAtEnd = true;
    } else if (rc == SQLITE_ROW) {
        // still on a row
    } else {
        const int finalized = sqlite3_finalize(FStatement);
        FStatement = nullptr;
        throw CppSQLite3Exception(finalized, sqlite3_errmsg(FDB));
    }
}

void CppSQLite3Query::Release()
{
    if (!FOwnsStatement || !FStatement)
        return;
    sqlite3_stmt *statement = FStatement;
    FStatement = nullptr;
    const int rc = sqlite3_finalize(statement);
    if (rc != SQLITE_OK)
        throw CppSQLite3Exception(rc, sqlite3_errmsg(FDB));
}

// ---- CppSQLite3DB ----

CppSQLite3DB::~CppSQLite3DB()
{
    CloseFile();
}

const char *CppSQLite3DB::LibraryVersion()
{
    return sqlite3_libversion();
}

void CppSQLite3DB::OpenFile(const char *path)
{
    const int rc = sqlite3_open(path, &FDB);
    if (rc != SQLITE_OK)
        throw CppSQLite3Exception(rc, FDB ? sqlite3_errmsg(FDB) : nullptr);
    SetBusyTimeout(FBusyTimeoutMs);
}

void CppSQLite3DB::OpenFile(const QString &path)
{
    OpenFile(QFile::encodeName(path).constData());
}

void CppSQLite3DB::OpenExistingFile(const QString &path)
{
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &FDB, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        const CppSQLite3Exception error(rc, FDB ? sqlite3_errmsg(FDB) : nullptr);
        CloseFile();
        throw error;
    }
    SetBusyTimeout(FBusyTimeoutMs);
}

namespace {
long long steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch()).count();
}
} // namespace

int CppSQLite3DB::ProgressCheck(void *self)
{
    const auto *db = static_cast<const CppSQLite3DB *>(self);
    return db->FStatementMs > 0 && steadyMs() > db->FDeadlineMs ? 1 : 0;
}

void CppSQLite3DB::OpenReadOnly(const QString &path, int statementMs)
{
    CloseFile();
    const QByteArray name = QFile::encodeName(path);
    const int rc = sqlite3_open_v2(name.constData(), &FDB, SQLITE_OPEN_READONLY, nullptr);
    if (rc != SQLITE_OK) {
        const CppSQLite3Exception e(rc, FDB ? sqlite3_errmsg(FDB) : nullptr);
        CloseFile();
        throw e;
    }
    sqlite3_db_config(FDB, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(FDB, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_limit(FDB, SQLITE_LIMIT_LENGTH, 16 * 1024 * 1024);
    sqlite3_limit(FDB, SQLITE_LIMIT_SQL_LENGTH, 1024 * 1024);
    FStatementMs = statementMs;
    FDeadlineMs = steadyMs() + statementMs;
    sqlite3_progress_handler(FDB, 1000, &CppSQLite3DB::ProgressCheck, this);
    SetBusyTimeout(std::min(FBusyTimeoutMs, statementMs));
}

void CppSQLite3DB::OpenImage(const QByteArray &content)
{
    // Header bytes 56..59 hold the text encoding, 1 for UTF-8. A connection takes the encoding
    // of the first database it reads and keeps it, so only UTF-8 contents share one.
    const bool utf8 = content.isEmpty()
                      || (content.size() >= 60 && content.at(56) == 0 && content.at(57) == 0
                          && content.at(58) == 0 && content.at(59) == 1);
    int rc = SQLITE_OK;
    if (!(FDB && FImageReusable && utf8)) {
        CloseFile();
        rc = sqlite3_open_v2(":memory:", &FDB, SQLITE_OPEN_READWRITE, nullptr);
    }
    if (rc == SQLITE_OK) {
        // The library takes the copy over and frees it with the connection.
        const auto size = static_cast<sqlite3_int64>(content.size());
        auto *copy = static_cast<unsigned char *>(sqlite3_malloc64(static_cast<sqlite3_uint64>(size > 0 ? size : 1)));
        if (!copy) {
            rc = SQLITE_NOMEM;
        } else {
            if (size > 0)
                std::memcpy(copy, content.constData(), static_cast<size_t>(size));
            rc = sqlite3_deserialize(FDB, "main", copy, size, size,
                                     SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_READONLY);
        }
    }
    if (rc != SQLITE_OK) {
        const CppSQLite3Exception e(rc, FDB ? sqlite3_errmsg(FDB) : nullptr);
        CloseFile();
        throw e;
    }
    FImageReusable = utf8;
    SetBusyTimeout(FBusyTimeoutMs);
}

void CppSQLite3DB::CloseFile()
{
    FImageReusable = false;
    if (FDB) {
        // close_v2: with a cursor still alive the connection becomes a zombie that the library
        // frees (and unlocks) once the last statement is finalised, instead of leaking it.
        sqlite3_progress_handler(FDB, 0, nullptr, nullptr);
        sqlite3_close_v2(FDB);
        FDB = nullptr;
    }
}

void CppSQLite3DB::CheckOpen()
{
    if (!FDB)
        throw CppSQLite3Exception(CPPSQLITE_ERROR, "Database not open");
}

sqlite3_stmt *CppSQLite3DB::Compile(const char *sql)
{
    CheckOpen();
    FDeadlineMs = steadyMs() + FStatementMs;
    sqlite3_stmt *statement = nullptr;
    const int rc = sqlite3_prepare_v2(FDB, sql, -1, &statement, nullptr);
    if (rc != SQLITE_OK) {
        if (statement)
            sqlite3_finalize(statement);
        throw CppSQLite3Exception(rc, nullptr);
    }
    return statement;
}

void CppSQLite3DB::RestartStatementClock()
{
    FDeadlineMs = steadyMs() + FStatementMs;
}

int CppSQLite3DB::RunCommand(const char *sql)
{
    CheckOpen();
    FDeadlineMs = steadyMs() + FStatementMs;
    char *error = nullptr;
    const int rc = sqlite3_exec(FDB, sql, nullptr, nullptr, &error);
    if (rc != SQLITE_OK)
        throw CppSQLite3Exception(rc, error, true);
    if (error)
        sqlite3_free(error);
    return sqlite3_changes(FDB);
}

CppSQLite3Query CppSQLite3DB::RunQuery(const char *sql)
{
    CheckOpen();
    sqlite3_stmt *statement = Compile(sql);
    const int rc = sqlite3_step(statement);
    if (rc == SQLITE_DONE)
        return CppSQLite3Query(FDB, statement, true, true);
    if (rc == SQLITE_ROW)
        return CppSQLite3Query(FDB, statement, false, true);
    const int finalized = sqlite3_finalize(statement);
    throw CppSQLite3Exception(finalized, sqlite3_errmsg(FDB));
}

int CppSQLite3DB::RunScalar(const char *sql)
{
    CppSQLite3Query query = RunQuery(sql);
    if (query.AtEnd() || query.ColumnCount() < 1)
        throw CppSQLite3Exception(CPPSQLITE_ERROR, "Invalid scalar query");
    const char *text = query.ColumnText(0);
    if (!text)
        return 0;  // a NULL first value
    // Leading blanks, an optional sign, then digits up to the first other character.
    errno = 0;
    const long value = std::strtol(text, nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

void CppSQLite3DB::SetBusyTimeout(int milliseconds)
{
    FBusyTimeoutMs = milliseconds;
    if (FDB)
        sqlite3_busy_timeout(FDB, milliseconds);
}
