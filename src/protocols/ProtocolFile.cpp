#include "protocols/ProtocolFile.h"

#include "common/Prompts.h"
#include "link/BesideFile.h"
#include "link/CppSQLite3.h"
#include "link/DatabaseFiles.h"

#include <QFileInfo>

namespace duvo {

namespace {

void showSqliteException(const CppSQLite3Exception &e)
{
    Prompts::message(QStringLiteral("SQLite exception: ") + QString::number(e.ErrorCode()), QStringLiteral("Error"),
                     Ok, PromptIcon::Warning);
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
    CppSQLite3DB db;
    std::string name, protocol, size;
    try {
        // A file that is no SQLite database, or has no protocol_tbl, fails here.
        db.OpenFile(path);
        if (db.RunScalar("select count(id) from protocol_tbl;") <= 0) {
            db.CloseFile();
            Prompts::message(QStringLiteral("Protocol record not found!"), QStringLiteral("Error"), Ok,
                             PromptIcon::Error);
            return false;
        }
        CppSQLite3Query q = db.RunQuery("select * from protocol_tbl where id = 1;");
        if (!q.AtEnd()) {
            name = q.TextColumnNamed("filename", "");
            protocol = q.TextColumnNamed("protocol", "");
            size = q.TextColumnNamed("protocolsize", "");
        }
    } catch (const CppSQLite3Exception &e) {
        showSqliteException(e);
        db.CloseFile();
        return false;
    }
    db.CloseFile();
    fileName = std::move(name);
    protocolText = std::move(protocol);
    protocolSize = std::move(size);
    return true;
}

} // namespace duvo
