#pragma once
// The run history operations on the main database at DatabasePath: the run list, the details,
// notes, protocol and stored run log of one run, and deleting a run. Each operation opens the
// database, runs its statements and closes it again. A missing file shows "Can't find the
// database file!" (title "Database Error") and an engine error "SQLite exception: <code>"
// (title "Error"); both make the operation fail. The readers succeed without reading
// anything when the table is empty.

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace duvo {

// One listed run: the five columns the list shows.
struct HistoryRow {
    QString sessionId;
    QString file;
    double date = 0;  // day number; NaN when the column holds no number
    QString contactName;
    QString description;
};

// Fills rows with every run of log_tbl that has a session ID, in the table's order. tick runs
// about every 50 ms while rows are read (the window processes its messages there).
bool LoadHistoryList(std::vector<HistoryRow> &rows, const std::function<void()> &tick = {});

struct StoredRunDetails {
    bool found = false;  // a row with a non-empty session ID was read
    QString sessionId, folder, file;
    double date = 0;
    std::optional<int> volume, consumable;  // empty for a NULL or non-number
    QString originalIp, originalType, originalName, contactName, description, fwVersion;
};
bool ShowRunDetails(const QString &session, StoredRunDetails &details);

// Deletes the run's log_tbl rows; the number of rows deleted, 0 on failure.
int DeleteRunRecord(const QString &session);

bool ReadRunNotes(const QString &session, QString &notes);
bool ReadRunProtocol(const QString &session, QString &protocol, int &size, QString &file, QString &folder);
bool ReadRunLog(const QString &session, QString &log);

// The date of a run as the system locale writes a date and time; "-" for a value that is no
// date.
QString RunDateText(double dayNumber);

// The run's plot file: the database folder + session + ".DAT". Empty when the session ID
// cannot be a plain file name (it holds '/' or a NUL, or is "." or ".."), so a stored ID never
// reaches outside the database folder.
QString RunPlotPath(const QString &session);

// "Tubes" for 0, "Plate" for 1, nothing for other values.
std::optional<QString> ConsumableText(int consumable);

} // namespace duvo
