#include "update/LauncherCheck.h"

#include "config/LauncherChecksum.h"
#include "platform/File.h"
#include "platform/Process.h"

namespace update {

LauncherProbe RunningLauncherProbe() {
    const plat::FileVersion version = plat::GetOwnFileVersion();
    LauncherProbe probe;
    probe.path = plat::GetExecutablePath();
    probe.version = std::to_wstring(version.major) + L"." + std::to_wstring(version.minor) + L"." +
                    std::to_wstring(version.build) + L"." + std::to_wstring(version.revision);
    return probe;
}

bool IsNewLauncherAvailable(const CManifestDocument& manifest, const LauncherProbe& probe) {
    LauncherInfo info;
    if (!manifest.ReadLauncherInfo(&info))
        return false;
    if (probe.version != info.version)
        return true;

    plat::File file;
    if (!file.Open(probe.path, plat::kRead, plat::Disposition::OpenExisting))
        return false;
    std::uint64_t size = 0;
    if (!file.Size(&size) || size != info.size)
        return true;
    file.Close();
    if (!info.hasCrc)
        return false;

    std::uint32_t checksum = 0;
    plat::ErrorCode error = plat::kErrSuccess;
    if (!config::LauncherChecksumOfFile(probe.path, config::kWalkSkipRepeatedBoundary, &checksum,
                                        &error))
        return true;
    return checksum != info.crc;
}

} // namespace update
