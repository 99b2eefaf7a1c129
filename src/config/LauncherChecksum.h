#pragma once
// The launcher checksum: a CRC-32 of the executable that skips the six stub
// fields, so every personalised copy of one build has the same value. Used by
// "/crc", by the file checker and by the self-update. Safe on any thread: it
// reads only the image, the executable file and the stub field sizes.

#include "platform/Error.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace config {

// How runs between coinciding boundaries are counted. The two give different
// values only when two boundaries fall on the same offset.
enum ChecksumWalk : int {
    kWalkSkipRepeatedBoundary = 0, // a boundary equal to the previous one is ignored
    kWalkCountEmptyRun = 1,        // it ends a run of length zero
};

// Attempts to open the executable file, and the pause between them.
struct ChecksumFileRetry {
    int attempts = 11;
    int pauseMs = 250;
};

// The checksum of an image in memory. Each stub field whose marker occurs in
// the image is skipped from the first byte of that first occurrence to the
// field's second-to-last byte (its last byte, always zero, counts); field
// sizes are those of the running executable. The CRC register starts at 0,
// runs are chained and the final register is inverted; an image without
// counted bytes gives 0xFFFFFFFF. Never fails.
std::uint32_t LauncherChecksumOfImage(std::string_view image, int walk);

// The checksum of a file read whole, opened again after a pause while the
// open fails. True with the value in *checksum. False when the file could not
// be read: *error (when given) and the thread's last error then hold the
// system error code of the last attempt, which is never 0.
bool LauncherChecksumOfFile(const std::wstring& path, int walk, std::uint32_t* checksum,
                            plat::ErrorCode* error = nullptr, ChecksumFileRetry retry = {});

// The launcher's form: the checksum of `image` (length bytes) or, when image is
// null, of the running executable's file (11 attempts, 250 ms apart). A value
// and an error code are told apart by the result: true with *checksum, false
// with the code in *error.
bool LauncherChecksum(const void* image, std::size_t length, int walk, std::uint32_t* checksum,
                      plat::ErrorCode* error = nullptr);

} // namespace config
