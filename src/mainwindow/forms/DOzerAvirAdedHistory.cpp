// The main window's run history and database administration commands.

#include "mainwindow/forms/DOzerAvirAded.h"

#include "link/forms/TDatabaseForm.h"

#include <memory>

void DOzerAvirAded::Database1Click()
{
    try {
        std::unique_ptr<TDatabaseForm> form(new TDatabaseForm(this));
        form->exec();
    } catch (...) {
        // The dialog reports its own failures.
    }
}
