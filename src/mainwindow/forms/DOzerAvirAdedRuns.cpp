// The run road: from the main window to one instrument's run. Choose the device (picker or
// double click); for an idle device choose the protocol in the navigator and fill in the run
// details, which arm the run's alert e-mail; then follow or start the run in the run monitor.
// The main window stays disabled for the whole road, the device is busy while the road's
// windows are open, and the auto-refresh timer is off while the navigator and the details are.

#include "mainwindow/forms/DOzerAvirAded.h"

#include "mainwindow/AutoRefreshPause.h"
#include "mainwindow/DeviceBusyGuard.h"
#include "mainwindow/forms/DisabledWindowGuard.h"
#include "mainwindow/forms/TDestinationForm.h"
#include "protocols/forms/TProtNavForm.h"
#include "runs/forms/TDeviceStatusForm.h"
#include "runs/forms/TVolumeTypeForm.h"

#include <QToolButton>

namespace {

// The windows the road shows, each owned by the main window, modal, deleted when it closes.
DOzerAvirAded::RunRoadWindows defaultRunRoadWindows()
{
    DOzerAvirAded::RunRoadWindows w;
    w.pickDevice = [](QWidget *owner, int *index) {
        TDestinationForm picker(owner, index, false);
        return picker.exec() == QDialog::Accepted;
    };
    w.navigate = [](QWidget *owner, const QString &ip, const QString &id, QString *folder, QString *file) {
        TProtNavForm navigator(owner, ip, id, folder, file);
        navigator.setWindowTitle(DOzerAvirAded::NavigatorCaption(id, ip));
        return navigator.exec() == QDialog::Accepted;
    };
    w.runDetails = [](QWidget *owner, const QString &type, int *consumable, int *volume, QString *contact,
                      QString *description, QString *notes, QString *email, bool *sendMail, bool mailEnabled) {
        TVolumeTypeForm form(owner, type, consumable, volume, contact, description, notes, email, sendMail,
                             mailEnabled);
        return form.exec() == QDialog::Accepted;
    };
    w.monitor = [](QWidget *owner, int *index, const QString &ip, const QString &id, const QString &type,
                   const QString &folder, const QString &file, int *consumable, int *volume, const QString &contact,
                   const QString &description, const QString &notes, const QString &email) {
        TDeviceStatusForm form(owner, index, ip, id, type, folder, file, consumable, volume, contact, description,
                               notes, email);
        form.exec();
    };
    return w;
}

} // namespace

DOzerAvirAded::RunRoadWindows &DOzerAvirAded::runRoadWindows()
{
    if (!FRunRoadWindowsSet) {
        FRunRoadWindowsSet = true;
        FRunRoadWindows = defaultRunRoadWindows();
    }
    return FRunRoadWindows;
}

QString DOzerAvirAded::NavigatorCaption(const QString &id, const QString &ip)
{
    return QStringLiteral("Duvo Protocol Navigator for  ") + id + QStringLiteral("  at  ") + ip;
}

void DOzerAvirAded::btnStatusClick()
{
    DisabledWindowGuard disabled(this);
    const RunRoadWindows &windows = runRoadWindows();
    int index = -1;
    if (!windows.pickDevice || !windows.pickDevice(this, &index))
        return;
    RunRoad(index);
}

void DOzerAvirAded::btnOpenProtocolClick()
{
    if (QToolButton *status = button(QStringLiteral("btnStatus")); status && status->isEnabled())
        btnStatusClick();
}

void DOzerAvirAded::OutList1ItemDblClick(QTreeWidgetItem *item)
{
    if (!item)
        return;
    if (item->parent() && item->parent()->parent())  // the preview line under a device row
        item = item->parent();
    const QString ip = item->text(2);  // cell 1: the address
    DisabledWindowGuard disabled(this);
    const int index = FDeviceList.IndexOfAddress(ip.toStdString());
    const DVDEVICEINFO_T *device = FDeviceList.at(index);
    if (!device || device->unreachable || device->busy || device->typeText == "SV cycler")
        return;
    RunRoad(index);
}

void DOzerAvirAded::RunRoad(int index)
{
    DisabledWindowGuard disabled(this);
    const DVDEVICEINFO_T *device = FDeviceList.at(index);
    if (!device)
        return;
    const RunRoadWindows &windows = runRoadWindows();
    int deviceIndex = index;
    const QString ip = QString::fromStdString(device->ipAddress);
    const QString id = QString::fromStdString(device->deviceId);
    const QString type = QString::fromStdString(device->typeText);
    QString folder, file, contact, description, notes, email;
    // A device that is not idle gets no run details: the monitor only follows its run.
    int consumable = 0;
    int volume = 0;
    bool sendMail = false;

    DeviceBusyGuard busy(FDeviceList, index, false);
    if (device->isIdle()) {
        bool ok = false;
        {
            busy.hold();
            AutoRefreshPause pause(*this);
            ok = windows.navigate && windows.navigate(this, ip, id, &folder, &file);
            if (ok)
                ok = windows.runDetails
                     && windows.runDetails(this, type, &consumable, &volume, &contact, &description, &notes, &email,
                                           &sendMail, FMailNotification);
            busy.release();
        }
        if (!ok)
            return;
        // The run's alert: armed with an address, or disarmed and marked sent.
        DVDEVICEINFO_T *record = busy.record();
        if (!record)
            return;  // the list was rebuilt meanwhile
        if (sendMail) {
            record->alertArmed = 1;
            record->alertSent = 0;
            record->alertAddress = email.toStdString();
        } else {
            record->alertArmed = 0;
            record->alertSent = 1;
            record->alertAddress.clear();
        }
    }
    if (!windows.monitor || !busy.hold())
        return;
    windows.monitor(this, &deviceIndex, ip, id, type, folder, file, &consumable, &volume, contact, description,
                    notes, email);
    busy.release();
    // The row shows the device's new state at once, not at the next tick.
    if (!FStatusPass.running())
        FStatusPass.PollDevices();
    UpdateDeviceRows();
}
