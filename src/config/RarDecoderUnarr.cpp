#include "config/RarDecoder.h"

#include <unarr.h>

namespace config {

namespace {

// libunarr over the archive's bytes: it finds any member by the offset of
// its header, going through the members before it in a solid archive.
// Lives on the thread of its CRarArchive.
class CUnarrDecoder final : public CRarDecoder {
public:
    CUnarrDecoder(ar_stream* stream, ar_archive* archive) : stream_(stream), archive_(archive) {}

    ~CUnarrDecoder() override {
        ar_close_archive(archive_);
        ar_close(stream_);
    }

    CUnarrDecoder(const CUnarrDecoder&) = delete;
    CUnarrDecoder& operator=(const CUnarrDecoder&) = delete;

    bool Place(const RarFileHeader& member, std::size_t) override {
        // The decoder must stand on the very header the walk found.
        auto offset = static_cast<off64_t>(member.headerOffset);
        return ar_parse_entry_at(archive_, offset) && ar_entry_get_offset(archive_) == offset &&
               static_cast<std::uint64_t>(ar_entry_get_size(archive_)) == member.unpackedSize;
    }

    bool Read(std::uint8_t* out, std::size_t size) override {
        return ar_entry_uncompress(archive_, out, size);
    }

private:
    ar_stream* stream_;
    ar_archive* archive_;
};

} // namespace

std::unique_ptr<CRarDecoder> CRarDecoder::Open(const std::uint8_t* data, std::size_t size) {
    ar_stream* stream = ar_open_memory(data, size);
    if (!stream)
        return nullptr;
    ar_archive* archive = ar_open_rar_archive(stream);
    if (!archive) {
        ar_close(stream);
        return nullptr;
    }
    return std::make_unique<CUnarrDecoder>(stream, archive);
}

} // namespace config
