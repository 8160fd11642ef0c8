#pragma once
// What the demo lab holds for trying the copy manager and the load-from-disk manager: a
// secure folder and a few more protocols on some instruments, so that copies meet
// same-named files, a password and folders missing on the other side.

#include <string>

namespace duvosim {

class SimLab;

// protocol: a protocol document the folders are filled with (its name is replaced per file).
void setUpCopyDemo(SimLab &lab, const std::string &protocol);

} // namespace duvosim
