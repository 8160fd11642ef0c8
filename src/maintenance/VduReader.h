#pragma once
// The readers of a virtual data file (".vdu"). The file may come from anyone, so it is opened
// read-only and hardened (CppSQLite3DB::OpenReadOnly), only real tables are read, and every
// row is checked before anything of it is sent to an instrument:
//  - at most 40 folder rows, at most 40 file rows per folder, protocols of at most 1 MiB;
//  - folder names (after the "!" cut) of 1 to 12 and file names of 1 to 8 plain characters;
//  - names and protocols are texts, flags and sizes integers.
// Each failure shows one box under "vDuvo Error" and nothing is sent; the file never changes.
// Every reader opens and closes the file itself.

#include "common/WholeInstrumentJob.h"
#include "protocols/DeviceFileOperations.h"

#include <QString>
#include <string>
#include <vector>

namespace duvo {

constexpr int MaxPackageFolders = 40;
constexpr int MaxPackageFilesPerFolder = 40;
constexpr int MaxPackageProtocolBytes = 1024 * 1024;

struct PackageInfo {
    QString userName;
    QString description;
    double date = 0;
    QString originalIp, originalType, originalName;
    int totalFolders = 0;
    int totalFiles = 0;
    QString version;
};

// The date of the information row as the system's short date and long time, or "-" when it
// is not a finite day count within the years 1 to 9999.
QString PackageDateText(double date);

struct PackageFileRow {
    std::string foldername;
    std::string filename;
};

// Reads the information row (boxes: "Can't find the vDuvo data file!", "Information record
// not found!", "SQLite exception: " + code).
bool ReadPackageInfo(const QString &path, PackageInfo &info);

// The whole-file check run before anything is formatted or sent: the information row, the
// folder rows and the file rows with the rules above. Shows the box of the first failure.
enum class PackageCheck { Ok, InfoFailed, FoldersFailed, FilesFailed };
PackageCheck CheckPackage(const QString &path);

// The load onto a target. Both return false after a failure (with its box) and true also
// after a cancel; a cancelled job stops them before the next row.
bool CreatePackageFolders(const QString &path, DeviceFileOperations &ops, const std::string &targetIp,
                          int folderTotal, WholeInstrumentJob &job);
bool CopyPackageFiles(const QString &path, DeviceFileOperations &ops, const std::string &targetIp, int fileTotal,
                      WholeInstrumentJob &job);

// The browser's readers.
bool ListPackageFiles(const QString &path, std::vector<PackageFileRow> &rows);
bool ReadPackageProtocol(const QString &path, std::string &protocol, const std::string &folder,
                         const std::string &file);

} // namespace duvo
