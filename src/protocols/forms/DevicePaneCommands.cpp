#include "protocols/forms/DevicePaneCommands.h"

#include "common/Prompts.h"
#include "protocols/forms/PaneDialogs.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>

using namespace duvo;

PaneWaitCursor::PaneWaitCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

PaneWaitCursor::~PaneWaitCursor()
{
    QApplication::restoreOverrideCursor();
}

bool DevicePaneCommands::fetchProtocol(const DevicePaneControls &pane, const QString &folder, const QString &name)
{
    if (FOps.FetchProtocol(pane.ip.toStdString(), folder.toStdString(), name.toStdString()))
        return true;
    if (!FOps.client().aborted())
        Prompts::message(QStringLiteral("There was an error retrieving ") + folder + QLatin1Char('/') + name
                             + QLatin1Char('.'),
                         QStringLiteral("Error"), Ok, PromptIcon::Error);
    return false;
}

void DevicePaneCommands::deleteFile(DevicePaneControls &pane, const QString &folder)
{
    // Without a selected item there is nothing to delete: no command goes out.
    if (pane.model.isEmpty() || !pane.model.hasSelection())
        return;
    const QString name = pane.model.itemText(pane.model.selected());
    hooks.commandStarted();
    if (Prompts::message(QStringLiteral("Do you want to delete ") + name + QLatin1Char('?'),
                         QStringLiteral("Delete File"), Ok | Cancel, PromptIcon::Question)
        == Ok) {
        PaneWaitCursor wait;
        hooks.status(QStringLiteral("Deleting file ") + name);
        if (!FOps.DeleteDeviceProtocol(pane.ip.toStdString(), folder.toStdString(), name.toStdString())) {
            if (!FOps.client().aborted())
                Prompts::message(QStringLiteral("There was an error deleting file ") + name + QLatin1Char('!'),
                                 QStringLiteral("Error"), Ok, PromptIcon::Error);
        } else {
            hooks.showFolder(pane, folder);
        }
    }
    hooks.commandEnded();
}

void DevicePaneCommands::deleteFolder(DevicePaneControls &pane)
{
    if (pane.model.isEmpty() || !pane.model.hasSelection())
        return;
    const QString name = pane.model.itemText(pane.model.selected());
    hooks.commandStarted();
    if (Prompts::message(QStringLiteral("Do you want to delete ") + name + QStringLiteral(" and all its contents?"),
                         QStringLiteral("Delete Folder"), Ok | Cancel, PromptIcon::Question)
        == Ok) {
        PaneWaitCursor wait;
        hooks.status(QStringLiteral("Deleting folder ") + name);
        std::vector<std::string> files;
        int n = 0;
        const std::string ip = pane.ip.toStdString();
        FOps.ListDeviceFiles(ip, name.toStdString(), n, files);
        bool failed = false;
        for (const std::string &file : files) {
            FJob.yield();
            if (!FOps.DeleteDeviceProtocol(ip, name.toStdString(), file)) {
                if (!FOps.client().aborted())
                    Prompts::message(QStringLiteral("There was an error deleting file ") + InstrumentText(file)
                                         + QLatin1Char('!'),
                                     QStringLiteral("Error"), Ok, PromptIcon::Error);
                failed = true;
                break;
            }
        }
        if (!failed) {
            if (!FOps.RemoveDeviceFolder(ip, name.toStdString()) && !FOps.client().aborted())
                Prompts::message(QStringLiteral("There was an error deleting folder ") + name + QLatin1Char('!'),
                                 QStringLiteral("Error"), Ok, PromptIcon::Error);
            hooks.listRoot(pane);
        }
    }
    hooks.commandEnded();
}

void DevicePaneCommands::newFolder(DevicePaneControls &pane)
{
    QString name, password;
    if (!AskNewFolder(FOwner, name, password))
        return;
    hooks.commandStarted();
    if (pane.model.present(name)) {
        Prompts::message(QStringLiteral("Folder ") + name + QStringLiteral(" exsits already.  Please select a different folder name!"),
                         QStringLiteral("Information"), Ok, PromptIcon::Warning);
    } else {
        PaneWaitCursor wait;
        hooks.status(QStringLiteral("Making folder ") + name);
        if (!FOps.MakeDeviceFolder(pane.ip.toStdString(), name.toStdString(), true, password.toStdString())
            && !FOps.client().aborted())
            Prompts::message(QStringLiteral("There was an error making folder ") + name + QLatin1Char('!'),
                             QStringLiteral("Error"), Ok, PromptIcon::Error);
        hooks.listRoot(pane);
        hooks.status(QString());
    }
    hooks.commandEnded();
}

void DevicePaneCommands::doubleClick(DevicePaneControls &pane)
{
    if (pane.model.isEmpty() || !pane.model.hasSelection())
        return;
    const int former = pane.model.selected();
    if (pane.model.itemText(former) == QLatin1String("..")) {
        hooks.listRoot(pane);
        pane.setFileButtons(false);
        pane.btnNewDir->setEnabled(true);
        // As for a click on the item now at the former index; none there: nothing to delete.
        const QString now = pane.model.itemText(former);
        pane.btnDelDir->setEnabled(former < pane.model.count() && now != QLatin1String("SHARED")
                                   && now != QLatin1String("SYSTEM"));
        return;
    }
    hooks.openFolder(pane);
    pane.setFileButtons(false);
    pane.btnNewDir->setEnabled(false);
    pane.btnDelDir->setEnabled(false);
    pane.clickRule();
}

void DevicePaneCommands::keyDown(DevicePaneControls &pane, int key)
{
    if (pane.model.isEmpty() || !pane.list->hasFocus())
        return;
    const bool root = pane.atRoot();
    switch (key) {
    case Qt::Key_Delete:
        if (root && pane.btnDelDir->isEnabled())
            deleteFolder(pane);
        else if (!root && pane.btnDelFile->isEnabled())
            deleteFile(pane, pane.folderText());
        break;
    case Qt::Key_Space: {
        const int i = pane.model.selected();
        if (i >= 0 && (root || i > 0))
            pane.model.setChecked(i, !pane.model.isChecked(i));
        if (hooks.checkRule)
            hooks.checkRule(pane);
        break;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!root && pane.model.selected() == 0 && pane.model.itemText(0) == QLatin1String(".."))
            doubleClick(pane);
        break;
    default:
        break;
    }
}

// ---- closing a manager window ---------------------------------------------------------------

bool ManagerClosing::mayClose(bool running, QPushButton *cancelButton,
                              const std::function<void(const QString &)> &status)
{
    if (FClosingNow)
        return true;
    if (running) {
        if (cancelButton->text() == QLatin1String("Cancel")) {
            cancelButton->setText(QStringLiteral("Close"));
            FJob.cancel();
            status(QStringLiteral("Cancelling..."));
        } else {
            FCloseAsked = true;
            FJob.cancel();
            FClient.abort();
        }
        return false;
    }
    if (FBusy) {
        FCloseAsked = true;
        FClient.abort();
        return false;
    }
    return true;
}

void ManagerClosing::commandEnded()
{
    FBusy = false;
    closeIfAsked();
}

void ManagerClosing::closeIfAsked()
{
    if (FCloseAsked)
        closeNow();
}

void ManagerClosing::closeNow()
{
    FClosingNow = true;
    FWindow.QDialog::reject();
}
