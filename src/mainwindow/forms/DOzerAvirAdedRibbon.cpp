// Ribbon commands of the main window that open windows, documents and programs.

#include "mainwindow/forms/DOzerAvirAded.h"

#include "common/ProgramFolder.h"
#include "common/Prompts.h"
#include "common/Shell.h"
#include "link/forms/TPreferenceForm.h"
#include "mainwindow/forms/TFindFilesForm.h"

#include <exception>

namespace {

// The network address tool and the firewall script, in the program folder.
const QString kIPDuvoProgram = QStringLiteral("IPDuvo");
const QString kFirewallScript = QStringLiteral("firewall_settings");
const QString kQuickGuide = QStringLiteral("Duvo_Quick_Guide.pdf");

void errorBox(const QString &text)
{
    duvo::Prompts::message(text, QStringLiteral("Error"), duvo::Ok, duvo::PromptIcon::Error);
}

} // namespace

void DOzerAvirAded::btnIPDuvoClick()
{
    duvo::Prompts::message(
        QStringLiteral("If you assign new IP addresses you need to rebuild the device list by clicking on Device List!"),
        QStringLiteral("Information"), duvo::Ok, duvo::PromptIcon::Information);
    const QString folder = duvo::ProgramFolder();
    if (!duvo::Shell::instance().startProgram(folder + kIPDuvoProgram, {}, folder))
        errorBox(QStringLiteral("Error starting IPDuvo tool!"));
}

void DOzerAvirAded::btnFirewallClick()
{
    // The script needs no extra rights: it only tells which ports the workstation needs.
    const QString folder = duvo::ProgramFolder();
    if (!duvo::Shell::instance().startProgram(folder + kFirewallScript, {}, folder))
        errorBox(QStringLiteral("Error starting firewall settings script!"));
}

void DOzerAvirAded::btnWinSearchClick()
{
    auto *form = findChild<TFindFilesForm *>(QStringLiteral("FindFilesDialog1"), Qt::FindDirectChildrenOnly);
    if (!form)
        form = new TFindFilesForm(this, FDefaultFolder);
    form->show();
    form->raise();
    form->activateWindow();
}

void DOzerAvirAded::Contents1Click()
{
    const QString guide = duvo::withTrailingSeparator(FDefaultFolder) + kQuickGuide;
    if (!duvo::Shell::instance().openDocument(guide))
        errorBox(QStringLiteral("Error starting PDF viewer!"));
}

void DOzerAvirAded::Preferences1Click()
{
    try {
        TPreferenceForm form(this);
        if (!form.loadFailed())
            form.exec();
    } catch (const std::exception &e) {
        ZavExceptionLog1.LogException(QStringLiteral("Preferences1Click"), QString::fromLocal8Bit(e.what()));
    }
}
