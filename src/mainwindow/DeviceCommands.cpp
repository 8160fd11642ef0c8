#include "mainwindow/DeviceCommands.h"

#include "link/CommandDocs.h"
#include "link/NetCommand.h"

#include <QCoreApplication>

QString SyncTimeText(const QDateTime &when)
{
    const QDate d = when.date();
    const QTime t = when.time();
    return QString::asprintf("%02d%02d%02d%02d%04d", d.month(), d.day(), t.hour(), t.minute(), d.year());
}

PowerCommandTexts PowerOffTexts()
{
    return {QStringLiteral("Off"), QStringLiteral("Power off")};
}

PowerCommandTexts RebootTexts()
{
    return {QStringLiteral("On"), QStringLiteral("Power Reboot")};
}

void ResetDeviceSelection(DeviceList &devices)
{
    for (const auto &d : devices) {
        d->pickRow = -1;
        d->selected = 0;
    }
}

namespace {

// Walks the selected records that are not old-firmware devices, processing pending events
// before each; stops when the list is rebuilt meanwhile. visit returns false to skip a device.
template <typename Visit>
void forSelectedDevices(DeviceList &devices, Visit visit)
{
    const uint64_t generation = devices.generation();
    for (int i = 0; i < devices.Count(); ++i) {
        QCoreApplication::processEvents();
        if (devices.generation() != generation)
            return;
        DVDEVICEINFO_T *d = devices.at(i);
        if (!d || d->selected != 1 || d->typeText == "SV cycler")
            continue;
        if (!visit(*d))
            return;
        if (devices.generation() != generation)
            return;
    }
}

} // namespace

int PowerSelectedDevices(DeviceList &devices, TcpClient &client, const PowerCommandTexts &texts)
{
    int done = 0;
    const uint64_t generation = devices.generation();
    forSelectedDevices(devices, [&](DVDEVICEINFO_T &d) {
        if (!d.isIdle())
            return true;
        const std::string ip = d.ipAddress;
        const NetReply r = SendInstrumentCommand(client, ip, Power_doc(texts.mode.toStdString()),
                                                 NetCommandCall(texts.label).textOnly());
        if (r.aborted || devices.generation() != generation)
            return false;
        if (!r.ok) {
            d.message = (r.netFailed ? r.error : r.errorTitle).toStdString();
            return true;
        }
        std::string value;
        bool ok = false;
        Power_Ret_Doc(r.text, value, ok);
        ++done;
        return true;
    });
    return done;
}

bool SyncSelectedDevicesTime(DeviceList &devices, TcpClient &client, const QString &timeText)
{
    bool failed = false;
    const uint64_t generation = devices.generation();
    forSelectedDevices(devices, [&](DVDEVICEINFO_T &d) {
        const std::string ip = d.ipAddress;
        const NetReply r = SendInstrumentCommand(client, ip, SetTime_doc(timeText.toStdString()),
                                                 NetCommandCall("SetTime").textOnly());
        if (r.aborted || devices.generation() != generation) {
            failed = true;
            return false;
        }
        if (!r.ok) {
            d.message = (r.netFailed ? r.error : r.errorTitle).toStdString();
            failed = true;
        }
        return true;
    });
    return !failed;
}

bool SetDeviceParameter(TcpClient &client, const QString &ip, const QString &parameter, const QString &value)
{
    const NetReply r = SendInstrumentCommand(client, ip.toStdString(),
                                             SetParameter_doc(parameter.toStdString(), value.toStdString()),
                                             NetCommandCall("SetParameter_doc").titled(QStringLiteral("SetParameter")));
    return r.ok;
}
