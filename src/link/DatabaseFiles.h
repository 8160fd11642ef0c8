#pragma once
// The three kinds of local SQLite file and their creators: the main database (settings row
// and run records), the virtual data file (".vdu": the folders and protocols of a whole
// instrument) and the protocol file (".svp": one protocol).
//
// A creator builds the new file beside the old one and renames it over the old one only when
// every statement succeeded, so a failed creation leaves an existing file untouched. New
// files are auto-vacuum. Each returns 1 when the file at path now is a new, empty file of its
// kind and 0 otherwise; an engine error shows "SQLite exception: <code>" (title "Error")
// first, a file that cannot be replaced (not writable, or locked by a connection that is
// reading or writing it) gives 0 without a message.

#include <QString>
#include <QStringList>

#include <functional>

class CppSQLite3DB;

namespace duvo {

int CreateMainDatabase(const QString &path);
int CreateVirtualDataFile(const QString &path);
int CreateProtocolFile(const QString &path);

// The routine behind the three creators: runs "pragma auto_vacuum = 1;" and then the given
// statements (which carry their own transaction) on a new file, then puts it in place.
int CreateSqliteFile(const QString &path, const QList<const char *> &statements);
// The same, with a first content written into the new file before it takes the old one's
// place: an engine error in fill (a CppSQLite3Exception) fails the creation like one in the
// statements, and the old file stays as it was.
int CreateSqliteFile(const QString &path, const QList<const char *> &statements,
                     const std::function<void(CppSQLite3DB &db)> &fill);

// The schema statements of each kind, in the order they run.
QList<const char *> MainDatabaseStatements();
QList<const char *> VirtualDataFileStatements();
QList<const char *> ProtocolFileStatements();

} // namespace duvo
