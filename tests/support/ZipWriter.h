#pragma once
// Builds ZIP archives in memory for test fixtures: local headers, entry data
// (stored or raw deflate), the central directory and the end record, with
// CRC-32 and sizes computed by zlib. The offsets of each entry's records are
// reported so that a test can damage an archive on purpose. One thread per
// writer.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

class ZipWriter {
public:
    enum Method : std::uint16_t { kStored = 0, kDeflated = 8 };

    // Where an entry's records sit in the finished archive.
    struct Offsets {
        std::size_t localHeader = 0;
        std::size_t data = 0;
        std::size_t centralHeader = 0;
    };

    // Adds an entry; "/" and "\" are written as given. Returns its index.
    std::size_t Add(const std::string& name, std::string_view data, Method method = kDeflated,
                    std::uint16_t flags = 0);
    // Adds an archive comment after the end record (an archive comment is
    // legal ZIP but not read by the launcher).
    void SetComment(const std::string& comment) { comment_ = comment; }

    // The archive. Offsets() describes the last one built.
    std::string Finish();
    const Offsets& EntryOffsets(std::size_t index) const { return offsets_.at(index); }
    // Position of the end record in the last archive built.
    std::size_t EndRecordOffset() const { return endRecord_; }

private:
    struct Entry {
        std::string name;
        std::string packed;
        std::uint32_t crc = 0;
        std::uint32_t size = 0;
        std::uint16_t method = 0;
        std::uint16_t flags = 0;
    };

    std::vector<Entry> entries_;
    std::vector<Offsets> offsets_;
    std::string comment_;
    std::size_t endRecord_ = 0;
};

// Raw deflate (no zlib header) of the data at the best compression.
std::string DeflateRaw(std::string_view data);

// Little-endian patching helpers for damaging archives in tests.
void Put16(std::string* bytes, std::size_t offset, std::uint16_t value);
void Put32(std::string* bytes, std::size_t offset, std::uint32_t value);

} // namespace testsupport
