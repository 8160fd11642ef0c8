#pragma once
// The writer of a virtual data file (".vdu", an SQLite file): one information row, one row per
// folder of the source and one per protocol fetched from it.
//
// The chosen file is never touched while the source is read: the rows go into a new file
// beside it, over one connection inside one transaction, and only a run that was not
// cancelled and wrote every row it attempted is committed, synced and renamed over the chosen
// path. Any other end removes the new file and leaves the chosen path as it was.
//
//     VduWriter w;
//     if (!w.Begin(path)) ... "Error during virtual Duvo file creation!"
//     w.WritePackageInfo(...); CopyDeviceToPackage(w, ops, ...); if (complete) w.Commit();

#include "maintenance/CloneListing.h"
#include "common/WholeInstrumentJob.h"
#include "protocols/DeviceFileOperations.h"

#include <QString>
#include <memory>

class CppSQLite3DB;
struct sqlite3_stmt;

namespace duvo {

// The local date and time as a day count since 30 December 1899, the time as the fraction.
double PackageDateNow();

struct PackageSource {
    std::string ip, type, id;
};

class VduWriter {
public:
    VduWriter();
    ~VduWriter();  // discards an uncommitted file
    VduWriter(const VduWriter &) = delete;
    VduWriter &operator=(const VduWriter &) = delete;

    // Creates the new, empty file beside path and opens the transaction. False when it
    // cannot (nothing is left behind).
    bool Begin(const QString &path);
    const QString &path() const { return FPath; }
    const QString &buildingPath() const { return FBuilding; }

    // The rows; each shows "SQLite exception: " + code under "vDuvo Error" when it fails.
    bool WritePackageInfo(const QString &userName, const QString &description, const PackageSource &source,
                          int totalFolders, int totalFiles);
    bool WritePackageFolder(const std::string &name, const std::string &password, int secure);
    // The fetched protocol under its reply's names; released once stored. False without a box
    // when none is held.
    bool WritePackageFile(FetchedProtocol &fetched);

    // Rows that were attempted and could not be written.
    int failedRows() const { return FFailedRows; }

    // Commits, syncs and renames the file over the chosen path; false (with a box) when that
    // fails, and then the chosen path is as it was. On the application's thread, pending
    // events are processed while the file goes to the disk (a nested wait: call it directly
    // or from a timer).
    bool Commit();
    // Rolls back and removes the new file.
    void Discard();

private:
    bool insert(const char *sql);
    bool insert(sqlite3_stmt *statement);
    void finalizeStatements();
    void closeSyncFd();

    QString FPath, FBuilding;
    std::unique_ptr<CppSQLite3DB> FDB;
    // The row statements, prepared once per file.
    sqlite3_stmt *FFolderInsert = nullptr;
    sqlite3_stmt *FFileInsert = nullptr;
    // The new file, to start writing its pages out along the run.
    static constexpr int WriteOutRows = 64;
    int FSyncFd = -1;
    int FRowsSinceWriteOut = 0;
    int FFailedRows = 0;
};

// Writes the folder rows, then fetches every listed protocol and writes its row, through the
// window's job runner; stops once the job is cancelled. True when the run went to its end (not
// cancelled); complete becomes true only when, besides, every attempted row was written
// (files whose fetch failed and were skipped with OK do not count).
bool CopyDeviceToPackage(VduWriter &writer, DeviceFileOperations &ops, const std::string &sourceIp,
                         const CloneListing &listing, WholeInstrumentJob &job, bool &complete);

} // namespace duvo
