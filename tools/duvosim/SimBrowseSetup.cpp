#include "duvosim/SimBrowseSetup.h"
#include "duvosim/SimLab.h"

#include <algorithm>
#include <cstdio>

namespace duvosim {

void fillDrive(SimInstrument &instrument, int folders, int files)
{
    instrument.removeAllFolders();
    folders = std::clamp(folders, 0, 40);
    files = std::clamp(files, 0, 40);
    char folder[16], file[16];
    for (int f = 1; f <= folders; ++f) {
        std::snprintf(folder, sizeof folder, "F%02d", f);
        instrument.makeFolder(folder);
        for (int p = 1; p <= files; ++p) {
            std::snprintf(file, sizeof file, "PCR%02d", p);
            instrument.putProtocol(folder, file, std::string("<Protocol><Name>") + file + "</Name></Protocol>");
        }
    }
}

void setUpBrowseDemo(SimLab &lab, const std::string &protocolDocument)
{
    for (int k = 0; k < lab.count(); ++k) {
        SimInstrument &in = lab.instrument(k);
        if (in.type() != "DUVO 24" && in.type() != "DUVO 96")
            continue;
        in.makeFolder("DATA", "1234");
        in.setSecureSuffix("DATA", "XYZ");
        in.putProtocol("DATA", "PCR1", protocolDocument);
        in.putProtocol("DATA", "PCR2", protocolDocument);
        in.makeFolder("ASSAYS");
        for (const char *name : {"PCR10", "QPCR2", "MELT1", "GRAD60"})
            in.putProtocol("ASSAYS", name, protocolDocument);
    }
}

} // namespace duvosim
