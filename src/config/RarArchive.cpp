#include "config/RarArchive.h"

#include "base/Crc32.h"

#include <unarr.h>

#include <algorithm>
#include <string_view>
#include <vector>

namespace config {

namespace {

// Bytes handed to the sink per call: decoded ones through a buffer of this
// size, stored ones straight from the archive in larger pieces.
constexpr std::size_t kBlock = 256 * 1024;
constexpr std::size_t kStoredBlock = 1 << 20;

} // namespace

// The decoder's handles over the archive's bytes.
struct CRarArchive::Decoder {
    ar_stream* stream = nullptr;
    ar_archive* archive = nullptr;
    std::vector<std::uint8_t> block;

    ~Decoder() {
        if (archive)
            ar_close_archive(archive);
        if (stream)
            ar_close(stream);
    }
};

CRarArchive::CRarArchive() = default;

CRarArchive::~CRarArchive() = default;

bool CRarArchive::Open(const void* data, std::size_t size) {
    Close();
    if (!data || size == 0)
        return false;
    auto bytes = static_cast<const std::uint8_t*>(data);
    if (!ReadRarArchiveHeaders(std::string_view(reinterpret_cast<const char*>(bytes), size),
                               &headers_)) {
        Close();
        return false;
    }
    data_ = bytes;
    size_ = size;
    return true;
}

void CRarArchive::Close() {
    decoder_.reset();
    headers_ = RarArchiveHeaders();
    data_ = nullptr;
    size_ = 0;
}

bool CRarArchive::IsDirect(std::size_t index) const {
    if (index >= headers_.files.size())
        return false;
    const RarFileHeader& member = headers_.files[index];
    return !headers_.solid && !member.solid && member.IsStored();
}

bool CRarArchive::ExtractStored(std::size_t index, const Sink& sink) const {
    if (!IsDirect(index) || !sink)
        return false;
    const RarFileHeader& member = headers_.files[index];
    // The walk checked that the packed data lie inside the archive.
    if (member.packedSize != member.unpackedSize || member.isDirectory)
        return false;
    const std::uint8_t* in = data_ + member.dataOffset;
    std::uint32_t crc = 0;
    for (std::uint64_t done = 0; done < member.unpackedSize;) {
        auto piece = static_cast<std::size_t>(
            std::min<std::uint64_t>(kStoredBlock, member.unpackedSize - done));
        crc = base::Crc32(in + done, piece, crc);
        if (!sink(in + done, piece))
            return false;
        done += piece;
    }
    return crc == member.crc;
}

bool CRarArchive::Extract(std::size_t index, const Sink& sink) {
    if (index >= headers_.files.size() || !sink || !data_)
        return false;
    const RarFileHeader& member = headers_.files[index];
    if (member.isDirectory || member.isLink)
        return false;
    if (IsDirect(index))
        return ExtractStored(index, sink);
    return Decode(member, sink);
}

bool CRarArchive::Decode(const RarFileHeader& member, const Sink& sink) {
    if (!decoder_) {
        auto decoder = std::make_unique<Decoder>();
        decoder->stream = ar_open_memory(data_, size_);
        if (decoder->stream)
            decoder->archive = ar_open_rar_archive(decoder->stream);
        if (!decoder->archive)
            return false;
        decoder_ = std::move(decoder);
    }
    ar_archive* archive = decoder_->archive;
    // The decoder must stand on the very header the walk found.
    if (!ar_parse_entry_at(archive, static_cast<off64_t>(member.headerOffset)) ||
        ar_entry_get_offset(archive) != static_cast<off64_t>(member.headerOffset) ||
        static_cast<std::uint64_t>(ar_entry_get_size(archive)) != member.unpackedSize)
        return false;
    std::vector<std::uint8_t>& block = decoder_->block;
    block.resize(kBlock);
    std::uint32_t crc = 0;
    for (std::uint64_t done = 0; done < member.unpackedSize;) {
        auto piece = static_cast<std::size_t>(
            std::min<std::uint64_t>(block.size(), member.unpackedSize - done));
        if (!ar_entry_uncompress(archive, block.data(), piece))
            return false;
        crc = base::Crc32(block.data(), piece, crc);
        if (!sink(block.data(), piece))
            return false;
        done += piece;
    }
    // The decoder checks the CRC at the member's end as well; a member
    // without data never reaches that check.
    return crc == member.crc;
}

} // namespace config
