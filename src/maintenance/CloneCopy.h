#pragma once
// The copy run of a clone onto one target: the source's folders are made on the target with
// their passwords, then every listed protocol is fetched from the source and loaded onto the
// target under the names of the fetch's reply, through the window's job runner: the run stops
// at its next check once the job is cancelled (an error question answered Cancel does it). The
// reserved folders and protocols count as done without a command (DeviceFileOperations).

#include "maintenance/CloneListing.h"
#include "common/WholeInstrumentJob.h"
#include "protocols/DeviceFileOperations.h"

#include <QElapsedTimer>

namespace duvo {

// The yields a copy makes between the actions of one step (after "retrieving ...", after the
// fetch, after the write): each step's beginStep() lets events through anyway, so these do
// only once PaintIntervalMs has passed since the last one they let through; the action texts
// still change on every step, and a window repaints them at a pace a user can read. In
// between, they answer from the cancel flag alone.
class StepYield {
public:
    static constexpr int PaintIntervalMs = 30;
    explicit StepYield(WholeInstrumentJob &job) : FJob(job) {}
    bool operator()()
    {
        if (FLast.isValid() && FLast.elapsed() < PaintIntervalMs)
            return !FJob.cancelled();
        FLast.start();
        return FJob.yield();
    }

private:
    WholeInstrumentJob &FJob;
    QElapsedTimer FLast;
};

// FetchProtocol, then the reply's folder and file names must be plain instrument names (the
// secure mark of the folder is cut); a reply naming anything else counts as a failed fetch
// and nothing of it is kept. 1 on success.
int FetchCheckedProtocol(DeviceFileOperations &ops, const std::string &ip, const std::string &folder,
                         const std::string &file);

// The fetch of one listed protocol within a copy: "retrieving <file>" is shown and the protocol
// fetched and checked (FetchCheckedProtocol). Fetched: it waits in ops.fetchedProtocol(). Skip:
// the fetch failed and the user chose to go on with the next one. Stop: the run ends (it was
// cancelled or its exchange aborted, or the user answered the error with Cancel); nothing of
// the fetch is kept.
enum class CopyFetch { Fetched, Skip, Stop };
CopyFetch FetchForCopy(DeviceFileOperations &ops, WholeInstrumentJob &job, StepYield &yieldStep,
                       const std::string &sourceIp, const VLCLONEFILES_T &file);

// Returns true when the run went through to the end (not cancelled).
bool RunCloneCopy(DeviceFileOperations &ops, const std::string &sourceIp, const std::string &targetIp,
                  const CloneFolderList &folders, const CloneFileList &files, int folderTotal, int fileTotal,
                  WholeInstrumentJob &job);

} // namespace duvo
