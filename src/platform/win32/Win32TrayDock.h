#pragma once
// The message the notification icon of the Windows tray dock calls back
// with (the mouse message in lParam's low word); the dock's hidden window
// receives it. Shared with the tests that play the shell's part.

#include "platform/win32/WinApi.h"

namespace plat::win {

constexpr UINT kTrayCallbackMessage = WM_APP + 0x0155;

} // namespace plat::win
