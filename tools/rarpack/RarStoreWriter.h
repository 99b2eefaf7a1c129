#pragma once
// Builds a RAR 4 archive in memory whose members are stored uncompressed:
// the marker block, the archive header, one file header (with its data) per
// member and the end-of-archive block. Used by the resource packer and by the
// test fixtures; one thread per writer.

#include <cstdint>
#include <string>
#include <string_view>

namespace rarpack {

class CRarStoreWriter {
public:
    // 2000-01-01 00:00 as a DOS date and time: a fixed stamp keeps archives
    // of the same files identical from build to build.
    static constexpr std::uint32_t kDefaultDosTime = 0x28210000u;

    CRarStoreWriter();

    // Adds a member. The name is "\" separated ("/" is turned into "\"); a
    // name outside ASCII is stored as UTF-8 with the unicode flag. False (and
    // nothing added) for an empty name or one longer than a header can hold.
    bool AddFile(const std::string& name, std::string_view data,
                 std::uint32_t dosTime = kDefaultDosTime);
    // Adds a folder entry (no data).
    bool AddDirectory(const std::string& name, std::uint32_t dosTime = kDefaultDosTime);

    // The archive: everything added so far followed by the end block.
    std::string Finish() const;

private:
    bool AddEntry(const std::string& name, std::string_view data, bool directory,
                  std::uint32_t dosTime);

    std::string bytes_; // marker, archive header and the entries so far
};

} // namespace rarpack
