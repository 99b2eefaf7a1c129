#include "config/LauncherChecksum.h"

#include "base/Crc32.h"
#include "config/StubFields.h"
#include "platform/File.h"
#include "platform/Process.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace config {

namespace {

// The image length, then the first and last-but-one byte offsets of every
// stub field found, ascending and clamped to the image.
std::vector<std::size_t> Boundaries(std::string_view image) {
    std::vector<std::size_t> boundaries{image.size()};
    for (const StubField& field : StubFieldTable()) {
        std::size_t size = StubResourceSize(field.typeName, field.id);
        if (size == 0)
            continue;
        std::size_t at = image.find(StubMarker(field));
        if (at == std::string_view::npos)
            continue;
        boundaries.push_back(at);
        boundaries.push_back(at + size - 1);
    }
    for (std::size_t& boundary : boundaries)
        boundary = std::min(boundary, image.size());
    std::sort(boundaries.begin(), boundaries.end());
    return boundaries;
}

} // namespace

std::uint32_t LauncherChecksumOfImage(std::string_view image, int walk) {
    std::vector<std::size_t> boundaries = Boundaries(image);
    std::uint32_t reg = 0;
    std::size_t position = 0;
    bool counted = true;
    for (std::size_t i = 0; i < boundaries.size(); ++i) {
        if (walk == kWalkSkipRepeatedBoundary && i > 0 && boundaries[i] == boundaries[i - 1])
            continue;
        if (counted)
            reg = base::Crc32Register(reg, image.data() + position, boundaries[i] - position);
        position = boundaries[i];
        counted = !counted;
    }
    return reg ^ 0xFFFFFFFFu;
}

bool LauncherChecksumOfFile(const std::wstring& path, int walk, std::uint32_t* checksum,
                            plat::ErrorCode* error, ChecksumFileRetry retry) {
    std::string image;
    plat::ErrorCode last = plat::kErrSuccess;
    for (int attempt = 0; attempt < std::max(retry.attempts, 1); ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(retry.pauseMs));
        if (plat::ReadWholeFile(path, &image)) {
            *checksum = LauncherChecksumOfImage(image, walk);
            return true;
        }
        last = plat::GetLastError();
        if (last == plat::kErrSuccess)
            last = plat::kErrInvalidFunction;
    }
    if (error)
        *error = last;
    plat::SetLastError(last);
    return false;
}

bool LauncherChecksum(const void* image, std::size_t length, int walk, std::uint32_t* checksum,
                      plat::ErrorCode* error) {
    if (image) {
        *checksum = LauncherChecksumOfImage(
            std::string_view(static_cast<const char*>(image), length), walk);
        return true;
    }
    return LauncherChecksumOfFile(plat::GetExecutablePath(), walk, checksum, error);
}

} // namespace config
