#include "logic/SilentDownload.h"

#include <algorithm>
#include <tuple>

namespace logic {

SilentDownloadMode DecideSilentDownloadMode(const SilentSearch& search) {
    if (search.uninstallRun || search.restart || search.earlierLaunchers == 0)
        return sdmFull;
    if (search.earlierLaunchers == 1 && !search.otherIdle && search.silentDownload)
        return sdmRun;
    return sdmExit;
}

const wchar_t* SilentDownloadModeName(int mode) {
    switch (mode) {
    case sdmRun:
        return L"sdmRun";
    case sdmFull:
        return L"sdmFull";
    default:
        return L"sdmExit";
    }
}

std::vector<LauncherProcess> EarlierLaunchers(const LauncherProcess& self,
                                              const std::vector<LauncherProcess>& others) {
    auto order = [](const LauncherProcess& p) { return std::tie(p.startTicks, p.pid); };
    std::vector<LauncherProcess> earlier;
    for (const LauncherProcess& other : others) {
        if (other.pid != self.pid && order(other) < order(self))
            earlier.push_back(other);
    }
    std::sort(
        earlier.begin(), earlier.end(),
        [&](const LauncherProcess& a, const LauncherProcess& b) { return order(a) < order(b); });
    return earlier;
}

} // namespace logic
