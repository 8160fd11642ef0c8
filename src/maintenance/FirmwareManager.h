#pragma once
// The rules of the firmware manager, apart from its windows: the upload error texts, the
// check of a chosen image file, the rows of the device list and which instruments an update
// visits, with their "n/total" progress texts and the refusals that end it.

#include "link/DeviceRecord.h"

#include <QString>
#include <vector>

// The text of an upload result code ("Error IP Bind" for -101, ...); empty for any other code.
QString FlashErrorText(int code);

// What the check of an image file name found (the image file check of the manager).
struct FirmwareImageCheck {
    QString error;      // the box to show ("Can not find selected Firmware file!", ...), empty when none
    bool named = false; // the name had its four parts: version and family below are set
    QString version;    // part 1 + " " + part 2: "FW 2.5.0"
    QString family;     // part 3: "24", "96", or another text
    QString typeText;   // "Duvo® 96-well Thermal Cycler", ... or "Unknown"
    // An update can go ahead with this image (given the list has rows).
    bool usable() const { return error.isEmpty() && (family == QLatin1String("24") || family == QLatin1String("96")); }
};

// Checks the image at path: it exists, its extension is exactly ".s19", and its file name
// split at "_" (blanks separate parts too, double quotes group) has at least four parts.
FirmwareImageCheck CheckFirmwareImage(const QString &path);

// The picture and the family of a record type: "SV cycler" -> DuvoQ24 (no family),
// "DUVO 24" -> Duvo2424 / "24", "DUVO 96" -> Duvo9624 / "96"; other types have no row.
bool IsFlashableType(const std::string &type);
QString FirmwareFamilyOfType(const std::string &type);
QString FirmwarePictureOfType(const std::string &type);

// The rows of the manager's list: one per record of a known type, each keeping the index of
// its record in the device list (a record of an unknown type shifts no row onto another).
std::vector<int> FirmwareRows(const DeviceList &devices);
// A row's text: the picture, the address in bold and the Duvo ID below.
QString FirmwareRowText(const DVDEVICEINFO_T &device);

struct FirmwareVisit {
    int recordIndex = -1;
    QString progress;   // "n/total"
};

struct FirmwarePlan {
    QString refusal;    // a single update that cannot go ahead: shown, then the handler ends (no refresh)
    std::vector<FirmwareVisit> visits;
    int total = 0;
};

// Which records an update visits, in order. rows are the list's record indexes, selectedRow
// the selected row (-1 for none). Batch visits every row whose record matches the family
// (with force: every row); a single update visits the selected row's record.
FirmwarePlan PlanFirmwareUpdate(const DeviceList &devices, const std::vector<int> &rows, int selectedRow,
                                bool batch, bool force, const QString &family);
