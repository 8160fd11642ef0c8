#pragma once
// The program's "App Paths" entry: the "Path" value kept in the user's configuration
// (organisation "Velmor", application "VelmorDuvoStudio", group "AppPaths").

#include <QString>
#include <optional>

namespace duvo {

// The stored "Path" value; nullopt when the entry or the value is missing.
std::optional<QString> ReadAppPath();
void WriteAppPath(const QString &path);
void RemoveAppPath();

} // namespace duvo
