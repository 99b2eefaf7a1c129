#pragma once
// The ZIP reader of the update engine: packed manifests and ZIP packages are
// read from memory with it. Opened and used by one thread at a time.
//
// Only what the publishing side produces is read: a single-disk archive
// without an archive comment, entries stored or deflated, no encryption, no
// ZIP64. Everything else is refused with a result code; nothing the archive
// claims is trusted before it has been checked against the data.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace update {

// Result codes of CZipFile, numbered as the launcher logs them.
using ZipResult = std::uint32_t;
inline constexpr ZipResult kZipOk = 0;
inline constexpr ZipResult kZipNoEndRecord = 0x800400C9u; // no end record in the last 22 bytes
inline constexpr ZipResult kZipCorrupt = 0x800400CAu;     // a record, size, offset or CRC is wrong
inline constexpr ZipResult kZipUnsupported = 0x800400CCu; // method, encryption or ZIP64
inline constexpr ZipResult kZipNotOpen = 0x800400CDu;     // no archive is open
inline constexpr ZipResult kZipSinkFailed = 0x80004005u;  // the sink refused the data (E_FAIL)
inline constexpr ZipResult kZipInvalidArg = 0x80070057u;  // E_INVALIDARG
inline constexpr ZipResult kZipNullPointer = 0x80004003u; // E_POINTER

// One entry of the central directory as the archive describes it.
struct ZipEntry {
    // UTF-8 (a name without the UTF-8 flag is read as code page 437), every
    // "/" turned into "\"
    std::string name;
    std::uint16_t flags = 0;
    std::uint16_t method = 0; // 0 stored, 8 deflated
    std::uint32_t crc32 = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t uncompressedSize = 0;
    std::uint32_t localHeaderOffset = 0;
};

class CZipFile {
public:
    // Longest name that can be looked up with Find.
    static constexpr std::size_t kMaxLookupName = 259;

    // Receives the uncompressed bytes of an entry piece by piece; false stops
    // the extraction. The bytes are verified only when the whole entry has
    // gone through: on a failed result the caller discards what it received.
    using Sink = std::function<bool(const void* data, std::size_t size)>;

    CZipFile() = default;
    CZipFile(const CZipFile&) = delete;
    CZipFile& operator=(const CZipFile&) = delete;

    // Reads the central directory of the archive in `data`. The bytes are not
    // copied: they must stay valid and unchanged until Close or the next
    // Open. On failure nothing stays open.
    ZipResult Open(const void* data, std::size_t size);
    void Close();
    bool IsOpen() const { return data_ != nullptr; }

    std::size_t Count() const { return entries_.size(); }
    // Null for an index outside the entries.
    const ZipEntry* Entry(std::size_t index) const;
    // Index of the entry with exactly this name ("\" separated); when several
    // entries share a name the last one is found. False when there is none.
    bool Find(const std::string& name, std::size_t* index) const;

    // Unpacks an entry into `output`, which must hold at least the entry's
    // uncompressed size; exactly that many bytes are written. The size and
    // the CRC-32 of the result are verified.
    ZipResult Extract(std::size_t index, void* output, std::size_t outputSize) const;
    // Unpacks an entry into a string sized by the entry.
    ZipResult Extract(std::size_t index, std::string* output) const;
    // Unpacks an entry through the sink, at most a block at a time.
    ZipResult Extract(std::size_t index, const Sink& sink) const;

private:
    ZipResult ReadDirectory();
    // Checks the entry and its local header; gives where its data begin.
    ZipResult Locate(std::size_t index, const ZipEntry** entry, std::size_t* dataOffset) const;

    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::vector<ZipEntry> entries_;
    std::map<std::string, std::size_t> index_;
};

} // namespace update
