#include "protocols/ProtocolLoadRun.h"

#include "common/Prompts.h"
#include "protocols/DeviceFileOperations.h"
#include "protocols/ProtocolFile.h"

#include <exception>

namespace duvo {

int StoredProtocolSize(const std::string &text)
{
    bool ok = false;
    const int size = QString::fromStdString(text).toInt(&ok, 10);
    return ok ? size : 0;
}

ProtocolLoadRun::ProtocolLoadRun(DeviceFileOperations &ops, WholeInstrumentJob &job) : FOps(ops), FJob(job) {}

void ProtocolLoadRun::setStatus(const QString &text)
{
    if (hooks.status)
        hooks.status(text);
}

void ProtocolLoadRun::showFolder(const QString &folder)
{
    // The window's panes are disabled while a run goes on (the run ends them enabled).
    ShowPaneFolder(*pane, FOps, FTargetIP, folder, [this] { FJob.yield(); }, FRunning);
    if (hooks.folderListed)
        hooks.folderListed(*pane);
}

bool ProtocolLoadRun::readFile(const QString &path, ReadFile &out)
{
    const auto held = FRead.constFind(path);
    if (held != FRead.constEnd()) {
        out = held.value();
        return true;
    }
    ReadFile read;
    if (!ReadProtocolFile(path, read.name, read.protocol, read.size))
        return false;
    if (FRunning)
        FRead.insert(path, read);
    out = std::move(read);
    return true;
}

bool ProtocolLoadRun::storedName(const QString &path, QString &name)
{
    ReadFile read;
    if (!readFile(path, read))
        return false;
    name = InstrumentText(read.name);
    return true;
}

void ProtocolLoadRun::LoadCheckedFiles(bool skip)
{
    if (!disk || !pane || FRunning)
        return;
    FSkippedReport = SkippedReportHeader(now());
    FReportHeaderLength = static_cast<int>(ReportText(FSkippedReport).size());
    const QString F = pane->folderName();
    FJob.begin();
    FRunning = true;
    FRead.clear();
    if (hooks.runStarted)
        hooks.runStarted();
    setStatus(QString());
    QString failure;
    try {
        setStatus(QStringLiteral("Validating files"));
        ValidateCheckedFiles(skip, F);
        setStatus(QStringLiteral("Copying files"));
        for (int i = 0; i < disk->count(); ++i) {
            if (!FJob.yield())
                break;
            if (!disk->isChecked(i))
                continue;
            const QString path = disk->path(i);
            QString name;
            if (storedName(path, name) && !pane->present(name)) {
                setStatus(QStringLiteral("Copying ") + name + QStringLiteral(" to ") + F + QLatin1Char('/') + name);
                FJob.yield();
                LoadOneProtocolFile(path, name, F);
            }
            if (!FJob.yield())
                break;  // the item stays checked
            disk->setChecked(i, false);
            setStatus(QStringLiteral("Refeshing folder"));
            showFolder(F);
            if (!FJob.yield())
                break;
        }
    } catch (const std::exception &e) {
        failure = QString::fromLocal8Bit(e.what());
    } catch (...) {
        failure = QStringLiteral("Unknown error");
    }
    FRunning = false;
    FRead.clear();
    if (hooks.runEnded)
        hooks.runEnded();
    if (!FJob.cancelled()) {
        setStatus(QString());
        const QString text = ReportText(FSkippedReport);
        if (skip && text.size() > FReportHeaderLength && hooks.showReport)
            hooks.showReport(text);
    }
    if (!failure.isEmpty())
        Prompts::message(failure, QStringLiteral("Error"), Ok, PromptIcon::Error);
}

void ProtocolLoadRun::ValidateCheckedFiles(bool skip, const QString &F)
{
    for (int i = 0; i < disk->count(); ++i) {
        if (!FJob.yield())
            return;
        if (!disk->isChecked(i))
            continue;
        QString name;
        if (!storedName(disk->path(i), name))
            continue;
        if (!pane->present(name))
            continue;
        if (!skip) {
            if (!FOps.DeleteDeviceProtocol(FTargetIP.toStdString(), F.toStdString(), name.toStdString())) {
                Prompts::message(QStringLiteral("There was an error deleting file ") + name + QStringLiteral("!"),
                                 QStringLiteral("Error"), Ok, PromptIcon::Error);
                FJob.cancel();
                return;
            }
            FJob.yield();
            showFolder(F);
        } else {
            FSkippedReport << F + QStringLiteral("    ") + name;
        }
        if (!FJob.yield())
            return;
    }
}

bool ProtocolLoadRun::FetchProtocolFile(const QString &path)
{
    ReadFile read;
    if (readFile(path, read)) {
        FDiskName = std::move(read.name);
        FDiskProtocol = std::move(read.protocol);
        FDiskSize = std::move(read.size);
        FetchedProtocol &fetched = FOps.fetchedProtocol();
        fetched.release();
        fetched.Size = StoredProtocolSize(FDiskSize);
        fetched.Protocol = FDiskProtocol;
        fetched.File = FDiskName;
        return true;
    }
    Prompts::message(QStringLiteral("Error while getting .SVP file!"), QStringLiteral("Error GetProtocol"), Ok,
                     PromptIcon::Error);
    FOps.fetchedProtocol().release();
    return false;
}

void ProtocolLoadRun::LoadOneProtocolFile(const QString &path, const QString &name, const QString &F)
{
    if (!FetchProtocolFile(path)) {
        if (!FJob.askContinue(QStringLiteral("There was an error retrieving ") + path))
            return;
    }
    FJob.yield();
    if (FJob.cancelled())
        return;
    if (!FOps.LoadProtocolToDevice(FTargetIP.toStdString(), F.toStdString(), name.toStdString())) {
        if (FOps.client().aborted())
            return;
        FJob.askContinue(QStringLiteral("There was an error copying ") + F + QLatin1Char('/') + name);
    }
}

} // namespace duvo
