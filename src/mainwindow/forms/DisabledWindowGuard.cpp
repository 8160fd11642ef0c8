#include "mainwindow/forms/DisabledWindowGuard.h"

DisabledWindowGuard::DisabledWindowGuard(QWidget *window) : FWindow(window)
{
    if (window) {
        FWasEnabled = !window->testAttribute(Qt::WA_Disabled);
        window->setEnabled(false);
    }
}

DisabledWindowGuard::~DisabledWindowGuard()
{
    if (FWindow && FWasEnabled)
        FWindow->setEnabled(true);
}
