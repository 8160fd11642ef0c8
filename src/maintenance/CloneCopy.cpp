#include "maintenance/CloneCopy.h"

#include "common/Prompts.h"
#include "maintenance/InstrumentNames.h"

namespace duvo {

namespace {

// An error question of the run: true when the user goes on (OK).
bool goOn(const QString &text)
{
    return Prompts::message(text, QStringLiteral("Error"), Ok | Cancel, PromptIcon::Error) == Ok;
}

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

bool RunCloneCopy(DeviceFileOperations &ops, const std::string &sourceIp, const std::string &targetIp,
                  const CloneFolderList &folders, const CloneFileList &files, int folderTotal, int fileTotal,
                  char &cancel, JobView &view)
{
    auto stopped = [&] { return cancel != 0 || ops.client().aborted(); };
    view.setAction(QStringLiteral("creating folders..."));
    int i = 0;
    for (const VLCLONEFOLDERS_T &f : folders) {
        ++i;
        view.setDetail(StepText("creating", f.foldername, i, folderTotal));
        view.processMessages();
        if (stopped())
            return false;
        const bool secure = f.secure != 0;
        const int made = ops.MakeDeviceFolder(targetIp, f.foldername, secure, secure ? f.password : std::string());
        if (stopped())
            return false;
        if (!made
            && !goOn(QStringLiteral("There was an error making folder ") + QString::fromStdString(f.foldername)
                     + QStringLiteral(".  Do you want to continue?"))) {
            view.pressCancel(cancel);
            return false;
        }
    }
    view.setAction(QStringLiteral("copying files..."));
    int j = 0;
    for (const VLCLONEFILES_T &f : files) {
        ++j;
        view.setDetail(StepText("copying", f.filename, j, fileTotal));
        view.processMessages();
        if (stopped())
            return false;
        view.setAction(QStringLiteral("retrieving ") + QString::fromStdString(f.filename));
        view.processMessages();
        if (!FetchCheckedProtocol(ops, sourceIp, f.foldername, f.filename)) {
            if (stopped())
                return false;
            if (goOn(QStringLiteral("There was an error retrieving ") + path(f.foldername, f.filename)
                     + QStringLiteral(".  Do you want to continue?")))
                continue;
            view.pressCancel(cancel);
            return false;
        }
        view.processMessages();
        if (stopped()) {
            ops.fetchedProtocol().release();
            return false;
        }
        view.setAction(QStringLiteral("copying ") + QString::fromStdString(f.filename));
        view.processMessages();
        const int loaded = ops.LoadProtocolToDevice(targetIp);
        ops.fetchedProtocol().release();
        if (stopped())
            return false;
        if (!loaded
            && !goOn(QStringLiteral("There was an error copying ") + path(f.foldername, f.filename)
                     + QStringLiteral(".  Do you want to continue?"))) {
            view.pressCancel(cancel);
            return false;
        }
        view.processMessages();
        if (stopped())
            return false;
    }
    return true;
}

} // namespace duvo
