#include "config/RarDecoder.h"

#include <archive.h>
#include <archive_entry.h>

#include <optional>

namespace config {

namespace {

// libarchive's RAR reader over the archive's bytes. It reads in archive
// order only: a member behind the current one is reached by reading past
// the ones between (decoding them in a solid archive), a member at or before
// it by starting over from the first. Lives on the thread of its
// CRarArchive.
class CLibarchiveDecoder final : public CRarDecoder {
public:
    CLibarchiveDecoder(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    ~CLibarchiveDecoder() override { Reset(); }

    CLibarchiveDecoder(const CLibarchiveDecoder&) = delete;
    CLibarchiveDecoder& operator=(const CLibarchiveDecoder&) = delete;

    // Opens the reader on the first member; false when it does not take the
    // bytes as a RAR archive.
    bool Start() {
        Reset();
        archive_ = archive_read_new();
        if (!archive_)
            return false;
        if (archive_read_support_format_rar(archive_) != ARCHIVE_OK ||
            archive_read_open_memory(archive_, data_, size_) != ARCHIVE_OK) {
            Reset();
            return false;
        }
        return true;
    }

    bool Place(const RarFileHeader& member, std::size_t ordinal) override {
        placed_ = false;
        if (!archive_ || (current_ && *current_ >= ordinal)) {
            if (!Start())
                return false;
        }
        archive_entry* entry = nullptr;
        while (!current_ || *current_ < ordinal) {
            if (archive_read_next_header(archive_, &entry) != ARCHIVE_OK) {
                // A failed reader stays failed: the next call starts over.
                Reset();
                return false;
            }
            current_ = current_ ? *current_ + 1 : 0;
        }
        if (!entry || archive_entry_filetype(entry) != AE_IFREG ||
            !archive_entry_size_is_set(entry) || archive_entry_size(entry) < 0 ||
            static_cast<std::uint64_t>(archive_entry_size(entry)) != member.unpackedSize)
            return false;
        placed_ = true;
        return true;
    }

    bool Read(std::uint8_t* out, std::size_t size) override {
        if (!placed_)
            return false;
        while (size > 0) {
            la_ssize_t got = archive_read_data(archive_, out, size);
            if (got <= 0 || static_cast<std::size_t>(got) > size) {
                // An error, or the member ended before its size.
                placed_ = false;
                Reset();
                return false;
            }
            out += got;
            size -= static_cast<std::size_t>(got);
        }
        return true;
    }

private:
    void Reset() {
        if (archive_)
            archive_read_free(archive_);
        archive_ = nullptr;
        current_.reset();
        placed_ = false;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    archive* archive_ = nullptr;
    std::optional<std::size_t> current_; // ordinal of the entry the reader stands on
    bool placed_ = false;
};

} // namespace

std::unique_ptr<CRarDecoder> CRarDecoder::Open(const std::uint8_t* data, std::size_t size) {
    auto decoder = std::make_unique<CLibarchiveDecoder>(data, size);
    if (!decoder->Start())
        return nullptr;
    return decoder;
}

} // namespace config
