#pragma once
// The desktop's folder picker: a modal dialog of the desktop in which the
// user chooses a folder (the stand-in for the shell's folder browser).
// Blocks the calling thread while it is open. Window thread.

#include <string>

namespace plat {

// Opens the picker titled `title` on `current` (or its nearest existing
// parent). True with the chosen folder; false when the user cancelled or
// the desktop has no picker (last error 1223 or 2).
bool PickFolder(const std::wstring& title, const std::wstring& current, std::wstring* chosen);

} // namespace plat
