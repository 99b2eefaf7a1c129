#pragma once
// Whether the launcher the fresh manifest describes differs from the running
// one: version text first, then the executable's size, then the launcher
// checksum (walk mode 0) when the manifest gives one. Runs on the checker
// thread; reads only the executable file.

#include "update/Manifest.h"

#include <string>

namespace update {

// The running launcher as the check sees it.
struct LauncherProbe {
    std::wstring path;    // the executable file
    std::wstring version; // its file version, "major.minor.build.revision"
};

// The running process's executable and the version the build gave it.
LauncherProbe RunningLauncherProbe();

// True when a new launcher is available. Without launcher information in the
// manifest, or when the executable cannot be opened, there is none.
bool IsNewLauncherAvailable(const CManifestDocument& manifest, const LauncherProbe& probe);

} // namespace update
