#include "mainwindow/StatusPass.h"

#include "link/CommandDocs.h"
#include "link/DeviceScan.h"
#include "link/NetCommand.h"
#include "mainwindow/DeviceRows.h"

#include <QCoreApplication>

StatusPass::StatusPass(DeviceList &devices, AlertSender sendAlert)
    : FDevices(devices), FSendAlert(std::move(sendAlert))
{
}

void StatusPass::Shutdown()
{
    FShutDown = true;
    FStopRequested = true;
    FClient.abort();
}

void StatusPass::PollDevices()
{
    if (FRunning || FShutDown)
        return;
    FRunning = true;
    FStopRequested = false;
    for (int i = 0; i < FDevices.Count(); ++i) {
        QCoreApplication::processEvents();
        if (FStopRequested)
            break;
        DVDEVICEINFO_T *device = FDevices.at(i);
        if (!device)
            break;
        if (pollOne(i, device) == Step::End)
            break;
    }
    FRunning = false;
    FStopRequested = FShutDown;
}

bool StatusPass::stillThere(int index, const DVDEVICEINFO_T *device, uint64_t generation) const
{
    return !FStopRequested && !FShutDown && FDevices.generation() == generation && FDevices.at(index) == device;
}

void StatusPass::alertRule(DVDEVICEINFO_T &device)
{
    if (AlertDue(device) && FSendAlert)
        FSendAlert(device, QString::fromStdString(device.message));
}

StatusPass::Step StatusPass::pollOne(int index, DVDEVICEINFO_T *device)
{
    if (device->unreachable || device->busy || device->typeText == "SV cycler")
        return Step::Next;
    const uint64_t generation = FDevices.generation();
    const std::string ip = device->ipAddress;

    // Marks the device offline with the message, then applies the alert rule.
    auto fail = [&](const std::string &message) {
        device->unreachable = 1;
        device->message = message;
        alertRule(*device);
        return stillThere(index, device, generation) ? Step::Next : Step::End;
    };

    // The clock.
    NetReply reply = SendInstrumentCommand(FClient, ip, GetTime_doc(), NetCommandCall("GetTime").textOnly());
    if (!stillThere(index, device, generation))
        return Step::End;
    if (!reply.ok) {
        if (reply.netFailed)
            return fail("Error during GetTime net command");
        return fail(reply.statusMessage);
    }
    std::string clock;
    bool ok = false;
    GetTime_Ret_Doc(reply.text, clock, ok);
    if (!ok)
        return fail("Error GetTime_Ret_Doc");
    device->clockText = clock;

    // The status.
    reply = SendInstrumentCommand(FClient, ip, GetStatus_doc(), NetCommandCall("GetStatus").textOnly());
    if (!stillThere(index, device, generation))
        return Step::End;
    if (!reply.ok) {
        if (reply.netFailed)
            return fail("Error during GetStatus net command");
        return fail(reply.statusMessage);
    }
    InstrumentStatus status;
    GetStatus_Ret_Doc(reply.text, status, ok);
    StoreDiscoveryStatus(*device, status, ok);
    if (!ok) {
        alertRule(*device);
        return stillThere(index, device, generation) ? Step::Next : Step::End;
    }
    return Step::Next;
}
