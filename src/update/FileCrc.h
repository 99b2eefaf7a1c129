#pragma once
// Size and CRC-32 of a file, read in fixed blocks with the continuing CRC so
// that memory stays flat whatever the file size. One reader belongs to one
// thread (the checker's) and reuses its block buffer from file to file.

#include "platform/Error.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace update {

// What a file holds compared with a manifest entry.
enum class FileMatch {
    Same,       // size and CRC equal the expected ones
    Different,  // size or CRC differ
    Unreadable, // could not be opened; see the error
};

class CFileCrcReader {
public:
    static constexpr std::size_t kDefaultBlockSize = std::size_t{1} << 20;

    explicit CFileCrcReader(std::size_t blockSize = kDefaultBlockSize);

    // The whole file's CRC and size. False when it cannot be opened or read;
    // *error then holds the system error (never 0).
    bool Compute(const std::wstring& path, std::uint32_t* crc, std::uint64_t* size,
                 plat::ErrorCode* error);

    // Compares the file with an expected size and CRC. A size that differs
    // decides without reading the contents; a read that fails after the
    // open counts as different; a link at the path is not opened.
    FileMatch Compare(const std::wstring& path, std::uint32_t crc, std::uint32_t size,
                      plat::ErrorCode* error);

private:
    std::vector<unsigned char> block_;
};

} // namespace update
