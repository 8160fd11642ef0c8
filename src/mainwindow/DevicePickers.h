#pragma once
// The rules of the device pickers (TDestinationForm picks one device, TMultiSelForm several):
// which records they offer, the item text of a device, and which choices they refuse.
//
// An item keeps the index of its record beside its text: two records may share an address
// (discovery keeps a second record of an address that is already in use), and the item must
// still stand for the record it was made from.

#include "link/DeviceRecord.h"

#include <QString>
#include <vector>

namespace duvo {

// The picture of a known device type ("SV cycler" DuvoQ24, "DUVO 24" Duvo2424, "DUVO 96"
// Duvo9624); empty for any other type text (compared exactly).
QString PickerPicture(const std::string &typeText);
// The item markup of a device; empty for a type the pickers do not offer.
QString PickerItemText(const DVDEVICEINFO_T &device);

struct PickerItem {
    int recordIndex = -1;  // the record's index in the device list
    QString text;          // its item markup
};
// The items offered, in list order: every record of a known type except the one at
// excludedIndex (-1 excludes none).
std::vector<PickerItem> PickerItems(const DeviceList &devices, int excludedIndex = -1);

// Why the single picker refuses a device: it reports an error (whatever acceptAnyType says),
// or it runs the old firmware and acceptAnyType is false.
enum class PickRefusal { None, DeviceError, OldFirmware };
PickRefusal PickRefusalOf(const DVDEVICEINFO_T &device, bool acceptAnyType);
// The single picker's OK button for the current device.
bool PickerOkEnabled(const DVDEVICEINFO_T &device, bool acceptAnyType);
// Shows the refusal on the workstation's task dialog (nothing for None).
void ShowPickRefusal(PickRefusal refusal);

// Whether the several-device picker keeps a check mark on a device: an idle device that does
// not run the old firmware.
bool MultiPickAllowed(const DVDEVICEINFO_T &device);

} // namespace duvo
