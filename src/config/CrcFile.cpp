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
    plat::File file;
    if (!file.Open(path, plat::kWrite, plat::Disposition::CreateAlways)) {
        plat::SetFileAttributes(path, plat::kAttrNormal);
        plat::DeleteFile(path);
        return false;
    }
    std::string text = computed ? base::Format("%u", checksum)
                                : base::Format("%s %d", "error", static_cast<int>(error));
    return file.Write(text.data(), text.size());
}

} // namespace config
