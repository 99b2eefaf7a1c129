#pragma once
// Where the platform's two registry roots are in the system's registry,
// and the key paths as the system takes them. Any thread.
//
// The machine's and the user's keys are read in the 32-bit view, where the
// launcher, a 32-bit program from the start, always kept them.
// LAUNCHER_REGISTRY_HKCU and LAUNCHER_REGISTRY_HKLM (tests) move a root to
// a key of its own below HKEY_CURRENT_USER\Software\LauncherTestRoots,
// named after the variable's value, so tests never touch the real keys and
// need no administrator.

#include "platform/Registry.h"
#include "platform/win32/Handle.h"

#include <string>

namespace plat::win {

struct RegistryPlace {
    HKEY base = nullptr; // a predefined key
    std::wstring path;   // below base, "\" separated; empty for the root
    REGSAM view = 0;     // KEY_WOW64_* flag
    bool isRoot = false; // the platform root itself
};

// The place of a key of the platform's root. Paths with a "." or ".."
// name fail with 123; empty names are skipped.
bool LocateRegistryKey(RegistryRoot root, const std::wstring& path, RegistryPlace* place);

} // namespace plat::win
