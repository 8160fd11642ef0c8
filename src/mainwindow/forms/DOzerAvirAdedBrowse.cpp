// The main window's handlers that open the network protocol browser and folder security.

#include "mainwindow/AutoRefreshPause.h"
#include "mainwindow/forms/DOzerAvirAded.h"
#include "mainwindow/forms/TDestinationForm.h"
#include "protocols/forms/TDuvoFileMgrForm.h"

void DOzerAvirAded::btnNavigateClick()
{
    AutoRefreshPause pause(*this);
    TDuvoFileMgrForm browser(this, QString());
    browser.exec();
}
