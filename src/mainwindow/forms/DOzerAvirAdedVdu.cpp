// The main window's virtual data file commands: "Save" opens the writer, "Load" the loader,
// each modally with the auto-refresh timer off while it is open.

#include "mainwindow/forms/DOzerAvirAded.h"

#include "mainwindow/AutoRefreshPause.h"
#include "maintenance/forms/TCreateVDUForm.h"
#include "maintenance/forms/TLoadVDUForm.h"

void DOzerAvirAded::btnCreateVDUClick()
{
    AutoRefreshPause pause(*this);
    TCreateVDUForm form(this);
    form.exec();
}

void DOzerAvirAded::btnLoadVDUClick()
{
    AutoRefreshPause pause(*this);
    TLoadVDUForm form(this);
    form.exec();
}
