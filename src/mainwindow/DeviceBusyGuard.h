#pragma once
// Holds a device record's busy flag while a window works on the instrument, so the status
// pass leaves the device alone; the flag is cleared when the guard ends, also by an exception.
//
// The guard keeps no pointer to the record: a rescan may empty the device list while a modal
// window waits, destroying the record. It keeps the index and the list's generation and finds
// the record again each time; when the list was emptied meanwhile there is nothing to clear.
//
//   DeviceBusyGuard busy(FDeviceList, index);   // busy from here
//   form.exec();
//   busy.release();                             // not busy in between
//   ...
//   busy.hold();                                // busy again; cleared at the end of the scope

#include "link/DeviceRecord.h"

#include <cstdint>

class DeviceBusyGuard {
public:
    // Sets the record's busy flag at once unless hold is false.
    DeviceBusyGuard(DeviceList &devices, int index, bool hold = true);
    ~DeviceBusyGuard();
    DeviceBusyGuard(const DeviceBusyGuard &) = delete;
    DeviceBusyGuard &operator=(const DeviceBusyGuard &) = delete;

    // Sets the busy flag (again); false when the record is gone.
    bool hold();
    // Clears the flag now, if this guard set it.
    void release();

    bool holding() const { return FHolding; }
    // The record, or nullptr when the list was emptied since the guard began.
    DVDEVICEINFO_T *record() const;
    int index() const { return FIndex; }

private:
    DeviceList &FDevices;
    int FIndex;
    uint64_t FGeneration;
    bool FHolding = false;
};
