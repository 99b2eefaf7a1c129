#pragma once
// How launchers started from the same executable agree on which one
// downloads silently beside a running client: the decision's values and the
// rule that turns what the start-up search found into one. Pure; window
// thread.

#include <cstdint>
#include <vector>

namespace logic {

// The values are fixed: they are compared as numbers.
enum SilentDownloadMode : int {
    sdmRun = 0,  // one other launcher runs and downloads silently: go on
    sdmFull = 1, // no other launcher (or an uninstall or a restart): full behaviour
    sdmExit = 2, // another launcher runs: end at once
};

// What the start-up search found.
struct SilentSearch {
    bool uninstallRun = false;  // run mode rmUninstaller
    bool restart = false;       // "/restart"
    int earlierLaunchers = 0;   // other launchers of the executable that started earlier
    bool otherIdle = true;      // the first of them is not downloading silently
    bool silentDownload = true; // "silentDownload/@value"
};

SilentDownloadMode DecideSilentDownloadMode(const SilentSearch& search);
// "sdmRun", "sdmFull", "sdmExit".
const wchar_t* SilentDownloadModeName(int mode);

// One launcher process of the same executable as the start-up search sees
// it: its id and when it started (clock ticks).
struct LauncherProcess {
    std::uint32_t pid = 0;
    std::uint64_t startTicks = 0;
};
// The launchers that started before `self`, earliest first. Launchers that
// started in the same tick count as earlier when their id is lower, so that
// of two launchers started together exactly one counts the other.
std::vector<LauncherProcess> EarlierLaunchers(const LauncherProcess& self,
                                              const std::vector<LauncherProcess>& others);

} // namespace logic
