#pragma once
// The database access layer: every local file of the workstation is an SQLite database, and
// every window reaches it through these four classes. A failing SQLite result becomes a
// thrown CppSQLite3Exception; a connection waits up to 5000 ms for a locked file; rows are
// read through a forward-only cursor with a caller-given default for NULL values.
//
// Usage: CppSQLite3DB db; db.OpenFile(path); CppSQLite3Buffer sql; sql.Format("...%Q;", key);
// db.RunCommand(sql) / db.RunScalar(sql) / CppSQLite3Query q = db.RunQuery(sql) and a loop of
// q.AtEnd() / q.TextColumnNamed(...) / q.NextRow(); the cursor goes out of scope before the
// connection closes. No connection to a file stays open between operations.

#include <QByteArray>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

// The layer's own result code.
inline constexpr int CPPSQLITE_ERROR = 1000;

class CppSQLite3Exception {
public:
    // Formats "%s[%d]: %s" from the code's name, the code and the message (empty when null).
    // With freeMessage set, a given message was allocated by the library and is released.
    CppSQLite3Exception(int errorCode, const char *message, bool freeMessage = false);
    CppSQLite3Exception(const CppSQLite3Exception &other);
    CppSQLite3Exception &operator=(const CppSQLite3Exception &) = delete;
    virtual ~CppSQLite3Exception();

    int ErrorCode() const { return FErrorCode; }
    // The formatted text, or null for a copy of an exception without text.
    const char *ErrorMessage() const { return FErrorMessage; }

    static const char *ErrorCodeName(int errorCode);

private:
    int FErrorCode;
    char *FErrorMessage = nullptr;
};

// One SQL text formatted with the library's printf: %q doubles every single quote of a text,
// %Q does the same inside single quotes and writes NULL for a null text.
class CppSQLite3Buffer {
public:
    CppSQLite3Buffer() = default;
    ~CppSQLite3Buffer();
    CppSQLite3Buffer(const CppSQLite3Buffer &) = delete;
    CppSQLite3Buffer &operator=(const CppSQLite3Buffer &) = delete;

    const char *Format(const char *format, ...);
    void Clear();
    const char *Text() const { return FBuffer ? FBuffer : ""; }
    operator const char *() const { return Text(); }

private:
    char *FBuffer = nullptr;
};

// A forward-only cursor over one prepared statement. Texts it returns belong to the library
// and stay valid only until the cursor moves on or is released: copy them at once.
class CppSQLite3Query {
public:
    CppSQLite3Query(sqlite3 *db, sqlite3_stmt *statement, bool atEnd, bool ownsStatement = true);
    CppSQLite3Query(CppSQLite3Query &&other) noexcept;
    CppSQLite3Query(const CppSQLite3Query &) = delete;
    CppSQLite3Query &operator=(const CppSQLite3Query &) = delete;
    CppSQLite3Query &operator=(CppSQLite3Query &&) = delete;
    virtual ~CppSQLite3Query();

    int ColumnCount();
    const char *ColumnText(int index);  // null for a NULL value (and when at end)
    int ColumnType(int index);          // 1 integer, 2 float, 3 text, 4 blob, 5 NULL
    int ColumnIndex(const char *name);  // exact, case-sensitive

    int IntColumn(int index, int defaultValue);
    double FloatColumn(int index, double defaultValue);
    const char *TextColumn(int index, const char *defaultValue);
    int IntColumnNamed(const char *name, int defaultValue);
    double FloatColumnNamed(const char *name, double defaultValue);
    const char *TextColumnNamed(const char *name, const char *defaultValue);
    // The named text column as a QString (UTF-8), the empty text for NULL.
    QString StringColumnNamed(const char *name);

    bool AtEnd();
    void NextRow();
    void Release();

private:
    void CheckStatement();
    void CheckIndex(int index);

    sqlite3 *FDB;
    sqlite3_stmt *FStatement;
    bool FAtEnd;
    int FColumnCount;
    bool FOwnsStatement;
};

class CppSQLite3DB {
public:
    CppSQLite3DB() = default;
    virtual ~CppSQLite3DB();
    CppSQLite3DB(const CppSQLite3DB &) = delete;
    CppSQLite3DB &operator=(const CppSQLite3DB &) = delete;

    // The version of the SQLite library in use ("3.40.1").
    static const char *LibraryVersion();

    void OpenFile(const char *path);
    void OpenFile(const QString &path);
    // Opens a database file that must exist already (read and write): a missing file throws
    // and is not created.
    void OpenExistingFile(const QString &path);
    // Opens a file that may come from anywhere (a virtual data file someone sent) to read it
    // only: the file is never written (a hot journal makes reading fail instead of being
    // rolled back), the schema is not trusted, defensive mode is on, values are limited to
    // 16 MiB, and every statement is interrupted (SQLITE_INTERRUPT) once it has run for
    // statementMs milliseconds.
    void OpenReadOnly(const QString &path, int statementMs = 2000);
    // Opens a database from the whole content of its file held in memory, to read only: no
    // file is touched, locked or looked up beside it while the statements run. A content
    // that is no database fails at the first statement, as a file would. A connection opened
    // this way and left open takes the next content in place of the last one when both are
    // in UTF-8 (opening a connection costs about as much as a query); otherwise a new
    // connection opens.
    void OpenImage(const QByteArray &content);
    // Forgets the connection. A cursor still alive keeps the connection until it is released;
    // then the library frees it with its lock.
    void CloseFile();
    bool IsOpen() const { return FDB != nullptr; }

    int RunCommand(const char *sql);
    CppSQLite3Query RunQuery(const char *sql);
    int RunScalar(const char *sql);
    void SetBusyTimeout(int milliseconds);
    int BusyTimeout() const { return FBusyTimeoutMs; }

    void CheckOpen();
    sqlite3_stmt *Compile(const char *sql);
    // Starts the time bound of OpenReadOnly afresh for a compiled statement that is stepped
    // again (RunCommand, RunQuery and Compile start it themselves).
    void RestartStatementClock();

private:
    static int ProgressCheck(void *self);

    sqlite3 *FDB = nullptr;
    int FBusyTimeoutMs = 5000;
    int FStatementMs = 0;        // 0: statements are not bounded
    bool FImageReusable = false; // an OpenImage connection that may take the next content
    long long FDeadlineMs = 0;   // steady-clock time at which the running statement stops
};
