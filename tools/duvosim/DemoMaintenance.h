#pragma once
// What the demo lab holds to try cloning and virtual data files: an idle instrument with a
// password-protected folder and a second plain one, full of protocols.

namespace duvosim {
class SimLab;
void setUpMaintenanceDemo(SimLab &lab);
} // namespace duvosim
