#pragma once
// A walk over the block headers of a RAR 4 archive in memory, giving what the
// archive reader checks the decoder's output against: each file header's name,
// unpacked size and CRC-32. Every header's own CRC is checked and every field
// is bounds-checked. Pure functions, safe on any thread.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace config {

struct RarFileHeader {
    std::string rawName;        // FILE_NAME as stored, unicode part included
    std::uint64_t unpackedSize; // UNP_SIZE with its high part
    std::uint32_t crc;          // FILE_CRC
    bool isDirectory;
};

// The file headers in archive order. False for anything but a complete,
// unencrypted single-volume RAR 4 archive that starts with the marker block
// and ends with the end-of-archive block.
bool ReadRarFileHeaders(std::string_view archive, std::vector<RarFileHeader>* files);

} // namespace config
