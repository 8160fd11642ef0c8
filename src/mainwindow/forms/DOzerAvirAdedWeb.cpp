// The main window's internet functions (the internet download and the update check) and its
// small windows (about box, computer information).

#include "Version.h"
#include "common/ProgramFolder.h"
#include "common/Prompts.h"
#include "common/Shell.h"
#include "mainwindow/AutoRefreshPause.h"
#include "mainwindow/forms/DOzerAvirAded.h"
#include "mainwindow/forms/TAboutForm.h"
#include "mainwindow/forms/TProtoForm.h"
#include "mainwindow/forms/TWebCopyProgressForm.h"
#include "mainwindow/forms/TWebSelectForm.h"

#include <QFile>
#include <QFileInfo>
#include <memory>
#include <utility>

namespace {

constexpr qint64 kIniFileLimit = 1 << 20;  // an index or info.ini is a few lines

void errorBox(const QString &text)
{
    duvo::Prompts::message(text, QStringLiteral("Error"), duvo::Ok, duvo::PromptIcon::Warning);
}

} // namespace

bool DOzerAvirAded::FetchIniFile(const QString &F, const QString &address, QStringList &lines)
{
    const QString local = FDefaultFolder + F;
    if (QFileInfo::exists(local) && !QFile::remove(local)) {
        errorBox(QStringLiteral("Could not delete old .ini file"));
        return false;
    }
    if (!WebConnect1.Connected())
        WebConnect1.Connect();
    WC1.ProxyServer = FUseProxy ? FProxyServer : QString();
    WC1.ProxyUser = FUseProxy ? FProxyUser : QString();
    WC1.ProxyPassword = FUseProxy ? FProxyPassword : QString();
    WC1.Item.TargetFolder = FDefaultFolder;
    WC1.Item.TargetFile = F;
    WC1.Item.URL = address + QLatin1Char('/') + F;
    if (!WebConnect1.Connected()) {
        errorBox(QStringLiteral("PC seems not to be connected to the Internet."));
        return false;
    }
    WC1.MaxBytes = kIniFileLimit;
    try {
        WC1.Execute();
    } catch (...) {
    }
    WC1.MaxBytes = -1;
    if (!WC1.Item.Success)
        return false;
    QFile file(local);
    if (!QFileInfo(local).isFile() || !file.open(QIODevice::ReadOnly)) {
        errorBox(QStringLiteral("Could not download .ini file"));
        return false;
    }
    lines = duvo::NameValueIndex::splitLines(file.read(kIniFileLimit));
    return true;
}

void DOzerAvirAded::CheckForUpdates()
{
    AutoRefreshPause pause(*this);
    TWebCopyProgressForm progress(this, WC1);
    QStringList lines;
    if (!FetchIniFile(QStringLiteral("info.ini"), duvo::UpdateBaseAddress(), lines))
        return;
    if (lines.isEmpty())
        return;
    const duvo::NameValueIndex info(lines);
    duvo::Prompts::message(QStringLiteral("Your current version: ") + QStringLiteral(DUVO_VERSION_TEXT)
                               + QStringLiteral(".  Available update version: ") + info.value(QStringLiteral("current_version"))
                               + QStringLiteral("."),
                           QStringLiteral("Update Information"), duvo::Ok, duvo::PromptIcon::Information);
}

void DOzerAvirAded::btnWebProtocolsClick()
{
    AutoRefreshPause pause(*this);
    TWebCopyProgressForm progress(this, WC1);
    QStringList list;
    if (!FetchIniFile(QStringLiteral("svfilelist.ini"), duvo::DownloadBaseAddress(), list))
        return;

    int result = QDialog::Rejected;
    {
        TWebSelectForm form(this, &list);
        if (!form.loadFailed())
            result = form.exec();
    }
    if (result != QDialog::Accepted)
        return;

    QString target;
    if (const auto chosen = duvo::Prompts::folder(QStringLiteral("Select Download Folder"), FDefaultFolder)) {
        target = duvo::withTrailingSeparator(*chosen);
    } else {
        duvo::Prompts::information(QStringLiteral("Default download folder: ") + FDefaultFolder + QStringLiteral(" will be used!"));
        target = FDefaultFolder;
    }

    for (const QString &name : std::as_const(list)) {
        const QString address = duvo::DownloadBaseAddress() + QLatin1Char('/') + name;
        WC1.Item.TargetFolder = target;
        WC1.Item.TargetFile = name;
        WC1.Item.URL = address;
        // The question looks where the file is written: the target folder.
        if (duvo::IsPlainFileName(name) && QFileInfo::exists(target + name)) {
            const int answer = duvo::Prompts::message(QStringLiteral("The file ") + address
                                                          + QStringLiteral("exsists already.  Do you want to overwrite?"),
                                                      QStringLiteral("Confirmation"), duvo::Ok | duvo::Cancel,
                                                      duvo::PromptIcon::Question);
            if (answer != duvo::Ok)
                continue;
        }
        try {
            WC1.Execute();
        } catch (...) {
        }
        if (!WC1.Item.Success) {
            const int answer = duvo::Prompts::message(QStringLiteral("There was an error downloading ") + address
                                                          + QStringLiteral(".  Do you want to continue?"),
                                                      QStringLiteral("Error"), duvo::Ok | duvo::Cancel, duvo::PromptIcon::Error);
            if (answer != duvo::Ok)
                break;
        }
    }
}

void DOzerAvirAded::UpdateSoftware1Click()
{
    TaskDialog1.Clear();
    TaskDialog1.CommonButtons = duvo::Ok | duvo::Cancel;
    TaskDialog1.Title = QStringLiteral("Software Updates");
    TaskDialog1.Instruction = QStringLiteral("Verify your version or select to go to the update site.");
    TaskDialog1.Icon = duvo::PromptIcon::Information;
    TaskDialog1.Content = QStringLiteral("Select one of the actions below:");
    TaskDialog1.RadioButtons = {QStringLiteral("Check for updates"), QStringLiteral("Software update site")};
    const int button = TaskDialog1.Execute();
    const int radio = TaskDialog1.RadioButtonResult;
    TaskDialog1.RadioButtons.clear();
    if (button != duvo::Ok)
        return;
    if (radio == 0) {
        CheckForUpdates();
    } else if (radio == 1) {
        if (!duvo::Shell::instance().openDocument(duvo::UpdatePageAddress()))
            duvo::Prompts::message(QStringLiteral("Error starting browser!"), QStringLiteral("Error"), duvo::Ok,
                                   duvo::PromptIcon::Error);
    }
}

void DOzerAvirAded::About1Click()
{
    TAboutForm form(this);
    form.exec();
}

void DOzerAvirAded::btnPCInformationClick()
{
    if (ActiveProtoForm && !ActiveProtoForm->isHidden()) {
        ActiveProtoForm->raise();
        ActiveProtoForm->activateWindow();
        return;
    }
    if (ActiveProtoForm) {  // hidden, not freed yet: a click makes a new one
        QWidget *old = ActiveProtoForm;
        ActiveProtoForm = nullptr;
        delete old;
    }
    auto *form = new TProtoForm(this);
    ActiveProtoForm = form;
    form->show();
}
