#include "protocols/ProtocolCopyRun.h"

#include "common/Prompts.h"
#include "protocols/DeviceFileOperations.h"

#include <QLocale>
#include <exception>
#include <vector>

namespace duvo {

QString ReportDateTimeText(const QDateTime &start)
{
    const QLocale locale = QLocale::system();
    return locale.toString(start.date(), QLocale::LongFormat) + QStringLiteral("  ")
           + start.time().toString(QStringLiteral("HH:mm:ss"));
}

QStringList SkippedReportHeader(const QDateTime &start)
{
    return {QStringLiteral("Skipped File(s) Report"), ReportDateTimeText(start), QString(), QString(),
            QStringLiteral("Folder    File"), QStringLiteral("-----------------------------")};
}

QString ReportText(const QStringList &lines)
{
    QString text;
    for (const QString &line : lines)
        text += line + QStringLiteral("\r\n");
    return text;
}

ProtocolCopyRun::ProtocolCopyRun(DeviceFileOperations &ops, WholeInstrumentJob &job) : FOps(ops), FJob(job) {}

void ProtocolCopyRun::setStatus(const QString &text)
{
    if (hooks.status)
        hooks.status(text);
}

void ProtocolCopyRun::listRoot(ProtocolPaneModel &pane, const QString &ip)
{
    ListPaneRoot(pane, FOps, ip, [this] { FJob.yield(); });
    if (hooks.rootListed)
        hooks.rootListed(pane);
}

void ProtocolCopyRun::showFolder(ProtocolPaneModel &pane, const QString &ip, const QString &folder)
{
    // The window's panes are disabled while a run goes on (the run ends them enabled).
    ShowPaneFolder(pane, FOps, ip, folder, [this] { FJob.yield(); }, FRunning);
    if (hooks.folderListed)
        hooks.folderListed(pane);
}

void ProtocolCopyRun::startRun(bool skipSameNamed)
{
    FSkip = skipSameNamed;
    FSkippedReport = SkippedReportHeader(now());
    FReportHeaderLength = static_cast<int>(ReportText(FSkippedReport).size());
}

void ProtocolCopyRun::endRun(bool closeAfter)
{
    FRunning = false;
    if (hooks.runEnded)
        hooks.runEnded();
    if (!FJob.cancelled()) {
        setStatus(QString());
        const QString text = ReportText(FSkippedReport);
        if (FSkip && text.size() > FReportHeaderLength && hooks.showReport)
            hooks.showReport(text);
    }
    if (closeAfter && hooks.closeWindow)
        hooks.closeWindow();
}

void ProtocolCopyRun::Copy(bool toTarget, bool skipSameNamed)
{
    const CopyRunSide &from = toTarget ? source : target;
    if (from.pane && from.pane->folderText() == QLatin1String("/"))
        CopyFolders(toTarget, skipSameNamed);
    else
        CopyFiles(toTarget, skipSameNamed);
}

bool ProtocolCopyRun::makeMissingFolder(const QString &name, const QString &fromIP, const QString &toIP,
                                        ProtocolPaneModel &toPane)
{
    if (toPane.present(name))
        return true;
    setStatus(QStringLiteral("Making folder ") + name);
    if (FOps.CopyDeviceFolder(toIP.toStdString(), name.toStdString(), fromIP.toStdString()))
        return true;
    Prompts::message(QStringLiteral("There was an error making folder ") + name + QStringLiteral("!"),
                     QStringLiteral("Error"), Ok, PromptIcon::Error);
    return false;
}

// Runs a run's body between its start and end steps; the end steps also run when an
// unexpected error ends the body, before the error is shown.
template <typename Body>
static void guardedRun(Body body, const std::function<void(bool)> &end)
{
    bool closeAfter = false;
    QString failure;
    try {
        body(closeAfter);
    } catch (const std::exception &e) {
        failure = QString::fromLocal8Bit(e.what());
    } catch (...) {
        failure = QStringLiteral("Unknown error");
    }
    end(closeAfter);
    if (!failure.isEmpty())
        Prompts::message(failure, QStringLiteral("Error"), Ok, PromptIcon::Error);
}

void ProtocolCopyRun::runCopy(bool toTarget, bool skipSameNamed, bool folders)
{
    const CopyRunSide from = toTarget ? source : target;
    const CopyRunSide to = toTarget ? target : source;
    if (!from.pane || !to.pane || FRunning)
        return;
    startRun(skipSameNamed);
    FRunning = true;
    guardedRun(
        [&](bool &closeAfter) {
            // Folders are copied into the to instrument's root.
            if (folders && to.pane->folderText() != QLatin1String("/"))
                listRoot(*to.pane, to.ip);
            FJob.begin();
            if (hooks.runStarted)
                hooks.runStarted();
            setStatus(QString());
            if (folders)
                copyFoldersBody(from, to, closeAfter);
            else
                copyFilesBody(from, to, closeAfter);
        },
        [this](bool closeAfter) { endRun(closeAfter); });
}

void ProtocolCopyRun::CopyFolders(bool toTarget, bool skipSameNamed)
{
    runCopy(toTarget, skipSameNamed, true);
}

void ProtocolCopyRun::copyFoldersBody(const CopyRunSide &from, const CopyRunSide &to, bool &closeAfter)
{
    ProtocolPaneModel &fromPane = *from.pane;
    ProtocolPaneModel &toPane = *to.pane;
    for (int i = 0; i < fromPane.count(); ++i) {
        if (!yield())
            return;
        if (!fromPane.isChecked(i))
            continue;
        // A secure folder is shown, and copied, under its name without the "!" marker.
        const QString name = fromPane.itemText(i);
        listRoot(toPane, to.ip);
        if (!makeMissingFolder(name, from.ip, to.ip, toPane)) {
            closeAfter = true;
            return;
        }
        showFolder(toPane, to.ip, name);
        setStatus(QStringLiteral("Showing folder ") + name);
        std::vector<std::string> files;
        int n = 0;
        FOps.ListDeviceFiles(from.ip.toStdString(), name.toStdString(), n, files);
        if (!files.empty()) {
            QStringList work;
            for (const std::string &f : files)
                work << InstrumentText(f);
            yield();
            setStatus(QStringLiteral("Validating files"));
            ValidateFolderFiles(FSkip, work, to.ip, name, toPane);
            setStatus(QStringLiteral("Copying files"));
            for (const QString &f : work) {
                if (!yield())
                    break;
                if (!toPane.present(f)) {
                    setStatus(QStringLiteral("Copying ") + name + QLatin1Char('/') + f + QStringLiteral(" to ") + name
                              + QLatin1Char('/') + f);
                    yield();
                    CopyOneProtocol(from.ip, name, f, to.ip, name, f);
                }
                if (!yield())
                    break;
                setStatus(QStringLiteral("Refeshing folder"));
                showFolder(toPane, to.ip, name);
                if (!yield())
                    break;
            }
        }
        // Unchecked also when the file loop was left for a cancel.
        fromPane.setChecked(i, false);
        listRoot(toPane, to.ip);
    }
}

void ProtocolCopyRun::CopyFiles(bool toTarget, bool skipSameNamed)
{
    runCopy(toTarget, skipSameNamed, false);
}

void ProtocolCopyRun::copyFilesBody(const CopyRunSide &from, const CopyRunSide &to, bool &closeAfter)
{
    ProtocolPaneModel &fromPane = *from.pane;
    ProtocolPaneModel &toPane = *to.pane;
    const QString F = fromPane.folderName();
    const QString G = toPane.atRoot() ? F : toPane.folderName();
    if (G == F) {
        // A to pane that already showed a folder named F is listed afresh from its root.
        listRoot(toPane, to.ip);
        if (!makeMissingFolder(F, from.ip, to.ip, toPane)) {
            closeAfter = true;
            return;
        }
        showFolder(toPane, to.ip, F);
        setStatus(QStringLiteral("Showing folder ") + F);
    }
    setStatus(QStringLiteral("Validating files"));
    ValidateCheckedFiles(FSkip, fromPane, to.ip, G, toPane);
    setStatus(QStringLiteral("Copying files"));
    for (int i = 0; i < fromPane.count(); ++i) {
        if (!yield())
            return;
        if (!fromPane.isChecked(i))
            continue;
        const QString f = fromPane.itemText(i);
        if (!toPane.present(f)) {
            setStatus(QStringLiteral("Copying ") + F + QLatin1Char('/') + f + QStringLiteral(" to ") + G
                      + QLatin1Char('/') + f);
            yield();
            CopyOneProtocol(from.ip, F, f, to.ip, G, f);
        }
        if (!yield())
            return;  // the item stays checked
        fromPane.setChecked(i, false);
        setStatus(QStringLiteral("Refeshing folder"));
        showFolder(toPane, to.ip, G);
        if (!yield())
            return;
    }
}

void ProtocolCopyRun::validate(bool skipSameNamed, const QStringList &names, const QString &toIP,
                               const QString &toFolder, ProtocolPaneModel &toPane)
{
    for (const QString &name : names) {
        if (!yield())
            return;
        if (!toPane.present(name))
            continue;
        if (!skipSameNamed) {
            if (!FOps.DeleteDeviceProtocol(toIP.toStdString(), toFolder.toStdString(), name.toStdString())) {
                Prompts::message(QStringLiteral("There was an error deleting file ") + name + QStringLiteral("!"),
                                 QStringLiteral("Error"), Ok, PromptIcon::Error);
                FJob.cancel();
                return;
            }
            yield();
            showFolder(toPane, toIP, toFolder);
        } else {
            FSkippedReport << toFolder + QStringLiteral("    ") + name;
        }
        if (!yield())
            return;
    }
}

void ProtocolCopyRun::ValidateFolderFiles(bool skipSameNamed, const QStringList &names, const QString &toIP,
                                          const QString &toFolder, ProtocolPaneModel &toPane)
{
    validate(skipSameNamed, names, toIP, toFolder, toPane);
}

void ProtocolCopyRun::ValidateCheckedFiles(bool skipSameNamed, ProtocolPaneModel &fromPane, const QString &toIP,
                                           const QString &toFolder, ProtocolPaneModel &toPane)
{
    QStringList names;
    for (int i = 0; i < fromPane.count(); ++i)
        if (fromPane.isChecked(i))
            names << fromPane.itemText(i);
    validate(skipSameNamed, names, toIP, toFolder, toPane);
}

void ProtocolCopyRun::CopyOneProtocol(const QString &fromIP, const QString &fromFolder, const QString &fromFile,
                                      const QString &toIP, const QString &toFolder, const QString &toFile)
{
    // A window closing under the run aborts its exchanges: no questions then.
    if (!FOps.FetchProtocol(fromIP.toStdString(), fromFolder.toStdString(), fromFile.toStdString())) {
        if (FOps.client().aborted())
            return;
        if (!FJob.askContinue(QStringLiteral("There was an error retrieving ") + fromFolder + QLatin1Char('/')
                              + fromFile))
            return;
    }
    yield();
    if (FJob.cancelled())
        return;
    if (!FOps.LoadProtocolToDevice(toIP.toStdString(), toFolder.toStdString(), toFile.toStdString())) {
        if (FOps.client().aborted())
            return;
        FJob.askContinue(QStringLiteral("There was an error copying ") + toFolder + QLatin1Char('/') + toFile);
    }
}

} // namespace duvo
