#pragma once
// Reads a RAR 4 package from memory one entry at a time, so that a package
// of any size is unpacked with no more memory than its largest entry. The
// block headers are checked first with the resource archive's header walk
// (config/RarHeaders.h); the decoder is libarchive. Every entry's data is
// verified against the size and CRC-32 of its header, stored entries
// included. Used by one thread at a time.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace update {

class CRarPackageReader {
public:
    struct Entry {
        std::string name; // "\" separated
        bool isDirectory = false;
        bool isLink = false;    // a symbolic or hard link: never written
        std::uint64_t size = 0; // unpacked bytes
    };
    // Told the offset before which the decoder needs no more input.
    using ConsumedFn = std::function<void(std::size_t offset)>;

    CRarPackageReader();
    ~CRarPackageReader();
    CRarPackageReader(const CRarPackageReader&) = delete;
    CRarPackageReader& operator=(const CRarPackageReader&) = delete;

    // The bytes are not copied: they must stay valid until Close. False for
    // anything but a complete, unencrypted, single-volume RAR 4 archive.
    bool Open(const void* data, std::size_t size, ConsumedFn consumed = {});
    void Close();
    // Number of entries (folders included).
    std::size_t Count() const;

    // The next entry's header; false on a decoder error or past the last
    // entry (*end is then set).
    bool Next(Entry* entry, bool* end);
    // The current entry's data into `output` of exactly entry.size bytes,
    // checked against the header's size and CRC-32.
    bool ReadData(void* output, std::size_t size);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace update
