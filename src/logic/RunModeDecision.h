#pragma once
// The run-mode decision of the launcher's init: from the run command, the
// executable's name and what its folder holds to the run mode, the need for
// the network and the portable flag. Runs on the window thread during init.

#include "base/RunCommand.h"

#include <functional>
#include <string>

class CLogImplW;

namespace logic {

// Answers a question about a folder (no trailing separator).
using FolderPredicate = std::function<bool(const std::wstring& folder)>;

// What the decision looks at; filled by init on the window thread.
struct RunModeInput {
    int runCommand = rcNone;
    // rcSetLongName only: the folder its argument names (its first
    // double-quoted item).
    std::wstring workFolder;
    // Full path of the running executable.
    std::wstring executablePath;
    // "guest.dat" lies in the folder; empty means GuestFileExists.
    FolderPredicate hasGuestFile;
    // The folder is a recorded installation; empty means it never is.
    FolderPredicate isInstalled;
};

// The decision, copied into the launcher object's state.
struct RunModeResult {
    int runMode = rmUnknown;
    bool needNetwork = false;
    bool portable = false;
};

// Decides the run mode and writes "Launcher run mode: " followed by the
// decision's log text. A null log writes nothing.
RunModeResult DecideRunMode(const RunModeInput& input, CLogImplW* log);

// "guest.dat" exists in the folder: the installation is portable.
bool GuestFileExists(const std::wstring& folder);
// The folder is listed in the installation folders under
// HKEY_LOCAL_MACHINE\<regPath>.
FolderPredicate RecordedInstallation(const std::wstring& regPath);

} // namespace logic
