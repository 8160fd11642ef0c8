#pragma once
// The host's IPv4 address and online state: the first interface that is up, running and not
// loopback, with an IPv4 address. Tests can set the answer.

#include <QString>
#include <optional>

namespace duvo {

struct IpWatchState {
    QString localIP;  // empty when offline
    bool online = false;
};

IpWatchState CurrentIpWatch();
// Overrides the answer (tests and the simulated lab): nullopt returns to the real interfaces.
void setIpWatchOverride(const std::optional<IpWatchState> &state);

} // namespace duvo
