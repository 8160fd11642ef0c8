// The main window's run history and database administration commands.

#include "mainwindow/forms/DOzerAvirAded.h"

#include "link/forms/TDatabaseForm.h"
#include "runs/forms/THistoryForm.h"

#include <memory>

void DOzerAvirAded::btnDeviceLogClick()
{
    // Loading processes window messages: a second click meanwhile opens no second viewer.
    if (FHistoryLoading)
        return;
    std::unique_ptr<THistoryForm> form;
    {
        FHistoryLoading = true;
        struct Reset {
            bool &flag;
            ~Reset() { flag = false; }
        } reset{FHistoryLoading};
        form.reset(new THistoryForm(this));
    }
    if (!form->loadFailed())
        form->exec();
}

void DOzerAvirAded::Database1Click()
{
    try {
        std::unique_ptr<TDatabaseForm> form(new TDatabaseForm(this));
        form->exec();
    } catch (...) {
        // The dialog reports its own failures.
    }
}
