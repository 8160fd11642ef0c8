#include "mainwindow/DevicePickers.h"
#include "link/Workstation.h"

namespace duvo {

QString PickerPicture(const std::string &typeText)
{
    if (typeText == "SV cycler")
        return QStringLiteral("DuvoQ24");
    if (typeText == "DUVO 24")
        return QStringLiteral("Duvo2424");
    if (typeText == "DUVO 96")
        return QStringLiteral("Duvo9624");
    return {};
}

QString PickerItemText(const DVDEVICEINFO_T &device)
{
    const QString picture = PickerPicture(device.typeText);
    if (picture.isEmpty())
        return {};
    return QStringLiteral("<IMG SRC=\"%1\" align=\"bottom\"> <B><FONT SIZE=\"10\">%2</FONT></B><BR><IND X=\"24\">"
                          "<FONT SIZE=\"8\"><B>Duvo ID</B>: %3</BR>")
        .arg(picture, QString::fromStdString(device.ipAddress), QString::fromStdString(device.deviceId));
}

std::vector<PickerItem> PickerItems(const DeviceList &devices, int excludedIndex)
{
    std::vector<PickerItem> items;
    for (int i = 0; i < devices.Count(); ++i) {
        if (i == excludedIndex)
            continue;
        QString text = PickerItemText(*devices.at(i));
        if (!text.isEmpty())
            items.push_back({i, std::move(text)});
    }
    return items;
}

PickRefusal PickRefusalOf(const DVDEVICEINFO_T &device, bool acceptAnyType)
{
    if (device.unreachable)
        return PickRefusal::DeviceError;
    if (!acceptAnyType && device.typeText == "SV cycler")
        return PickRefusal::OldFirmware;
    return PickRefusal::None;
}

bool PickerOkEnabled(const DVDEVICEINFO_T &device, bool acceptAnyType)
{
    return acceptAnyType || device.typeText != "SV cycler";
}

void ShowPickRefusal(PickRefusal refusal)
{
    if (refusal == PickRefusal::None)
        return;
    Workstation *ws = Workstation::current();
    if (!ws)
        return;
    const bool error = refusal == PickRefusal::DeviceError;
    ws->TaskDialog1.Show(Ok, PromptIcon::Information, QStringLiteral("Velmor Lab Duvo Studio"),
                         QStringLiteral("Duvo Device Selection"),
                         error ? QStringLiteral("Selected device has some error.")
                               : QStringLiteral("Selected device has old firmware."),
                         error ? QStringLiteral("The device has some error and needs assistance.")
                               : QStringLiteral("The device of type \"SV cycler\" must update firmware."));
}

bool MultiPickAllowed(const DVDEVICEINFO_T &device)
{
    return device.typeText != "SV cycler" && device.isIdle();
}

} // namespace duvo
