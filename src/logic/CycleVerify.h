#pragma once
// The verdict on a package file in "tmp": what its bytes so far (their count
// and running CRC-32, kept by the unpacker's part cache) say against the
// size and CRC-32 the manifest gives. The update cycle asks it when it
// resumes what an earlier run left and when a download has ended; the
// entries inside a package are checked again by the readers as they unpack.

#include "update/DownloadTask.h"

#include <cstdint>

namespace logic {

enum class PackageVerdict {
    Incomplete, // fewer bytes than the package has: the download goes on
    Complete,   // the whole package with its CRC-32
    Damaged,    // too long, or the right length with another CRC-32
};

PackageVerdict VerifyPackage(const update::DownloadTask& task, std::uint32_t presentBytes,
                             std::uint32_t crc);

} // namespace logic
