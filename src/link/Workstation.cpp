#include "link/Workstation.h"

#include <QCoreApplication>
#include <QMetaObject>

QString DatabasePath;

namespace {
Workstation *g_current = nullptr;
}

Workstation::Workstation()
{
    DuvoTimer.setInterval(5000);
    FPrevious = g_current;
    g_current = this;
}

Workstation::~Workstation()
{
    if (g_current == this)
        g_current = FPrevious;
}

void Workstation::ShowAlert(const QString &text)
{
    FLastAlert = text;
}

Workstation *Workstation::current()
{
    return g_current;
}

void Workstation::Terminate()
{
    FApplicationEnding = true;
    if (QCoreApplication *app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, &QCoreApplication::quit, Qt::QueuedConnection);
}
