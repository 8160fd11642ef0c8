#pragma once
// The copy manager's copy run: the checked folders or protocol files of one pane's instrument
// copied to the other pane's instrument, one protocol at a time, in skip mode (same-named
// files stay and go into the skipped-files report) or overwrite mode (same-named files are
// deleted first). The window owns one run object; the run works on the window's two pane
// models, its DeviceFileOperations and its job runner, whose cancel flag is the window's
// FCancel, and tells the window what to show through CopyRunHooks.
//
// A file is same-named when the to pane, listing the folder the file goes into, holds an
// item whose text equals the name exactly (case included).

#include "common/WholeInstrumentJob.h"
#include "protocols/ProtocolPane.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

namespace duvo {

class DeviceFileOperations;

// The six header lines of a skipped-files report for a run started at `start`.
QStringList SkippedReportHeader(const QDateTime &start);
// The locale's long date, two blanks, hh:mm:ss (24-hour).
QString ReportDateTimeText(const QDateTime &start);
// The lines of a string list as one text, each line ended by CR LF.
QString ReportText(const QStringList &lines);

// What the window does at the moments of a run. Unset hooks do nothing.
struct CopyRunHooks {
    std::function<void(const QString &)> status;       // the status bar text
    std::function<void()> runStarted;                  // "Cancel", panes and copy buttons off
    std::function<void()> runEnded;                    // "Close", panes on, copy rules
    std::function<void(ProtocolPaneModel &)> rootListed;   // the pane's buttons for the root
    std::function<void(ProtocolPaneModel &)> folderListed; // the pane's buttons for a folder
    std::function<void(const QString &)> showReport;   // the report in the text viewer
    std::function<void()> closeWindow;                 // after a folder that cannot be made
};

// One side of a run: a pane and the instrument it is bound to.
struct CopyRunSide {
    ProtocolPaneModel *pane = nullptr;
    QString ip;
};

class ProtocolCopyRun {
public:
    ProtocolCopyRun(DeviceFileOperations &ops, WholeInstrumentJob &job);

    CopyRunHooks hooks;
    // The panes: source (ListBox1) and target (ListBox2), with their instruments' addresses.
    CopyRunSide source, target;

    QStringList FSkippedReport;
    int FReportHeaderLength = 0;
    // The clock of a run's start (tests fix it).
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

    bool FCancel() const { return FJob.cancelled(); }
    bool running() const { return FRunning; }
    // The last run's mode.
    bool skipMode() const { return FSkip; }

    // The two forms of a run: toTarget true copies from the source pane to the target pane.
    void CopyFolders(bool toTarget, bool skipSameNamed);
    void CopyFiles(bool toTarget, bool skipSameNamed);
    // CopyFolders when the from pane shows its root, else CopyFiles.
    void Copy(bool toTarget, bool skipSameNamed);

    // The pass before any copying over the names to be copied (a list, or the from pane's
    // checked items): same-named files are reported (skip) or deleted (overwrite).
    void ValidateFolderFiles(bool skipSameNamed, const QStringList &names, const QString &toIP,
                             const QString &toFolder, ProtocolPaneModel &toPane);
    void ValidateCheckedFiles(bool skipSameNamed, ProtocolPaneModel &fromPane, const QString &toIP,
                              const QString &toFolder, ProtocolPaneModel &toPane);
    // Copies one protocol, asking after a failure whether to go on.
    void CopyOneProtocol(const QString &fromIP, const QString &fromFolder, const QString &fromFile,
                         const QString &toIP, const QString &toFolder, const QString &toFile);

    // The pane routines with the window's hooks (buttons) and the run's yield.
    void listRoot(ProtocolPaneModel &pane, const QString &ip);
    void showFolder(ProtocolPaneModel &pane, const QString &ip, const QString &folder);

private:
    void startRun(bool skipSameNamed);
    void endRun(bool closeAfter);
    void setStatus(const QString &text);
    bool yield() { return FJob.yield(); }
    // Makes a folder missing on the to instrument; false (message shown) when it fails.
    bool makeMissingFolder(const QString &name, const QString &fromIP, const QString &toIP,
                           ProtocolPaneModel &toPane);
    void validate(bool skipSameNamed, const QStringList &names, const QString &toIP, const QString &toFolder,
                  ProtocolPaneModel &toPane);
    // The start and end steps of a run around the folders' or the files' body.
    void runCopy(bool toTarget, bool skipSameNamed, bool folders);
    void copyFoldersBody(const CopyRunSide &from, const CopyRunSide &to, bool &closeAfter);
    void copyFilesBody(const CopyRunSide &from, const CopyRunSide &to, bool &closeAfter);

    DeviceFileOperations &FOps;
    WholeInstrumentJob &FJob;
    bool FRunning = false;
    bool FSkip = true;
};

} // namespace duvo
