#pragma once
// One status pass over the device list: every instrument that can be asked (not offline, not
// busy, not of the old-firmware type) is asked for its clock and then its status, and the
// answers or the error go into its record. Runs on the GUI thread and keeps pending events
// flowing between devices and during every exchange, so clicks can run in the middle of it:
// after each wait it checks that the list still holds the record it works on, and ends at
// once when the list was rebuilt or a stop was asked for.

#include "link/DeviceRecord.h"
#include "link/NetExchange.h"

#include <QString>
#include <functional>

class StatusPass {
public:
    // Sends an armed device's alert with the given message (marks it sent).
    using AlertSender = std::function<void(DVDEVICEINFO_T &device, const QString &message)>;

    StatusPass(DeviceList &devices, AlertSender sendAlert);

    // The pass's own client: the main window's commands have theirs, so a command sent
    // during a pass never makes the pass fail a healthy device.
    TcpClient &client() { return FClient; }

    // One pass; returns at once when a pass is already running (it was called from inside it).
    void PollDevices();
    bool running() const { return FRunning; }
    // Ends a running pass at its next check (before a rescan empties the list).
    void RequestStop() { FStopRequested = true; }
    // For good (the application is ending): ends a running pass and its exchange in flight at
    // once, and every later pass returns without sending anything.
    void Shutdown();
    bool shutDown() const { return FShutDown; }

private:
    enum class Step { Next, End };
    Step pollOne(int index, DVDEVICEINFO_T *device);
    bool stillThere(int index, const DVDEVICEINFO_T *device, uint64_t generation) const;
    void alertRule(DVDEVICEINFO_T &device);

    DeviceList &FDevices;
    AlertSender FSendAlert;
    TcpClient FClient;
    bool FRunning = false;
    bool FStopRequested = false;
    bool FShutDown = false;
};
