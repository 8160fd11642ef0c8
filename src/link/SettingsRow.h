#pragma once
// The settings row of config_tbl in the main database: its key and the one procedure that
// writes a column of it (the settings dialog's preferencedata, the e-mail settings dialog's
// maildata, dbversion).

#include <QString>

namespace duvo {

// The key of the settings row: the word DEFAULT, upper case, between double quotes.
QString SettingsRowKey();

struct SettingsWriteResult {
    bool fileFound = false;  // false: the database file was missing and nothing was written
    bool updated = false;    // the row existed and was updated (else it was inserted)
    int changes = 0;         // rows changed by the insert or update
};

// Writes one column of the settings row in the database at dbPath:
//  - no file there: shows "Can't find the database file!" (title "Database Error") and
//    writes nothing;
//  - counts the rows of config_tbl; with none, or when the key's configname reads empty,
//    inserts the row (configname, column); otherwise updates column (and configname) of the
//    rows with that key;
//  - the insert or update runs inside "begin exclusive transaction;" / "commit transaction;".
// column is one of maildata, preferencedata, dbversion, data1, data2 (anything else throws
// std::invalid_argument). Engine errors are thrown as CppSQLite3Exception; the file is
// closed on every path.
SettingsWriteResult WriteSettingsColumn(const QString &dbPath, const QString &key,
                                        const QString &column, const QString &value);

} // namespace duvo
