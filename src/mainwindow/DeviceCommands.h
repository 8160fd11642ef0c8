#pragma once
// The main window's commands to several instruments at once (power off, reboot, clock
// synchronisation) and to one (a device parameter), apart from the windows that pick the
// instruments. Each command goes out over the main window's client with the one retry; a
// device's failure goes into its message cell. The loops process pending events before each
// device and stop at once when the device list is rebuilt meanwhile (its generation changes).

#include "link/DeviceRecord.h"
#include "link/NetExchange.h"

#include <QDateTime>
#include <QString>

// "MMDDhhmmYYYY": month, day, hour and minute with two digits each, then the year.
QString SyncTimeText(const QDateTime &when);

struct PowerCommandTexts {
    QString mode;         // "Off" or "On"
    QString label;        // "Power off" or "Power Reboot"
};
PowerCommandTexts PowerOffTexts();
PowerCommandTexts RebootTexts();

// Sends Power to every selected, idle instrument that is not an "SV cycler". Returns how many
// took it; a failure goes into the device's message ("Error during Power off net command",
// "Error Power off XML parsing").
int PowerSelectedDevices(DeviceList &devices, TcpClient &client, const PowerCommandTexts &texts);

// Sends SetTime with the one time text to every selected instrument that is not an
// "SV cycler". True when none failed.
bool SyncSelectedDevicesTime(DeviceList &devices, TcpClient &client, const QString &timeText);

// Forgets every picker row and selection (pickRow -1, selected 0).
void ResetDeviceSelection(DeviceList &devices);

// Sets one instrument parameter; a failure is shown ("Error during SetParameter_doc net
// command", or the reply's text under "Error SetParameter XML parsing") and gives false.
bool SetDeviceParameter(TcpClient &client, const QString &ip, const QString &parameter, const QString &value);
