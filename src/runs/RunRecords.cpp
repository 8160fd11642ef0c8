#include "runs/RunRecords.h"

#include "link/CppSQLite3.h"

#include <QFileInfo>

namespace duvo {

const char *const RunRecordInsertSql =
    "insert into log_tbl (sessionid,folder,file,protocol,protocolsize,date,volume,\t\t "
    "consumable,originalip,originaltype,originalname,contactname,description,notes,fwversion) values\t\t  "
    "(%Q,%Q,%Q,%Q,%d,%f,%d,%d,%Q,%Q,%Q,%Q,%Q,%Q,%Q);";

namespace {

std::string firstSessionId(CppSQLite3DB &db, const std::string &sessionId, CppSQLite3Buffer &lookup)
{
    lookup.Format("select logid,sessionid from log_tbl where sessionid = %Q;", sessionId.c_str());
    CppSQLite3Query q = db.RunQuery(lookup);
    if (q.AtEnd())
        return {};
    const char *text = q.TextColumnNamed("sessionid", "");
    return text ? std::string(text) : std::string();
}

} // namespace

RunRecordWrite WriteRunRecord(const QString &databasePath, const RunRecord &r)
{
    CppSQLite3DB db;
    db.OpenExistingFile(databasePath);
    CppSQLite3Buffer statement;
    bool insert = db.RunScalar("select count(logid) from log_tbl;") <= 0;
    if (!insert)
        insert = firstSessionId(db, r.sessionId, statement).empty();
    if (insert) {
        statement.Format(RunRecordInsertSql, r.sessionId.c_str(), r.folder.c_str(), r.file.c_str(),
                         r.protocol.c_str(), r.protocolSize, r.date, r.volume, r.consumable,
                         r.originalIp.c_str(), r.originalType.c_str(), r.originalName.c_str(),
                         r.contactName.c_str(), r.description.c_str(), r.notes.c_str(), r.fwVersion.c_str());
    }
    // With the row already there, the lookup is what runs inside the transaction.
    db.RunCommand("begin exclusive transaction;");
    db.RunCommand(statement);
    db.RunCommand("commit transaction;");
    db.CloseFile();
    return insert ? RunRecordWrite::Inserted : RunRecordWrite::AlreadyThere;
}

void WriteRunLogRecord(const QString &databasePath, const RunLogRecord &r)
{
    CppSQLite3DB db;
    db.OpenExistingFile(databasePath);
    CppSQLite3Buffer statement;
    statement.Format("insert into log2_tbl (sessionid,duvolog) values (%Q,%Q);", r.sessionId.c_str(),
                     r.duvoLog.c_str());
    db.RunCommand("begin exclusive transaction;");
    db.RunCommand(statement);
    db.RunCommand("commit transaction;");
    db.CloseFile();
}

bool RunRecordExists(const QString &databasePath, const std::string &sessionId)
{
    if (!QFileInfo::exists(databasePath))
        return false;
    try {
        CppSQLite3DB db;
        db.OpenExistingFile(databasePath);
        CppSQLite3Buffer lookup;
        return !firstSessionId(db, sessionId, lookup).empty();
    } catch (const CppSQLite3Exception &) {
        return false;
    }
}

} // namespace duvo
