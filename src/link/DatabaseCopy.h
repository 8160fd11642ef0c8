#pragma once
// Backup and restore of the main database. Both copy whole files and never leave a torn one:
// the copy is built beside its destination, checked, flushed and only then renamed over it
// (BesideFile). Nothing here shows a box; the reason of a failure is handed back for the
// caller's message. Safe to run on a worker thread.

#include <QString>

#include <functional>

namespace duvo {

struct DatabaseCopyResult {
    bool ok = false;
    QString reason;  // why it failed, for the user
};

// True when the file is a main database: its header counts exactly the pages the file holds,
// the engine reads it, "pragma quick_check" gives "ok" (only with fullCheck) and config_tbl,
// log_tbl and log2_tbl are present. Opens the file read-only and never creates it.
bool IsMainDatabase(const QString &path, bool fullCheck, QString *reason = nullptr);

// Copies the database at source to target. The source is copied while a read transaction
// holds it, so a program writing it meanwhile cannot tear the copy; an existing target is
// replaced only by a complete copy: every byte written and flushed, its header counting the
// pages copied, its tables those of a main database. The pages themselves are not checked
// again (that would take longer than the copy): the copy is the source's bytes.
DatabaseCopyResult BackupDatabase(const QString &source, const QString &target);

// Puts the backup in place of the live database. The backup must be a main database; the
// copy beside the live file is checked again before the rename; a live database that another
// connection holds is not replaced; the live file's journal and WAL companions go with it.
// On failure the live file is byte for byte what it was.
DatabaseCopyResult RestoreDatabase(const QString &backup, const QString &live);

// Test seam of the byte copy: before every chunk the hook gets the bytes copied so far and
// the total; returning false makes the copy fail there. Chunk size 0 means the default.
void setDatabaseCopyHookForTests(std::function<bool(qint64 copied, qint64 total)> hook, qint64 chunkBytes = 0);

} // namespace duvo
