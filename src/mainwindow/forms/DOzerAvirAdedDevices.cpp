// Device commands of the main window: the serial terminal, the firmware manager and the
// commands sent to one or several instruments.

#include "mainwindow/forms/DOzerAvirAded.h"

#include "common/Prompts.h"
#include "maintenance/forms/TFWMgrForm.h"
#include "maintenance/forms/TTerminalForm.h"
#include "mainwindow/AutoRefreshPause.h"

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
