#include "maintenance/CloneCopy.h"

#include "common/Prompts.h"
#include "maintenance/InstrumentNames.h"

namespace duvo {

namespace {

QString path(const std::string &folder, const std::string &file)
{
    return QString::fromStdString(folder) + QLatin1Char('/') + QString::fromStdString(file);
}

} // namespace

int FetchCheckedProtocol(DeviceFileOperations &ops, const std::string &ip, const std::string &folder,
                         const std::string &file)
{
    if (!ops.FetchProtocol(ip, folder, file))
        return 0;
    FetchedProtocol &f = ops.fetchedProtocol();
    f.Folder = CutSecureMark(f.Folder);
    if (!IsPlainFolderName(NormalFolderName(f.Folder)) || NormalFolderName(f.Folder) != f.Folder
        || !IsPlainFileName(f.File)) {
        f.release();
        return 0;
    }
    return 1;
}

CopyFetch FetchForCopy(DeviceFileOperations &ops, WholeInstrumentJob &job, StepYield &yieldStep,
                       const std::string &sourceIp, const VLCLONEFILES_T &file)
{
    auto stopped = [&] { return job.cancelled() || ops.client().aborted(); };
    job.setAction(QStringLiteral("retrieving ") + QString::fromStdString(file.filename));
    yieldStep();
    if (!FetchCheckedProtocol(ops, sourceIp, file.foldername, file.filename)) {
        if (stopped())
            return CopyFetch::Stop;
        return job.askContinue(QStringLiteral("There was an error retrieving ") + path(file.foldername, file.filename))
                   ? CopyFetch::Skip
                   : CopyFetch::Stop;
    }
    if (!yieldStep() || stopped()) {
        ops.fetchedProtocol().release();
        return CopyFetch::Stop;
    }
    return CopyFetch::Fetched;
}

bool RunCloneCopy(DeviceFileOperations &ops, const std::string &sourceIp, const std::string &targetIp,
                  const CloneFolderList &folders, const CloneFileList &files, int folderTotal, int fileTotal,
                  WholeInstrumentJob &job)
{
    auto stopped = [&] { return job.cancelled() || ops.client().aborted(); };
    StepYield yieldStep(job);
    job.setAction(QStringLiteral("creating folders..."));
    int i = 0;
    for (const VLCLONEFOLDERS_T &f : folders) {
        if (!job.beginStep(QStringLiteral("creating "), QString::fromStdString(f.foldername), ++i, folderTotal)
            || stopped())
            return false;
        const bool secure = f.secure != 0;
        const int made = ops.MakeDeviceFolder(targetIp, f.foldername, secure, secure ? f.password : std::string());
        if (stopped())
            return false;
        if (!made && !job.askContinue(QStringLiteral("There was an error making folder ")
                                      + QString::fromStdString(f.foldername)))
            return false;
    }
    job.setAction(QStringLiteral("copying files..."));
    int j = 0;
    for (const VLCLONEFILES_T &f : files) {
        if (!job.beginStep(QStringLiteral("copying "), QString::fromStdString(f.filename), ++j, fileTotal)
            || stopped())
            return false;
        const CopyFetch fetched = FetchForCopy(ops, job, yieldStep, sourceIp, f);
        if (fetched == CopyFetch::Stop)
            return false;
        if (fetched == CopyFetch::Skip)
            continue;
        job.setAction(QStringLiteral("copying ") + QString::fromStdString(f.filename));
        yieldStep();
        const int loaded = ops.LoadProtocolToDevice(targetIp);
        ops.fetchedProtocol().release();
        if (stopped())
            return false;
        if (!loaded && !job.askContinue(QStringLiteral("There was an error copying ") + path(f.foldername, f.filename)))
            return false;
        if (!yieldStep() || stopped())
            return false;
    }
    return true;
}

} // namespace duvo
