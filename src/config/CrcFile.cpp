#include "config/CrcFile.h"

#include "base/Strings.h"
#include "config/LauncherChecksum.h"
#include "platform/File.h"
#include "platform/FileSystem.h"

namespace config {

bool WriteCrcFile() {
    std::uint32_t checksum = 0;
    plat::ErrorCode error = plat::kErrSuccess;
    bool computed = LauncherChecksum(nullptr, 0, kWalkSkipRepeatedBoundary, &checksum, &error);

    const std::wstring path = L"crc.txt";
    std::string text = computed ? base::Format("%u", checksum)
                                : base::Format("%s %d", "error", static_cast<int>(error));
    // Written beside and renamed over: never through a link at its place.
    return plat::WriteWholeFile(path, text.data(), text.size());
}

} // namespace config
