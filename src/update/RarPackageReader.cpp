#include "update/RarPackageReader.h"

#include "base/Crc32.h"
#include "config/RarHeaders.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

namespace update {

namespace {

// Input handed to the decoder per read: large enough that the calls cost
// nothing, small enough that released input leaves memory early.
constexpr std::size_t kInputBlock = 1 << 20;

struct ArchiveFree {
    void operator()(archive* handle) const { archive_read_free(handle); }
};

} // namespace

struct CRarPackageReader::Impl {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t position = 0;
    ConsumedFn consumed;
    std::vector<config::RarFileHeader> headers;
    std::size_t next = 0; // index of the next header
    const config::RarFileHeader* current = nullptr;
    std::unique_ptr<archive, ArchiveFree> handle;

    // The decoder's callbacks: input comes straight from the caller's bytes.
    static la_ssize_t Read(archive*, void* context, const void** buffer) {
        auto self = static_cast<Impl*>(context);
        // The block handed out before this call is no longer used.
        if (self->consumed)
            self->consumed(self->position);
        std::size_t count = std::min(kInputBlock, self->size - self->position);
        *buffer = self->data + self->position;
        self->position += count;
        return static_cast<la_ssize_t>(count);
    }
    static la_int64_t Seek(archive*, void* context, la_int64_t offset, int whence) {
        auto self = static_cast<Impl*>(context);
        la_int64_t base = whence == SEEK_SET   ? 0
                          : whence == SEEK_END ? static_cast<la_int64_t>(self->size)
                                               : static_cast<la_int64_t>(self->position);
        la_int64_t target = base + offset;
        if (target < 0 || target > static_cast<la_int64_t>(self->size))
            return ARCHIVE_FATAL;
        self->position = static_cast<std::size_t>(target);
        return target;
    }
    static la_int64_t Skip(archive*, void* context, la_int64_t request) {
        auto self = static_cast<Impl*>(context);
        la_int64_t count = std::min<la_int64_t>(
            std::max<la_int64_t>(request, 0), static_cast<la_int64_t>(self->size - self->position));
        self->position += static_cast<std::size_t>(count);
        return count;
    }
};

CRarPackageReader::CRarPackageReader() : impl_(std::make_unique<Impl>()) {}

CRarPackageReader::~CRarPackageReader() = default;

bool CRarPackageReader::Open(const void* data, std::size_t size, ConsumedFn consumed) {
    Close();
    if (!data || size == 0)
        return false;
    auto bytes = static_cast<const std::uint8_t*>(data);
    if (!config::ReadRarFileHeaders(std::string_view(reinterpret_cast<const char*>(bytes), size),
                                    &impl_->headers))
        return false;
    impl_->data = bytes;
    impl_->size = size;
    impl_->consumed = std::move(consumed);
    impl_->handle.reset(archive_read_new());
    archive* handle = impl_->handle.get();
    if (!handle || archive_read_support_format_rar(handle) != ARCHIVE_OK ||
        archive_read_set_read_callback(handle, Impl::Read) != ARCHIVE_OK ||
        archive_read_set_seek_callback(handle, Impl::Seek) != ARCHIVE_OK ||
        archive_read_set_skip_callback(handle, Impl::Skip) != ARCHIVE_OK ||
        archive_read_set_callback_data(handle, impl_.get()) != ARCHIVE_OK ||
        archive_read_open1(handle) != ARCHIVE_OK) {
        Close();
        return false;
    }
    return true;
}

void CRarPackageReader::Close() {
    impl_->handle.reset();
    impl_->headers.clear();
    impl_->data = nullptr;
    impl_->size = 0;
    impl_->position = 0;
    impl_->next = 0;
    impl_->current = nullptr;
    impl_->consumed = nullptr;
}

std::size_t CRarPackageReader::Count() const {
    return impl_->headers.size();
}

bool CRarPackageReader::Next(Entry* entry, bool* end) {
    *end = false;
    impl_->current = nullptr;
    if (!impl_->handle)
        return false;
    archive_entry* decoded = nullptr;
    int result = archive_read_next_header(impl_->handle.get(), &decoded);
    if (result == ARCHIVE_EOF) {
        *end = impl_->next == impl_->headers.size();
        return false;
    }
    if (result != ARCHIVE_OK || impl_->next == impl_->headers.size())
        return false;
    const config::RarFileHeader& header = impl_->headers[impl_->next++];
    const char* name = archive_entry_pathname_utf8(decoded);
    if (!name)
        name = archive_entry_pathname(decoded);
    if (!name)
        return false;
    entry->name = name;
    std::replace(entry->name.begin(), entry->name.end(), '/', '\\');
    auto type = archive_entry_filetype(decoded);
    entry->isDirectory = header.isDirectory || type == AE_IFDIR;
    entry->isLink = type == AE_IFLNK || archive_entry_hardlink(decoded) != nullptr ||
                    (!entry->isDirectory && type != AE_IFREG);
    entry->size = header.unpackedSize;
    impl_->current = &header;
    return true;
}

bool CRarPackageReader::ReadData(void* output, std::size_t size) {
    const config::RarFileHeader* header = impl_->current;
    if (!header || size != header->unpackedSize)
        return false;
    auto out = static_cast<std::uint8_t*>(output);
    std::size_t done = 0;
    for (;;) {
        // One byte of room past the end shows data beyond the header's size.
        std::uint8_t spare = 0;
        la_ssize_t count = done < size
                               ? archive_read_data(impl_->handle.get(), out + done, size - done)
                               : archive_read_data(impl_->handle.get(), &spare, 1);
        if (count < 0 || (count > 0 && done == size))
            return false;
        if (count == 0)
            break;
        done += static_cast<std::size_t>(count);
    }
    // The decoder leaves stored entries unchecked: compare with the header.
    return done == size && base::Crc32(out, size) == header->crc;
}

} // namespace update
