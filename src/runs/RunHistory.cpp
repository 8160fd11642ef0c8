#include "runs/RunHistory.h"

#include "common/Prompts.h"
#include "link/CppSQLite3.h"
#include "link/Workstation.h"
#include "runs/DayNumber.h"
#include "runs/RunPlotFile.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>

#include <cmath>
#include <limits>

namespace duvo {

namespace {

constexpr double kNoDate = std::numeric_limits<double>::quiet_NaN();

bool databaseThere()
{
    if (QFileInfo::exists(DatabasePath))
        return true;
    Prompts::message(QStringLiteral("Can't find the database file!"), QStringLiteral("Database Error"), Ok,
                     PromptIcon::Warning);
    return false;
}

void sqliteBox(const CppSQLite3Exception &e)
{
    Prompts::message(QStringLiteral("SQLite exception: ") + QString::number(e.ErrorCode()), QStringLiteral("Error"),
                     Ok, PromptIcon::Warning);
}

QString text(CppSQLite3Query &q, int column)
{
    return QString::fromUtf8(q.TextColumn(column, ""));
}

QString textNamed(CppSQLite3Query &q, const char *name)
{
    return q.StringColumnNamed(name);
}

double dateColumn(CppSQLite3Query &q, int column)
{
    const int type = q.ColumnType(column);
    return (type == 1 || type == 2) ? q.FloatColumn(column, kNoDate) : kNoDate;
}

std::optional<int> intNamed(CppSQLite3Query &q, const char *name)
{
    const int column = q.ColumnIndex(name);
    if (column < 0 || q.ColumnType(column) != 1)
        return std::nullopt;
    return q.IntColumn(column, 0);
}

QByteArray utf8(const QString &s)
{
    return s.toUtf8();
}

// Reads the first row the session's select gives (selectFormat holds one %Q for the session)
// with read; an empty table, counted by countSql, or no matching row reads nothing and succeeds.
bool readRunRow(const char *countSql, const char *selectFormat, const QString &session,
                const std::function<void(CppSQLite3Query &)> &read)
{
    if (!databaseThere())
        return false;
    try {
        CppSQLite3DB db;
        db.OpenFile(DatabasePath);
        if (db.RunScalar(countSql) <= 0)
            return true;
        CppSQLite3Buffer sql;
        sql.Format(selectFormat, utf8(session).constData());
        CppSQLite3Query q = db.RunQuery(sql);
        if (!q.AtEnd())
            read(q);
        return true;
    } catch (const CppSQLite3Exception &e) {
        sqliteBox(e);
        return false;
    }
}

} // namespace

bool LoadHistoryList(std::vector<HistoryRow> &rows, const std::function<void()> &tick)
{
    rows.clear();
    if (!databaseThere())
        return false;
    try {
        CppSQLite3DB db;
        db.OpenFile(DatabasePath);
        if (db.RunScalar("select count(logid) from log_tbl;") <= 0)
            return true;
        // The five listed columns, in the order a full scan of the table gives.
        CppSQLite3Query q = db.RunQuery("select sessionid, file, date, contactname, description from log_tbl;");
        QElapsedTimer clock;
        clock.start();
        unsigned n = 0;
        while (!q.AtEnd()) {
            const char *session = q.TextColumn(0, "");
            if (*session) {
                HistoryRow row;
                row.sessionId = QString::fromUtf8(session);
                row.file = text(q, 1);
                row.date = dateColumn(q, 2);
                row.contactName = text(q, 3);
                row.description = text(q, 4);
                rows.push_back(std::move(row));
            }
            q.NextRow();
            if (tick && (++n & 255) == 0 && clock.elapsed() >= 50) {
                tick();
                clock.restart();
            }
        }
        return true;
    } catch (const CppSQLite3Exception &e) {
        sqliteBox(e);
        rows.clear();
        return false;
    }
}

bool ShowRunDetails(const QString &session, StoredRunDetails &details)
{
    details = StoredRunDetails();
    return readRunRow("select count(logid) from log_tbl;", "select * from log_tbl where sessionid = %Q;", session,
                      [&](CppSQLite3Query &q) {
                          details.sessionId = textNamed(q, "sessionid");
                          details.folder = textNamed(q, "folder");
                          details.file = textNamed(q, "file");
                          details.date = dateColumn(q, q.ColumnIndex("date"));
                          details.volume = intNamed(q, "volume");
                          details.consumable = intNamed(q, "consumable");
                          details.originalIp = textNamed(q, "originalip");
                          details.originalType = textNamed(q, "originaltype");
                          details.originalName = textNamed(q, "originalname");
                          details.contactName = textNamed(q, "contactname");
                          details.description = textNamed(q, "description");
                          details.fwVersion = textNamed(q, "fwversion");
                          details.found = !details.sessionId.isEmpty();
                      });
}

int DeleteRunRecord(const QString &session)
{
    if (!databaseThere())
        return 0;
    CppSQLite3DB db;
    try {
        db.OpenFile(DatabasePath);
        db.RunCommand("begin exclusive transaction;");
        CppSQLite3Buffer sql;
        sql.Format("delete from log_tbl where sessionid = %Q;", utf8(session).constData());
        const int deleted = db.RunCommand(sql);
        db.RunCommand("commit transaction;");
        return deleted;
    } catch (const CppSQLite3Exception &e) {
        try {
            if (db.IsOpen())
                db.RunCommand("rollback transaction;");
        } catch (const CppSQLite3Exception &) {
            // no transaction was open
        }
        sqliteBox(e);
        return 0;
    }
}

bool ReadRunNotes(const QString &session, QString &notes)
{
    notes.clear();
    return readRunRow("select count(logid) from log_tbl;", "select notes from log_tbl where sessionid = %Q;", session,
                      [&](CppSQLite3Query &q) { notes = textNamed(q, "notes"); });
}

bool ReadRunProtocol(const QString &session, QString &protocol, int &size, QString &file, QString &folder)
{
    protocol.clear();
    file.clear();
    folder.clear();
    size = 0;
    return readRunRow("select count(logid) from log_tbl;", "select * from log_tbl where sessionid = %Q;", session,
                      [&](CppSQLite3Query &q) {
                          folder = textNamed(q, "folder");
                          file = textNamed(q, "file");
                          protocol = textNamed(q, "protocol");
                          size = q.IntColumnNamed("protocolsize", 0);
                      });
}

bool ReadRunLog(const QString &session, QString &log)
{
    log.clear();
    return readRunRow("select count(log2id) from log2_tbl;", "select * from log2_tbl where sessionid = %Q;", session,
                      [&](CppSQLite3Query &q) { log = textNamed(q, "duvolog"); });
}

QString RunDateText(double dayNumber)
{
    if (!std::isfinite(dayNumber))
        return QStringLiteral("-");
    const QDateTime when = DateTimeFromDayNumber(dayNumber);
    if (!when.isValid())
        return QStringLiteral("-");
    return QLocale::system().toString(when, QLocale::ShortFormat);
}

QString RunPlotPath(const QString &session)
{
    if (session.isEmpty() || session == QLatin1String(".") || session == QLatin1String("..")
        || session.contains(QLatin1Char('/')) || session.contains(QChar(0)))
        return {};
    return RunPlotFilePath(DatabasePath, session);
}

std::optional<QString> ConsumableText(int consumable)
{
    if (consumable == 0)
        return QStringLiteral("Tubes");
    if (consumable == 1)
        return QStringLiteral("Plate");
    return std::nullopt;
}

} // namespace duvo
