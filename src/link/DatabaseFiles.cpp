#include "link/DatabaseFiles.h"

#include "common/Prompts.h"
#include "link/BesideFile.h"
#include "link/CppSQLite3.h"

#include <QFile>
#include <QFileInfo>

namespace duvo {

QList<const char *> MainDatabaseStatements()
{
    return {
        "begin exclusive transaction;",
        "create table config_tbl(configid INTEGER PRIMARY KEY, configname TEXT, maildata TEXT,\t\t\t\t  "
        "preferencedata TEXT, data1 TEXT, data2 TEXT, dbversion TEXT);",
        "create table log_tbl(logid INTEGER PRIMARY KEY, sessionid TEXT,\t\t\t  "
        "folder TEXT, file TEXT, protocol TEXT, protocolsize INTEGER,\t\t\t  "
        "date REAL, volume INTEGER, consumable INTEGER, originalip TEXT,\t\t\t  "
        "originaltype TEXT, originalname TEXT, contactname TEXT,\t\t\t  "
        "description TEXT, notes TEXT, fwversion TEXT, logres1 TEXT,\t\t\t  "
        "logres2 TEXT, logres3 REAL, logres4 REAL);",
        "create index session_id_idx on log_tbl (sessionid);",
        "create table log2_tbl(log2id INTEGER PRIMARY KEY, sessionid TEXT,\t\t\t  duvolog TEXT);",
        "create index session2_id_idx on log2_tbl (sessionid);",
        "create table reserve1_tbl(reserve1id INTEGER PRIMARY KEY, res1 TEXT, res2 TEXT, res3 REAL, res4 REAL);",
        "create table blob_tbl(blobid INTEGER PRIMARY KEY, blob1 BLOB, blob2 BLOB, blob3 BLOB, blob4 BLOB);",
        "commit transaction;",
    };
}

QList<const char *> VirtualDataFileStatements()
{
    return {
        "begin exclusive transaction;",
        "create table vinfo_tbl(infoid INTEGER PRIMARY KEY, username TEXT DEFAULT 'vDuvo', \t\t  "
        "description TEXT DEFAULT 'virtual Duvo data file', \t date REAL, originalip TEXT,  "
        "originaltype TEXT, originalname TEXT, \t totalfolders INTEGER, totalfiles INTEGER, version TEXT);",
        "create table vfolder_tbl(folderid INTEGER PRIMARY KEY, foldername TEXT, \t\t\t   "
        "password TEXT, secure INTEGER);",
        "create table vfile_tbl(fileid INTEGER PRIMARY KEY, foldername TEXT, filename TEXT, \t\t\t\t"
        "protocol TEXT, protocolsize INTEGER);",
        "commit transaction;",
    };
}

QList<const char *> ProtocolFileStatements()
{
    return {
        "begin exclusive transaction;",
        "create table protocol_tbl(id INTEGER PRIMARY KEY, filename TEXT,              "
        "protocol TEXT, protocolsize INTEGER);",
        "commit transaction;",
    };
}

namespace {

// True when another connection holds a lock on the database file at path (it is being read
// or written right now), so that replacing it would pull it away under that connection.
bool lockedByAnother(const QString &path)
{
    try {
        CppSQLite3DB db;
        db.OpenFile(path);
        db.SetBusyTimeout(0);
        db.RunCommand("begin exclusive transaction;");
        db.RunCommand("rollback transaction;");
    } catch (const CppSQLite3Exception &e) {
        return e.ErrorCode() == 5 || e.ErrorCode() == 6;  // busy, locked
    }
    return false;
}

} // namespace

int CreateSqliteFile(const QString &path, const QList<const char *> &statements)
{
    return CreateSqliteFile(path, statements, {});
}

int CreateSqliteFile(const QString &path, const QList<const char *> &statements,
                     const std::function<void(CppSQLite3DB &db)> &fill)
{
    const QFileInfo old(path);
    if (old.exists()) {
        // A file we could not delete is not replaced either.
        if (!old.isFile() || !old.isWritable() || !QFileInfo(old.absolutePath()).isWritable()
            || lockedByAnother(path))
            return 0;
    }

    BesideFile building(path);
    try {
        {
            CppSQLite3DB db;
            db.OpenFile(building.path());
            // Outside the transaction: inside one the engine ignores it.
            db.RunCommand("pragma auto_vacuum = 1;");
            for (const char *statement : statements)
                db.RunCommand(statement);
            if (fill)
                fill(db);
            db.CloseFile();
        }
        // No stale journal may be rolled into the new file once it has the old name.
        return building.commit(true) ? 1 : 0;
    } catch (const CppSQLite3Exception &e) {
        building.discard();
        Prompts::message(QStringLiteral("SQLite exception: ") + QString::number(e.ErrorCode()),
                         QStringLiteral("Error"), Ok, PromptIcon::Warning);
        return 0;
    }
}

int CreateMainDatabase(const QString &path)
{
    return CreateSqliteFile(path, MainDatabaseStatements());
}

int CreateVirtualDataFile(const QString &path)
{
    return CreateSqliteFile(path, VirtualDataFileStatements());
}

int CreateProtocolFile(const QString &path)
{
    return CreateSqliteFile(path, ProtocolFileStatements());
}

} // namespace duvo
