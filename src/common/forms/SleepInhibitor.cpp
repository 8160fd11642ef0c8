#include "common/forms/SleepInhibitor.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>

namespace duvo {

SleepInhibitor::SleepInhibitor()
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        FFailure = QStringLiteral("no system bus");
        return;
    }
    QDBusInterface manager(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                           QStringLiteral("org.freedesktop.login1.Manager"), bus);
    if (!manager.isValid()) {
        FFailure = QStringLiteral("logind does not answer");
        return;
    }
    QDBusReply<QDBusUnixFileDescriptor> reply =
        manager.call(QStringLiteral("Inhibit"), QStringLiteral("sleep"), QStringLiteral("Velmor Lab Duvo Studio"),
                     QStringLiteral("Instrument runs are being followed"), QStringLiteral("block"));
    if (!reply.isValid()) {
        FFailure = reply.error().message();
        return;
    }
    FLock = reply.value();
}

} // namespace duvo
