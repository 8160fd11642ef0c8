#include "mainwindow/forms/DisabledWindowGuard.h"

namespace {

const char *const kDepth = "_duvo_disabled_guards";

} // namespace

DisabledWindowGuard::DisabledWindowGuard(QWidget *window) : FWindow(window)
{
    if (!window)
        return;
    window->setProperty(kDepth, window->property(kDepth).toInt() + 1);
    for (QObject *child : window->children()) {
        auto *w = qobject_cast<QWidget *>(child);
        if (!w || w->isWindow() || w->testAttribute(Qt::WA_Disabled))
            continue;
        w->setEnabled(false);
        FDisabled << w;
    }
}

DisabledWindowGuard::~DisabledWindowGuard()
{
    if (!FWindow)
        return;
    for (const QPointer<QWidget> &w : FDisabled)
        if (w)
            w->setEnabled(true);
    FWindow->setProperty(kDepth, qMax(0, FWindow->property(kDepth).toInt() - 1));
}

bool DisabledWindowGuard::isDisabled(const QWidget *window)
{
    return window && window->property(kDepth).toInt() > 0;
}
