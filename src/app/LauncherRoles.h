#pragma once
// What the entry point drives: the launcher object through its phases, the
// checksum writer and the elevated assistant. Later layers supply the real
// objects; the entry point only knows these interfaces. Everything here runs
// on the main thread.

#include "logic/ILauncherLogic.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace app {

// Window handle number as the message layer passes it between processes.
using WindowHandle = std::uint64_t;

struct LauncherRoles {
    std::function<std::unique_ptr<ILauncherLogic>()> createLogic;
    // Writes "crc.txt"; the entry point ignores the result.
    std::function<bool()> writeCrcFile;
    // Constructs the assistant, runs its main loop for the launcher window
    // and destroys it.
    std::function<void(WindowHandle launcherWindow)> runAssistant;
    // Tells the launcher window that the assistant lacks administrator rights.
    std::function<void(WindowHandle launcherWindow)> notifyNotAdmin;
    std::function<bool()> isAdministrator;
};

// The roles this build provides.
LauncherRoles BuiltInRoles();

} // namespace app
