#include "config/ArchiveHelperRar.h"

#include "base/Crc32.h"
#include "config/RarHeaders.h"
#include "config/SimpleMemReadStream.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <memory>

namespace config {

namespace {

// More than any resource archive holds; keeps a hostile archive from
// unpacking without bound.
constexpr std::uint64_t kMaxUnpackedTotal = 256u << 20;
constexpr std::size_t kReadBlock = 64 * 1024;

// The decoder's view of the stream: it reads blocks into `block` and seeks
// and skips through the stream's own rules.
struct StreamSource {
    CSimpleMemReadStream* stream;
    std::string block;
};

la_ssize_t ReadBlock(archive*, void* context, const void** buffer) {
    auto source = static_cast<StreamSource*>(context);
    std::int64_t before = source->stream->Tell();
    if (!source->stream->Read(source->block.data(),
                              static_cast<std::int64_t>(source->block.size())))
        return 0;
    *buffer = source->block.data();
    return static_cast<la_ssize_t>(source->stream->Tell() - before);
}

la_int64_t SeekTo(archive*, void* context, la_int64_t offset, int whence) {
    auto source = static_cast<StreamSource*>(context);
    int origin = whence == SEEK_SET   ? ISimpleReadStream::kSeekFromStart
                 : whence == SEEK_END ? ISimpleReadStream::kSeekFromEnd
                                      : ISimpleReadStream::kSeekFromCurrent;
    if (!source->stream->Seek(offset, origin))
        return ARCHIVE_FATAL;
    return source->stream->Tell();
}

la_int64_t SkipAhead(archive*, void* context, la_int64_t request) {
    auto source = static_cast<StreamSource*>(context);
    std::int64_t count = std::min<std::int64_t>(std::max<std::int64_t>(request, 0),
                                                source->stream->Size() - source->stream->Tell());
    source->stream->Seek(count, ISimpleReadStream::kSeekFromCurrent);
    return count;
}

struct ArchiveCloser {
    void operator()(archive* handle) const { archive_read_free(handle); }
};
using ArchivePtr = std::unique_ptr<archive, ArchiveCloser>;

// The entry's name with "\" separators.
std::string StoredName(const char* pathname) {
    std::string name = pathname;
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

bool ReadEntryData(archive* handle, std::uint64_t limit, std::string* data) {
    std::string block(kReadBlock, '\0');
    for (;;) {
        la_ssize_t count = archive_read_data(handle, block.data(), block.size());
        if (count < 0)
            return false;
        if (count == 0)
            return true;
        if (static_cast<std::uint64_t>(count) > limit - data->size())
            return false;
        data->append(block.data(), static_cast<std::size_t>(count));
    }
}

// Unpacks every member in order, checking each against its file header.
bool UnpackAll(CSimpleMemReadStream* stream, const std::vector<RarFileHeader>& headers,
               std::map<std::string, std::string>* members) {
    ArchivePtr handle(archive_read_new());
    if (!handle)
        return false;
    StreamSource source{stream, std::string(kReadBlock, '\0')};
    if (archive_read_support_format_rar(handle.get()) != ARCHIVE_OK ||
        archive_read_set_read_callback(handle.get(), ReadBlock) != ARCHIVE_OK ||
        archive_read_set_seek_callback(handle.get(), SeekTo) != ARCHIVE_OK ||
        archive_read_set_skip_callback(handle.get(), SkipAhead) != ARCHIVE_OK ||
        archive_read_set_callback_data(handle.get(), &source) != ARCHIVE_OK ||
        archive_read_open1(handle.get()) != ARCHIVE_OK)
        return false;

    std::size_t index = 0;
    std::uint64_t total = 0;
    for (;;) {
        archive_entry* entry = nullptr;
        int result = archive_read_next_header(handle.get(), &entry);
        if (result == ARCHIVE_EOF)
            return index == headers.size();
        if (result != ARCHIVE_OK || index == headers.size())
            return false;
        const RarFileHeader& header = headers[index++];
        const char* pathname = archive_entry_pathname(entry);
        if (!pathname)
            return false;
        std::string name = StoredName(pathname);
        if (header.isDirectory || archive_entry_filetype(entry) == AE_IFDIR ||
            (!name.empty() && name.back() == '\\')) {
            if (archive_read_data_skip(handle.get()) != ARCHIVE_OK)
                return false;
            continue;
        }
        std::string data;
        if (header.unpackedSize > kMaxUnpackedTotal - total ||
            !ReadEntryData(handle.get(), header.unpackedSize, &data))
            return false;
        // The decoder leaves stored members unchecked: compare with the header.
        if (data.size() != header.unpackedSize ||
            base::Crc32(data.data(), data.size()) != header.crc)
            return false;
        total += data.size();
        (*members)[name] = std::move(data);
    }
}

} // namespace

bool CArchiveHelperRar::OpenArchive(const void* bytes, std::size_t length) {
    members_.clear();
    if (!bytes || length == 0)
        return false;
    CSimpleMemReadStream stream(bytes, length);
    std::vector<RarFileHeader> headers;
    if (!ReadRarFileHeaders(std::string_view(static_cast<const char*>(bytes), length), &headers))
        return false;
    std::map<std::string, std::string> members;
    if (!UnpackAll(&stream, headers, &members))
        return false;
    members_ = std::move(members);
    return true;
}

bool CArchiveHelperRar::GetMember(const std::string& name, std::string* bytes) const {
    auto found = members_.find(NormaliseMemberName(name));
    if (found == members_.end())
        return false;
    *bytes = found->second;
    return true;
}

std::vector<std::string> CArchiveHelperRar::MemberNames() const {
    std::vector<std::string> names;
    for (const auto& member : members_)
        names.push_back(member.first);
    return names;
}

std::string NormaliseMemberName(const std::string& name) {
    std::string result;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = name.find('\\', start);
        std::string segment =
            name.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (segment == "..") {
            // Back up over the previous segment and its separator.
            std::size_t cut = result.rfind('\\');
            result.erase(cut == std::string::npos ? 0 : cut);
        } else if (start == 0) {
            result = segment;
        } else {
            result += '\\';
            result += segment;
        }
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    if (!result.empty() && result.front() == '\\')
        result.erase(0, 1);
    return result;
}

CArchiveHelperRar& CArchiveHolder::Instance() {
    static CArchiveHelperRar instance;
    return instance;
}

void InitArchiveLocale() {
    std::setlocale(LC_ALL, "C.UTF-8");
}

} // namespace config
