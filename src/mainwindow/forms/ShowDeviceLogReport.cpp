#include "mainwindow/forms/ShowDeviceLogReport.h"

#include "common/Prompts.h"
#include "link/Workstation.h"
#include "mainwindow/DeviceLog.h"
#include "mainwindow/forms/DOzerAvirAded.h"
#include "mainwindow/forms/TEditorForm.h"

#include <exception>

namespace {

void logQuietEnd(const QString &what)
{
    if (Workstation *ws = Workstation::current())
        ws->ZavExceptionLog1.LogException(QStringLiteral("ShowDeviceLogReport"), what);
}

} // namespace

void ShowDeviceLogReport(const std::string &reply, QWidget *owner)
{
    try {
        const DeviceLogReport report = BuildDeviceLogReport(reply);
        switch (report.result) {
        case DeviceLogReportResult::Ok:
            break;
        case DeviceLogReportResult::NoLog:
            duvo::Prompts::message(
                QStringLiteral("Problem retrieving log file or no log file available!  Please try again later."),
                QStringLiteral("Log"), duvo::Ok, duvo::PromptIcon::Information);
            return;
        case DeviceLogReportResult::ErrorListUnreadable:
            duvo::Prompts::message(QStringLiteral("Error parsing Duvo xml log file!"), QStringLiteral("Error"), duvo::Ok,
                                   duvo::PromptIcon::Error);
            return;
        case DeviceLogReportResult::ErrorUnreadable:
            duvo::Prompts::message(QStringLiteral("Error parsing [Errors] in Duvo xml log file!"),
                                   QStringLiteral("Error"), duvo::Ok, duvo::PromptIcon::Error);
            return;
        case DeviceLogReportResult::BadValue:
            logQuietEnd(QString::fromStdString(report.detail));
            return;
        }

        TEditorForm form(owner ? owner : DuvoMainForm, QString::fromUtf8(report.text.data(), qsizetype(report.text.size())),
                         true);
        form.setWindowTitle(QStringLiteral("Duvo Log"));
        form.btnCut->hide();
        form.btnPaste->hide();
        form.exec();
    } catch (const std::exception &e) {
        logQuietEnd(QString::fromLocal8Bit(e.what()));
    }
}
