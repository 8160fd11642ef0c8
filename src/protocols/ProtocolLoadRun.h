#pragma once
// The load-from-disk manager's load run: the checked protocol files of the disk pane loaded
// into the folder that the instrument pane shows, in skip or overwrite mode, with the copy
// run's report and cancel rule. The names compared and sent are the names stored inside the
// protocol files, not the names of the disk files.

#include "common/WholeInstrumentJob.h"
#include "protocols/DiskProtocolList.h"
#include "protocols/ProtocolCopyRun.h"
#include "protocols/ProtocolPane.h"

#include <QHash>

#include <string>

namespace duvo {

class DeviceFileOperations;

// The size stored in a protocol file read as a decimal integer; anything else counts as 0.
int StoredProtocolSize(const std::string &text);

class ProtocolLoadRun {
public:
    ProtocolLoadRun(DeviceFileOperations &ops, WholeInstrumentJob &job);

    CopyRunHooks hooks;  // closeWindow is not used
    DiskProtocolList *disk = nullptr;
    ProtocolPaneModel *pane = nullptr;
    QString FTargetIP;

    QStringList FSkippedReport;
    int FReportHeaderLength = 0;
    // The texts of the protocol file read last by FetchProtocolFile.
    std::string FDiskName, FDiskProtocol, FDiskSize;
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

    bool running() const { return FRunning; }

    // The run; the instrument pane must show a folder.
    void LoadCheckedFiles(bool skip);
    void ValidateCheckedFiles(bool skip, const QString &F);
    void LoadOneProtocolFile(const QString &path, const QString &name, const QString &F);
    // Reads a protocol file into the window's fetched protocol; false (message shown) on failure.
    bool FetchProtocolFile(const QString &path);

    void showFolder(const QString &folder);

private:
    struct ReadFile {
        std::string name, protocol, size;
    };
    void setStatus(const QString &text);
    // The texts of the protocol file at path; false (the reader's message shown) when
    // unreadable. During a run each readable file is read once: validation, the name check
    // and the load use the same texts. A file that could not be read is tried again (and its
    // message shown again) each time.
    bool readFile(const QString &path, ReadFile &out);
    // The name stored in the file at path; false (the reader's message shown) when unreadable.
    bool storedName(const QString &path, QString &name);

    DeviceFileOperations &FOps;
    WholeInstrumentJob &FJob;
    bool FRunning = false;
    QHash<QString, ReadFile> FRead;  // the files read in this run, by path
};

} // namespace duvo
