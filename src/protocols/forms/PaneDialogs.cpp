#include "protocols/forms/PaneDialogs.h"

#include "common/Prompts.h"
#include "common/TaskDialog.h"
#include "link/Workstation.h"
#include "mainwindow/forms/TEditorForm.h"
#include "protocols/ProtocolFile.h"

#include <QFileInfo>

using namespace duvo;

bool PickDeviceWithDestinationForm(QWidget *owner, int *outIndex, int excludedIndex, const QString &caption)
{
    Q_UNUSED(owner);
    Q_UNUSED(outIndex);
    Q_UNUSED(excludedIndex);
    Q_UNUSED(caption);
    return false;
}

bool AskCopyMode(TaskDialog &dialog, bool &skip)
{
    dialog.Clear();
    dialog.CommonButtons = Ok | Cancel;
    dialog.Title = QStringLiteral("Copy Manager");
    dialog.Instruction = QStringLiteral("About to start copying...");
    dialog.Icon = PromptIcon::Information;
    dialog.Content = QStringLiteral("Please select the copy mode below:");
    dialog.RadioButtons = {QStringLiteral("Skip same named files"), QStringLiteral("Overwrite same named files")};
    if (dialog.Execute() != Ok)
        return false;
    skip = dialog.RadioButtonResult == 0;
    return true;
}

bool AskNewFolder(QWidget *owner, QString &name, QString &password)
{
    Q_UNUSED(owner);
    const auto typed = Prompts::input(QStringLiteral("New Folder"), QStringLiteral("Folder name:"));
    if (!typed)
        return false;
    name = TypedNameText(*typed, NewFolderNameLength);
    const auto pw = Prompts::input(QStringLiteral("New Folder"), QStringLiteral("Password:"), {}, true);
    if (!pw)
        return false;
    password = TypedNameText(*pw, FolderPasswordLength);
    return !name.isEmpty();
}

QString AskProtocolSavePath(const QString &name)
{
    Workstation *w = Workstation::current();
    const auto path = Prompts::saveFile(QStringLiteral("Save"), w ? w->FDefaultFolder : QString(),
                                        QStringLiteral("SVP files (*.svp *.SVP)"), name + QStringLiteral(".SVP"));
    if (!path || path->isEmpty())
        return {};
    QString chosen = *path;
    if (QFileInfo(chosen).suffix().isEmpty())
        chosen += QStringLiteral(".svp");
    return chosen;
}

bool SaveFetchedProtocol(FetchedProtocol &fetched, const QString &path)
{
    // Nothing held: nothing is written, and an existing file stays as it is.
    if (!fetched.held())
        return false;
    if (!WriteProtocolFile(path, fetched.File, *fetched.Protocol, fetched.Size))
        return false;
    fetched.release();
    return true;
}

static void openProtocolEditor(QWidget *owner, const QString &xml, bool fromDevice, const QString &saveFileName,
                               const QString &name, const QString &folder, const QString &ip)
{
    Q_UNUSED(owner);
    Q_UNUSED(xml);
    Q_UNUSED(fromDevice);
    Q_UNUSED(saveFileName);
    Q_UNUSED(name);
    Q_UNUSED(folder);
    Q_UNUSED(ip);
}

ProtocolEditorOpener &ProtocolEditorOpening()
{
    static ProtocolEditorOpener opener = openProtocolEditor;
    return opener;
}

void ShowProtocolEditor(QWidget *owner, const QString &xml, bool fromDevice, const QString &saveFileName,
                        const QString &name, const QString &folder, const QString &ip)
{
    if (ProtocolEditorOpening())
        ProtocolEditorOpening()(owner, xml, fromDevice, saveFileName, name, folder, ip);
}

void ShowReportText(QWidget *owner, const QString &text)
{
    auto *viewer = new TEditorForm(owner, text, true);
    viewer->exec();
    delete viewer;
}
