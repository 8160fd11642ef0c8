#pragma once
// Loading the settings row into the workstation's fields at start-up, and writing the
// database version. Both work on the main database at DatabasePath.

#include <QString>

class Workstation;

namespace duvo {

// Reads the settings row with the given key into the workstation's fields (see
// ApplyPreferenceData and ApplyMailData). A missing database is offered for creation through
// the workstation's task dialog: No ends the application (Workstation::Terminate) and gives
// false; Yes creates it with its settings row. Returns true when the row was read in full.
// Nothing is thrown: an engine error shows "SQLite exception: <code>" and gives false; a field
// that cannot be read takes its default and gives false; the other fields are still read.
bool LoadSettings(Workstation &ws, const QString &key);

// The start-up step of the main window: LoadSettings with the settings row key; when that
// fails, "Error during database operation" goes to the general log, which is flushed.
// Start-up goes on either way (check ws.FApplicationEnding for a refused database).
bool LoadSettingsAtStartup(Workstation &ws);

// Writes dbversion "1.0.0.0" into the settings row of the database at dbPath; true when a row
// changed. A missing file shows "Can't find the database file!" and gives false; engine errors
// are thrown as CppSQLite3Exception.
bool WriteDbVersion(const QString &dbPath);
bool WriteDbVersion(Workstation &ws);  // on DatabasePath

inline constexpr const char *kDbVersion = "1.0.0.0";

// Sets the fields from a preferencedata text (11 fields, in order: general log switch,
// exception log switch, TCP port, refresh seconds, search delay, proxy switch, proxy server,
// proxy user, proxy password, default folder, e-mail notification switch). An empty text
// applies the defaults. A field that is missing or not a number takes its default (the log
// switches leave their log as it is) and makes the result false.
bool ApplyPreferenceData(Workstation &ws, const QString &preferenceData);
void ApplyDefaultPreferences(Workstation &ws);

// Sets the SMTP fields from a maildata text (8 fields: port, host, user, password,
// authentication switch, sender name, sender address, TLS switch). An empty text only
// switches e-mail notification off. A missing or non-numeric field keeps its value and makes
// the result false.
bool ApplyMailData(Workstation &ws, const QString &mailData);

} // namespace duvo
