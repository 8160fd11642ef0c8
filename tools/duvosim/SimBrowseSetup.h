#pragma once
// Quick set-ups of instrument drives for browsing: a full drive of generated folders and
// protocols, and the demo lab's secure folder and extra protocols.

#include "duvosim/SimInstrument.h"

namespace duvosim {

class SimLab;

// Replaces the drive by `folders` folders "F01".. each with `files` protocols "PCR01".. (the
// document is a short protocol text naming the file). At most 40 of each, as an instrument holds.
void fillDrive(SimInstrument &instrument, int folders, int files);

// The demo lab's browsing set-up: every DUVO instrument gets the secure folder DATA
// (password "1234", listed as "DATA!XYZ") with PCR1 and PCR2 and the folder ASSAYS with a
// few protocols, so browsing, search and folder security have something to show.
void setUpBrowseDemo(SimLab &lab, const std::string &protocolDocument);

} // namespace duvosim
