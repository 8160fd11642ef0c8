#pragma once
// "Finish beside, then rename": a new version of a file is built under a unique name in the
// same folder, flushed to the disk, and only then renamed over the file it replaces. Readers
// see either the old file or the complete new one, never a half-written one; a failure at any
// step leaves the old file as it was. Every creator and copier of the workstation's files
// goes through this one helper.
//
// Usage: BesideFile f(target); write f.path(); if (f.commit()) ...; a BesideFile that is not
// committed removes what it built (with SQLite's companions of it) when it goes out of scope.

#include <QString>

namespace duvo {

class BesideFile {
public:
    explicit BesideFile(const QString &target);
    ~BesideFile();
    BesideFile(const BesideFile &) = delete;
    BesideFile &operator=(const BesideFile &) = delete;

    const QString &target() const { return FTarget; }
    const QString &path() const { return FPath; }   // the file being built, beside target

    // Flushes the built file, removes the target's SQLite journal and WAL companions when
    // asked (a stale journal must never roll into the new file), renames the built file over
    // the target and flushes the folder. False (with a reason) when any step fails; the
    // target is then untouched and the built file removed.
    bool commit(bool removeSqliteCompanions = false, QString *reason = nullptr);
    bool committed() const { return FCommitted; }
    // Removes what was built; the target is not touched.
    void discard();

private:
    QString FTarget;
    QString FPath;
    bool FCommitted = false;
    // The file that was replaced, held open until this object goes: the system releases a
    // large file's pages when its last reference goes, which takes a while, and that is left
    // to a background thread instead of whoever waits for the copy.
    int FReplaced = -1;
};

// Writes the file's data to the disk (fsync). False when it cannot be opened or flushed.
bool SyncFile(const QString &path);
// Flushes the folder that holds path, so that a rename in it is durable.
bool SyncFolderOf(const QString &path);
// Removes the "-journal", "-wal" and "-shm" files SQLite keeps beside a database file.
void RemoveSqliteCompanions(const QString &path);
// Removes a file; no error when it does not exist.
void RemoveQuietly(const QString &path);

} // namespace duvo
