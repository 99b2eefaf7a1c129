#pragma once
// The window messages the uninstaller thread posts to the launcher window.
// The numbers are those of the launcher window's message table; the update
// layer keeps its own copy because it sits below the launcher object.

#include "platform/Window.h"

#include <cstdint>

namespace update {

enum : std::uint32_t {
    // lParam: one of the UninstallResult values below.
    kUninstallThreadFinishedMessage = plat::WM_USER + 1602,
    // lParam: percent, 0 to 100.
    kUninstallProgressMessage = plat::WM_USER + 1604,
};

enum UninstallResult : plat::LPARAM {
    kUninstallRemoved = 0, // the folder is gone
    kUninstallFailed = 1,  // refused, or something of the folder is left
};

} // namespace update
