#include "mainwindow/DeviceBusyGuard.h"

DeviceBusyGuard::DeviceBusyGuard(DeviceList &devices, int index, bool hold)
    : FDevices(devices), FIndex(index), FGeneration(devices.generation())
{
    if (hold)
        this->hold();
}

DeviceBusyGuard::~DeviceBusyGuard()
{
    release();
}

DVDEVICEINFO_T *DeviceBusyGuard::record() const
{
    if (FDevices.generation() != FGeneration)
        return nullptr;
    return FDevices.at(FIndex);
}

bool DeviceBusyGuard::hold()
{
    DVDEVICEINFO_T *device = record();
    if (!device)
        return false;
    device->busy = 1;
    FHolding = true;
    return true;
}

void DeviceBusyGuard::release()
{
    if (!FHolding)
        return;
    FHolding = false;
    if (DVDEVICEINFO_T *device = record())
        device->busy = 0;
}
