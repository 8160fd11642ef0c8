#include "common/IpWatch.h"

#include <QNetworkInterface>

namespace duvo {

namespace {
std::optional<IpWatchState> g_override;
}

IpWatchState CurrentIpWatch()
{
    if (g_override)
        return *g_override;
    // The simulated lab: DUVO_LOCAL_IP names the host's address on the lab network.
    const QString env = qEnvironmentVariable("DUVO_LOCAL_IP");
    if (!env.isEmpty())
        return {env, true};
    for (const QNetworkInterface &nic : QNetworkInterface::allInterfaces()) {
        const auto flags = nic.flags();
        if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::IsRunning)
            || (flags & QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry &e : nic.addressEntries()) {
            if (e.ip().protocol() == QAbstractSocket::IPv4Protocol)
                return {e.ip().toString(), true};
        }
    }
    return {QString(), false};
}

void setIpWatchOverride(const std::optional<IpWatchState> &state)
{
    g_override = state;
}

} // namespace duvo
