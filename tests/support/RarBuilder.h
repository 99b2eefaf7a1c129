#pragma once
// Builds RAR 4 archives header by header for tests that need what the
// resource packer never writes: raw and encoded names, Unix hosts with their
// file modes (links), solid flags, compressed methods, sizes that lie, and
// damaged header checksums. One thread per call.

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct RarMember {
    std::string rawName; // FILE_NAME exactly as stored
    std::string data;    // the packed bytes that follow the header
    std::uint64_t unpackedSize = 0;
    std::uint64_t packedSize = ~0ull; // ~0: the size of `data`
    std::uint32_t crc = 0;
    std::uint16_t flags = 0; // beside the long-block flag (and the large flag, when needed)
    std::uint8_t host = 2;   // 2 Windows, 3 Unix
    std::uint32_t attributes = 0x20;
    std::uint8_t method = 0x30; // stored
    bool spoilHeaderCrc = false;

    // A stored member with its CRC computed.
    static RarMember Stored(const std::string& name, const std::string& bytes);
};

// The marker, an archive header (with the solid flag when asked), the members
// and, unless told otherwise, the end-of-archive block.
std::string BuildRar(const std::vector<RarMember>& members, bool solid = false,
                     bool endBlock = true);

// The flags of a member header.
inline constexpr std::uint16_t kRarSolidMember = 0x0010;
inline constexpr std::uint16_t kRarDirectory = 0x00E0;
inline constexpr std::uint16_t kRarUnicodeName = 0x0200;

} // namespace testsupport
