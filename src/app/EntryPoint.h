#pragma once
// The launcher's entry point: parses the command line, picks the role, opens
// the launcher log, and drives the launcher object through preinit, init, run
// and uninit with the "Installer Error" failure handling. Main thread only.

#include "app/CommandLineParser.h"
#include "app/LauncherRoles.h"

#include <string>

namespace app {

// The single-instance mutex held by uninstall runs.
inline constexpr const char* kUninstallMutexName = "Global\\{420B48D2-AC21-4ec6-8295-BB0C8D8BD72C}";

// What the entry point takes from its surroundings; tests replace parts.
struct EntryEnvironment {
    std::wstring executablePath; // the log's folder and file name derive from it
    std::string mutexName = kUninstallMutexName;
    SwitchMatching matching = NativeSwitchMatching();
};

// Runs one launcher process for `commandLine` (without the program name) and
// returns its exit code: 1 when the launcher object cannot be created, else 0.
int RunLauncher(const std::wstring& commandLine, const LauncherRoles& roles,
                const EntryEnvironment& environment);

// RunLauncher with the built-in roles and the running executable.
int LauncherMain(const std::wstring& commandLine);

} // namespace app
