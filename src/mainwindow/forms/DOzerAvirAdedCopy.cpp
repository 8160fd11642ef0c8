// The main window's handlers of the copy manager and the load-from-disk manager.

#include "mainwindow/forms/DOzerAvirAded.h"

#include "mainwindow/AutoRefreshPause.h"
#include "protocols/forms/TCopyProtocolForm.h"
#include "protocols/forms/TLoadProtoDskForm.h"

#include <memory>

void DOzerAvirAded::btnCopyProtocolClick()
{
    AutoRefreshPause pause(*this);
    const QString ip = FDeviceList.Count() == 2 ? QString::fromStdString(FDeviceList.at(1)->ipAddress) : QString();
    auto form = std::make_unique<TCopyProtocolForm>(this, ip);
    form->exec();
}

void DOzerAvirAded::btnLoadFromDiskClick()
{
    AutoRefreshPause pause(*this);
    const QString ip = FDeviceList.Count() == 1 ? QString::fromStdString(FDeviceList.at(0)->ipAddress) : QString();
    auto form = std::make_unique<TLoadProtoDskForm>(this, ip);
    form->exec();
}
