// Device commands of the main window: the serial terminal, the firmware manager and the
// commands sent to one or several instruments.

#include "mainwindow/forms/DOzerAvirAded.h"

#include "common/Prompts.h"
#include "maintenance/forms/TCloneForm.h"
#include "maintenance/forms/TFWMgrForm.h"
#include "maintenance/forms/TFormatForm.h"
#include "maintenance/forms/TTerminalForm.h"
#include "mainwindow/AutoRefreshPause.h"
#include "mainwindow/DeviceBusyGuard.h"
#include "mainwindow/DeviceCommands.h"
#include "mainwindow/DeviceLog.h"
#include "mainwindow/forms/DisabledWindowGuard.h"
#include "mainwindow/forms/ShowDeviceLogReport.h"
#include "mainwindow/forms/TDestinationForm.h"
#include "mainwindow/forms/TMultiSelForm.h"
#include "mainwindow/forms/TPersonalDuvoForm.h"

#include <QDateTime>
#include <QLocale>

#include <exception>

void DOzerAvirAded::btnTerminalClick()
{
    try {
        if (ActiveTerminalForm) {
            ActiveTerminalForm->show();
            ActiveTerminalForm->raise();
            ActiveTerminalForm->activateWindow();
            return;
        }
        auto *form = new TTerminalForm(this);
        ActiveTerminalForm = form;
        form->show();
    } catch (const std::exception &e) {
        ZavExceptionLog1.LogException(QStringLiteral("btnTerminalClick"), QString::fromLocal8Bit(e.what()));
    }
}

void DOzerAvirAded::btnFirmwareUpdateClick()
{
    if (duvo::Prompts::message(QStringLiteral("Power OFF and ON all Duvo devices you want to flash.  Hold the red C button during power ON on Duvos with firmware greater than 1.40 and restart Duvo Studio!"),
                               QStringLiteral("Information"), duvo::Ok | duvo::Cancel, duvo::PromptIcon::Information)
        != duvo::Ok)
        return;
    AutoRefreshPause pause(*this);
    TFWMgrForm form(this);
    if (!form.loadFailed())
        form.exec();
}

namespace {

void informationBox(const QString &text, const QString &title = QStringLiteral("Information"))
{
    duvo::Prompts::message(text, title, duvo::Ok, duvo::PromptIcon::Information);
}

QString deviceText(const std::string &s)
{
    return QString::fromStdString(s);
}

} // namespace

int DOzerAvirAded::PickDevice(const QString &caption)
{
    int index = -1;
    TDestinationForm picker(this, &index, false);
    if (!caption.isEmpty())
        picker.setWindowTitle(caption);
    if (picker.loadFailed() || picker.exec() != QDialog::Accepted)
        return -1;
    return FDeviceList.at(index) ? index : -1;
}

bool DOzerAvirAded::PickDevices(int *sourceIndex, const QString &caption)
{
    TMultiSelForm picker(this, sourceIndex);
    if (!caption.isEmpty())
        picker.setWindowTitle(caption);
    return !picker.loadFailed() && picker.exec() == QDialog::Accepted;
}

void DOzerAvirAded::btnFormatClick()
{
    const int index = PickDevice();
    if (index < 0)
        return;
    const int answer = TaskDialog1.Show(
        duvo::Yes | duvo::No, duvo::PromptIcon::Warning, QStringLiteral("Velmor Lab Duvo Studio"),
        QStringLiteral("Format Duvo Flash Drive"),
        QStringLiteral("Warning! This will format the Duvo flash drive. Do you want to continue?"),
        QStringLiteral("This action will format the flash drive. All data will be lost.  Select No to Cancel."));
    if (answer != duvo::Yes)
        return;
    if (duvo::Prompts::message(QStringLiteral("Are you sure you want to Proceed and Format the Duvo Flash Drive?"),
                               QStringLiteral("Format Duvo"), duvo::Ok | duvo::Cancel, duvo::PromptIcon::Warning)
        != duvo::Ok)
        return;
    const DVDEVICEINFO_T *d = FDeviceList.at(index);
    if (!d)
        return;
    const QString ip = deviceText(d->ipAddress), id = deviceText(d->deviceId), type = deviceText(d->typeText);
    if (!d->isIdle()) {
        informationBox(QStringLiteral("Device:  ") + type + QStringLiteral("  ID:  ") + id + QStringLiteral("  at  ") + ip +
                           QStringLiteral("  is active!  Stop Device before Formatting!"),
                       QStringLiteral("Format Duvo"));
        return;
    }
    DeviceBusyGuard busy(FDeviceList, index);
    AutoRefreshPause pause(*this);
    TFormatForm form(this, ip, type, id, false);
    form.exec();
}

void DOzerAvirAded::btnCloneClick()
{
    if (FDeviceList.Count() < 2) {
        duvo::Prompts::message(QStringLiteral("Cloning needs at least 2 devices on the network!"), QStringLiteral("Clone"));
        return;
    }
    int source = PickDevice(QStringLiteral("Select Source Device"));
    if (source < 0)
        return;
    const DVDEVICEINFO_T *d = FDeviceList.at(source);
    if (!d->isIdle()) {
        informationBox(QStringLiteral("Source Device:  ") + deviceText(d->typeText) + QStringLiteral("  ID:  ") +
                           deviceText(d->deviceId) + QStringLiteral("  at  ") + deviceText(d->ipAddress) +
                           QStringLiteral("  is active!  Stop Device before Copying!"),
                       QStringLiteral("Clone Duvo"));
        return;
    }
    if (!PickDevices(&source))
        return;
    DeviceBusyGuard busy(FDeviceList, source);
    AutoRefreshPause pause(*this);
    TCloneForm form(this, &source);
    form.exec();
}

void DOzerAvirAded::powerCommand(const PowerCommandTexts &texts, const QString &caption)
{
    ResetDeviceSelection(FDeviceList);
    int all = -1;
    if (!PickDevices(&all, caption))
        return;
    int done = 0;
    {
        // The main window's client is busy until the loop ends: nothing else may start.
        DisabledWindowGuard disabled(this);
        done = PowerSelectedDevices(FDeviceList, TCPClient1, texts);
    }
    if (done == 0)
        informationBox(QStringLiteral("The command did not complete correctly. Please try again!"));
    else
        btnRefreshClick();
    ResetDeviceSelection(FDeviceList);
}

void DOzerAvirAded::btnPowerClick()
{
    powerCommand(PowerOffTexts(), QStringLiteral("Select Devices for Shutdown"));
}

void DOzerAvirAded::btnRebootClick()
{
    powerCommand(RebootTexts(), QStringLiteral("Select Devices for Reboot"));
}

void DOzerAvirAded::btnSyncTimeClick()
{
    int all = -1;
    if (!PickDevices(&all, QStringLiteral("Select Devices for synchronizing Time & Date")))
        return;
    const QString timeText = SyncTimeText(QDateTime::currentDateTime());
    bool ok = false;
    {
        DisabledWindowGuard disabled(this);
        ok = SyncSelectedDevicesTime(FDeviceList, TCPClient1, timeText);
    }
    ResetDeviceSelection(FDeviceList);
    if (ok) {
        const QDateTime now = QDateTime::currentDateTime();
        duvo::Prompts::message(QStringLiteral("PC time sync command completed using:  ") +
                                   QLocale::system().toString(now.date(), QLocale::LongFormat) + QStringLiteral("  ") +
                                   now.toString(QStringLiteral("hh:mm:ss")),
                               QStringLiteral("Information"));
    }
    else
        duvo::Prompts::error(QStringLiteral("There was an error during time sync please try again!"));
}

void DOzerAvirAded::btnNameandLocationClick()
{
    const int index = PickDevice();
    if (index < 0)
        return;
    const DVDEVICEINFO_T *d = FDeviceList.at(index);
    const QString ip = deviceText(d->ipAddress);
    QString alias = deviceText(d->alias);
    QString location = deviceText(d->location);
    {
        TPersonalDuvoForm form(this, ip, &alias, &location);
        if (form.exec() != QDialog::Accepted)
            return;
    }
    bool done = false;
    {
        DisabledWindowGuard disabled(this);
        done = SetDeviceParameter(TCPClient1, ip, QStringLiteral("84"), alias) &&
               SetDeviceParameter(TCPClient1, ip, QStringLiteral("63"), location);
    }
    if (done)
        btnRefreshClick();
}

void DOzerAvirAded::btnDuvoLogClick()
{
    const int index = PickDevice();
    if (index < 0)
        return;
    const std::string ip = FDeviceList.at(index)->ipAddress;
    std::string reply;
    bool fetched = false;
    {
        DisabledWindowGuard disabled(this);
        fetched = FetchDeviceLog(TCPClient1, ZavLog1, ip, reply) || FetchDeviceLog(TCPClient1, ZavLog1, ip, reply);
    }
    if (fetched)
        ShowDeviceLogReport(reply, this);
    else
        informationBox(QStringLiteral("Problem retrieving log file or no log file available!  Please try again later."),
                       QStringLiteral("Log"));
}
