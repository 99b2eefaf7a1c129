#pragma once
// The developer switch that shows the version in the caption, allows several
// launchers side by side and is handed to the client update data. Read once
// on the window thread during init.

#include <string>

namespace logic {

// The key that holds the switch: regPath cut at its last "\" when that lies
// at position 1 or later, else regPath itself.
std::wstring DebugModeKeyPath(const std::wstring& regPath);

// True when the DWORD value "ZelmarDebugMode" of that key under
// HKEY_CURRENT_USER exists and is not 0.
bool ReadDebugMode(const std::wstring& regPath);

} // namespace logic
