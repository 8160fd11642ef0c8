#include "mainwindow/AutoRefreshPause.h"

#include "link/Workstation.h"

AutoRefreshPause::AutoRefreshPause(QTimer &timer) : FTimer(&timer)
{
    if (timer.isActive()) {
        timer.stop();
        FSwitchedOff = true;
    }
}

AutoRefreshPause::AutoRefreshPause(Workstation &workstation) : AutoRefreshPause(workstation.DuvoTimer)
{
    FWorkstation = &workstation;
}

AutoRefreshPause::~AutoRefreshPause()
{
    if (!FSwitchedOff || !FTimer)
        return;
    if (FWorkstation && FWorkstation->FApplicationEnding)
        return;
    FTimer->start();
}
