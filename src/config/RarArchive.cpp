#include "config/RarArchive.h"

#include "base/Crc32.h"
#include "platform/AllocationCap.h"

#include "config/RarDecoder.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace config {

namespace {

// Bytes handed to the sink per call: decoded ones through a buffer of this
// size, stored ones straight from the archive in larger pieces.
constexpr std::size_t kBlock = 256 * 1024;
constexpr std::size_t kStoredBlock = 1 << 20;

// The largest single allocation the decoder may make: its biggest legitimate
// one is a PPMd model of at most 256 MiB. Sizes it reads from a hostile
// stream (a filter's data length, for one) fail there instead of reserving
// and filling gigabytes.
constexpr std::size_t kDecoderAllocationCap = 260u << 20;

} // namespace

// The decoder with the buffer it decodes into.
struct CRarArchive::Decoder {
    std::unique_ptr<CRarDecoder> reader;
    std::vector<std::uint8_t> block;
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
    return Decode(index, sink);
}

bool CRarArchive::Decode(std::size_t index, const Sink& sink) {
    const RarFileHeader& member = headers_.files[index];
    if (!decoder_) {
        auto decoder = std::make_unique<Decoder>();
        {
            plat::CAllocationCap cap(kDecoderAllocationCap);
            decoder->reader = CRarDecoder::Open(data_, size_);
        }
        if (!decoder->reader)
            return false;
        decoder_ = std::move(decoder);
    }
    CRarDecoder& reader = *decoder_->reader;
    // The decoder must stand on the very member the walk found.
    bool placed = false;
    {
        plat::CAllocationCap cap(kDecoderAllocationCap);
        placed = reader.Place(member, index);
    }
    if (!placed)
        return false;
    std::vector<std::uint8_t>& block = decoder_->block;
    block.resize(kBlock);
    std::uint32_t crc = 0;
    for (std::uint64_t done = 0; done < member.unpackedSize;) {
        auto piece = static_cast<std::size_t>(
            std::min<std::uint64_t>(block.size(), member.unpackedSize - done));
        bool decoded = false;
        {
            // The sink's own work below is not the decoder's: it stays uncapped.
            plat::CAllocationCap cap(kDecoderAllocationCap);
            decoded = reader.Read(block.data(), piece);
        }
        if (!decoded)
            return false;
        crc = base::Crc32(block.data(), piece, crc);
        if (!sink(block.data(), piece))
            return false;
        done += piece;
    }
    // The decoder may check the CRC at the member's end as well; a member
    // without data never reaches that check.
    return crc == member.crc;
}

} // namespace config
