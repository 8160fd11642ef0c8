// The main window's virtual data file commands: "Save" opens the writer, "Load" the loader,
// each modally with the auto-refresh timer off while it is open. The maintenance windows reach
// the device pickers through their hooks, which are filled here.

#include "mainwindow/forms/DOzerAvirAded.h"

#include "mainwindow/AutoRefreshPause.h"
#include "mainwindow/forms/TDestinationForm.h"
#include "mainwindow/forms/TMultiSelForm.h"
#include "maintenance/forms/MaintenanceHooks.h"
#include "maintenance/forms/TCreateVDUForm.h"
#include "maintenance/forms/TLoadVDUForm.h"

namespace {

void installPickers()
{
    duvo::maintenance::PickDevice() = [](QWidget *owner, const QString &caption) {
        int index = -1;
        TDestinationForm picker(owner, &index, false);
        picker.setWindowTitle(caption);
        if (picker.loadFailed() || picker.exec() != QDialog::Accepted)
            return -1;
        return index;
    };
    duvo::maintenance::PickTargets() = [](QWidget *owner, int *sourceIndex) {
        TMultiSelForm picker(owner, sourceIndex);
        return picker.exec() == QDialog::Accepted;
    };
}

} // namespace

void DOzerAvirAded::btnCreateVDUClick()
{
    installPickers();
    AutoRefreshPause pause(*this);
    TCreateVDUForm form(this);
    form.exec();
}

void DOzerAvirAded::btnLoadVDUClick()
{
    installPickers();
    AutoRefreshPause pause(*this);
    TLoadVDUForm form(this);
    form.exec();
}
