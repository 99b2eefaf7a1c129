#pragma once
// A RAR 4 archive read from memory. The header walk (RarHeaders.h) decides
// what the archive holds and checks what the decoder does not; the decoder
// (RarDecoder.h: libunarr, or libarchive's RAR reader) unpacks the data:
// stored, compressed and solid members, filters and PPMd included. Stored
// members of an archive that is not solid are read straight from the bytes,
// without the decoder. Every member's data is checked against its header's
// size and CRC-32 before the caller may trust it. One thread at a time;
// ExtractStored alone may run on several threads at once.

#include "config/RarHeaders.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace config {

class CRarArchive {
public:
    // Receives a member's bytes block by block; false stops the unpacking.
    // The bytes are verified only once the whole member has gone through: on
    // a failed result the caller discards what it received.
    using Sink = std::function<bool(const void* data, std::size_t size)>;

    CRarArchive();
    ~CRarArchive();
    CRarArchive(const CRarArchive&) = delete;
    CRarArchive& operator=(const CRarArchive&) = delete;

    // The bytes are not copied: they must stay valid until Close. False for
    // anything the header walk refuses or the decoder cannot open.
    bool Open(const void* data, std::size_t size);
    void Close();

    const std::vector<RarFileHeader>& Members() const { return headers_.files; }
    bool IsSolid() const { return headers_.solid; }

    // Unpacks a member that is not a folder through the sink. False on a
    // decoder error, data that do not match the header's size and CRC-32,
    // or a sink that refused. Members of a solid archive are cheapest in
    // archive order (the decoder otherwise goes through the ones before).
    bool Extract(std::size_t index, const Sink& sink);
    // A stored member of an archive that is not solid needs no decoder.
    bool IsDirect(std::size_t index) const;
    // Unpacks such a member straight from the bytes; safe on several threads.
    bool ExtractStored(std::size_t index, const Sink& sink) const;

private:
    struct Decoder;
    bool Decode(std::size_t index, const Sink& sink);

    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    RarArchiveHeaders headers_;
    std::unique_ptr<Decoder> decoder_;
};

} // namespace config
