#pragma once
// The program folder: the folder of the running executable, with a trailing '/'. Logs, plot
// files and temporary exports go there. Tests point it at a temporary folder.

#include <QString>

namespace duvo {

// The program folder with its trailing '/'. Order: the override set by
// setProgramFolderOverride, the environment variable DUVO_PROGRAM_FOLDER, the executable's folder.
QString ProgramFolder();
void setProgramFolderOverride(const QString &folder);  // empty clears it

// Adds a trailing '/' when the folder text has none (an empty text stays empty).
QString withTrailingSeparator(const QString &folder);

} // namespace duvo
