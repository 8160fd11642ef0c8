#pragma once
// The one rule for folder and protocol names that come from outside (an instrument's listing
// or reply, a virtual data file's row) before they go into a command: after the secure mark
// "!" is cut off, a folder name holds 1 to 12 characters and a protocol name 1 to 8, and
// neither holds "/", "\", ".." or a control character. A name such as "SYSTEM/../SYSTEM"
// would otherwise pass the reserved-folder rule and reach another folder.

#include <string>

namespace duvo {

constexpr int MaxFolderNameLength = 12;
constexpr int MaxFileNameLength = 8;

// The name up to its first "!" (a secure folder is listed as "NAME!").
std::string CutSecureMark(const std::string &name);
// True when the name (already cut) is a plain instrument name of 1 to maxLength characters.
bool IsPlainInstrumentName(const std::string &name, int maxLength);
inline bool IsPlainFolderName(const std::string &name) { return IsPlainInstrumentName(name, MaxFolderNameLength); }
inline bool IsPlainFileName(const std::string &name) { return IsPlainInstrumentName(name, MaxFileNameLength); }

} // namespace duvo
