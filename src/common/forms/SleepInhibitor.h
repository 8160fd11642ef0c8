#pragma once
// Refuses system suspend while the workstation runs: holds a logind "sleep" inhibitor lock.

#include <QDBusUnixFileDescriptor>
#include <QString>

namespace duvo {

class SleepInhibitor {
public:
    SleepInhibitor();
    bool isHeld() const { return FLock.isValid(); }
    // Why the lock could not be taken (empty when it is held).
    QString failure() const { return FFailure; }

private:
    QDBusUnixFileDescriptor FLock;
    QString FFailure;
};

} // namespace duvo
