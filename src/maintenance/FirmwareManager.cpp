#include "maintenance/FirmwareManager.h"

#include "link/FieldList.h"

#include <QFileInfo>

QString FlashErrorText(int code)
{
    switch (code) {
    case -101: return QStringLiteral("Error IP Bind");
    case -102: return QStringLiteral("Error Socket Version");
    case -103: return QStringLiteral("Error Socket Options");
    case -104: return QStringLiteral("Error Sending");
    case -201: return QStringLiteral("Error invalid file");
    case -202: return QStringLiteral("Error file timeout");
    case -203: return QStringLiteral("Error no password");
    case -204: return QStringLiteral("Error invalid password");
    case -205: return QStringLiteral("Error device has no free ram");
    case -206: return QStringLiteral("Error during device shutdown");
    case -207: return QStringLiteral("Error checksum");
    case -208: return QStringLiteral("Error firmware file");
    case -209: return QStringLiteral("Error during S-convert");
    case -210: return QStringLiteral("Error during S-order");
    case -301: return QStringLiteral("Error memory alloc");
    default: return {};
    }
}

FirmwareImageCheck CheckFirmwareImage(const QString &path)
{
    FirmwareImageCheck check;
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile()) {
        check.error = QStringLiteral("Can not find selected Firmware file!");
        return check;
    }
    const QString name = info.fileName();
    if (!name.endsWith(QLatin1String(".s19"), Qt::CaseSensitive)) {
        check.error = QStringLiteral("Filename extension is not for a valid Firmware file!");
        return check;
    }
    const QStringList parts = duvo::ParseFieldList(name, QLatin1Char('_'));
    if (parts.size() < 4) {
        check.error = QStringLiteral("Firmware filename naming convention not correct!");
        return check;
    }
    check.named = true;
    check.version = parts[1] + QLatin1Char(' ') + parts[2];
    check.family = parts[3];
    if (check.family == QLatin1String("24"))
        check.typeText = QStringLiteral("Duvo\u00ae 24-well Thermal Cycler");
    else if (check.family == QLatin1String("96"))
        check.typeText = QStringLiteral("Duvo\u00ae 96-well Thermal Cycler");
    else
        check.typeText = QStringLiteral("Unknown");
    return check;
}

bool IsFlashableType(const std::string &type)
{
    return type == "SV cycler" || type == "DUVO 24" || type == "DUVO 96";
}

QString FirmwareFamilyOfType(const std::string &type)
{
    if (type == "DUVO 24")
        return QStringLiteral("24");
    if (type == "DUVO 96")
        return QStringLiteral("96");
    return {};
}

QString FirmwarePictureOfType(const std::string &type)
{
    if (type == "DUVO 24")
        return QStringLiteral("Duvo2424");
    if (type == "DUVO 96")
        return QStringLiteral("Duvo9624");
    return QStringLiteral("DuvoQ24");
}

std::vector<int> FirmwareRows(const DeviceList &devices)
{
    std::vector<int> rows;
    for (int i = 0; i < devices.Count(); ++i)
        if (IsFlashableType(devices.at(i)->typeText))
            rows.push_back(i);
    return rows;
}

QString FirmwareRowText(const DVDEVICEINFO_T &device)
{
    return QStringLiteral("<IMG SRC=\"%1\" align=\"bottom\"> <B><FONT SIZE=\"10\">%2</FONT></B><BR>"
                          "<IND X=\"24\"><FONT SIZE=\"8\"><B>Duvo ID</B>: %3</BR>")
        .arg(FirmwarePictureOfType(device.typeText),
             QString::fromStdString(device.ipAddress).toHtmlEscaped(),
             QString::fromStdString(device.deviceId).toHtmlEscaped());
}

FirmwarePlan PlanFirmwareUpdate(const DeviceList &devices, const std::vector<int> &rows, int selectedRow,
                                bool batch, bool force, const QString &family)
{
    FirmwarePlan plan;
    auto matches = [&](const DVDEVICEINFO_T &d) { return !family.isEmpty() && FirmwareFamilyOfType(d.typeText) == family; };
    if (batch) {
        for (const int index : rows) {
            const DVDEVICEINFO_T *d = devices.at(index);
            if (d && (force ? IsFlashableType(d->typeText) : matches(*d)))
                plan.visits.push_back({index, {}});
        }
        plan.total = force ? static_cast<int>(rows.size()) : static_cast<int>(plan.visits.size());
    } else {
        plan.total = 1;
        const DVDEVICEINFO_T *d = (selectedRow >= 0 && selectedRow < static_cast<int>(rows.size()))
                                      ? devices.at(rows[static_cast<size_t>(selectedRow)])
                                      : nullptr;
        if (!d) {
            plan.refusal = QStringLiteral("Can not find IP addresses!");
            return plan;
        }
        if (!force && d->typeText == "SV cycler") {
            plan.refusal = QStringLiteral("You must select the Force Flash Update option and make sure to load the correct Firmware for the Device type!");
            return plan;
        }
        if (!force && !matches(*d)) {
            plan.refusal = QStringLiteral("Selected Device can not be flashed with selected Firmware file!");
            return plan;
        }
        plan.visits.push_back({rows[static_cast<size_t>(selectedRow)], {}});
    }
    for (size_t n = 0; n < plan.visits.size(); ++n)
        plan.visits[n].progress = QStringLiteral("%1/%2").arg(n + 1).arg(plan.total);
    return plan;
}
