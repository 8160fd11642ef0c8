// The main window's handlers that open the network protocol browser and folder security.

#include "mainwindow/AutoRefreshPause.h"
#include "mainwindow/forms/DOzerAvirAded.h"
#include "mainwindow/forms/TDestinationForm.h"
#include "protocols/forms/TChangePWForm.h"
#include "protocols/forms/TDuvoFileMgrForm.h"

void DOzerAvirAded::btnNavigateClick()
{
    AutoRefreshPause pause(*this);
    TDuvoFileMgrForm browser(this, QString());
    browser.exec();
}

void DOzerAvirAded::btnSetChangePWClick()
{
    int index = -1;
    {
        TDestinationForm picker(this, &index, false);
        if (picker.exec() != QDialog::Accepted)
            return;
    }
    const DVDEVICEINFO_T *device = FDeviceList.at(index);
    if (!device)
        return;
    const QString ip = QString::fromStdString(device->ipAddress);
    const QString id = QString::fromStdString(device->deviceId);
    AutoRefreshPause pause(*this);
    TChangePWForm form(this, ip, id);
    form.exec();
}
