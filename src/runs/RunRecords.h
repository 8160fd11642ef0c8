#pragma once
// The run records of the main database: RunRecord, one log_tbl row per started run, written
// when the run starts; RunLogRecord, one log2_tbl row holding the instrument's run log,
// written when the run ends. Every operation opens the database file, which must exist (a
// missing file is never created here), and closes it again; failures of the access layer
// come out as CppSQLite3Exception.

#include <QString>
#include <string>

namespace duvo {

struct RunRecord {
    std::string sessionId;
    std::string folder;      // as handed to the run monitor ("0/PCR" stays "0/PCR")
    std::string file;
    std::string protocol;    // the protocol document of the run
    int protocolSize = 0;    // the length of the whole GetProtocol reply
    double date = 0.0;       // local day number at the start of the write
    int volume = 0;
    int consumable = 0;      // 1 plate, 0 tubes
    std::string originalIp;
    std::string originalType;
    std::string originalName;
    std::string contactName;
    std::string description;
    std::string notes;
    std::string fwVersion;
};

struct RunLogRecord {
    std::string sessionId;
    std::string duvoLog;     // the whole GetProtocolLog reply as received
};

// The insert statement, formatted with the access layer's printf (%Q quoting); the tabs
// belong to it.
extern const char *const RunRecordInsertSql;

enum class RunRecordWrite { Inserted, AlreadyThere };

// Inserts the row unless log_tbl already holds one for the session, inside
// "begin exclusive transaction;" ... "commit transaction;".
RunRecordWrite WriteRunRecord(const QString &databasePath, const RunRecord &record);

// Inserts the RunLogRecord inside an exclusive transaction.
void WriteRunLogRecord(const QString &databasePath, const RunLogRecord &record);

// Whether log_tbl has a row for the session; false when the database cannot be read.
bool RunRecordExists(const QString &databasePath, const std::string &sessionId);

} // namespace duvo
