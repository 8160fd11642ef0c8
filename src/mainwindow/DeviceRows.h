#pragma once
// The texts of the device list's rows, made from the device records.

#include "link/DeviceRecord.h"

#include <QString>
#include <array>

// The 13 cells of a device's row: picture index, address, ID, type, alias, location, status,
// state, total time, time left, protocol, instrument clock, message.
using DeviceRowTexts = std::array<QString, 13>;
DeviceRowTexts DeviceRowCells(const DVDEVICEINFO_T &device);

// The picture index for a type text ("144", "145", "146"), empty for another type.
QString DevicePictureIndex(const std::string &typeText);
// The run state with " [on hold]" or " [press Stop]" when InfiniteHold is exactly "true".
QString RunStateWithHold(const std::string &runState, const std::string &infiniteHold);
// The level of the State value: "0" Error, "1" Warning, "2"/"3" Ok, anything else unchanged.
QString StateLevel(const std::string &state);
// The instrument clock MMDDhhmmYYYY as the locale's short date, two blanks, hh:mm; "-" when
// the text is not a valid date and time.
QString ClockCell(const std::string &clockText);
// A decimal text from an instrument read as seconds; 0 when it holds no finite number.
double ToSeconds(const std::string &text);

// A completed run held at its end whose armed alert is still to be sent.
bool CompletedAlertDue(const DVDEVICEINFO_T &device);
// The alert rule after a status poll: armed, not sent, and a session running.
bool AlertDue(const DVDEVICEINFO_T &device);
