#include "update/ZipFile.h"

#include "base/CodePage437.h"
#include "base/Crc32.h"
#include "update/ZipFormat.h"
#include "update/ZipInflate.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace update {

namespace {

using namespace zip;
namespace local = zip::localHeader;
namespace central = zip::centralHeader;
namespace endRecord = zip::endRecord;

// Deflate cannot expand a byte into more than 1032 bytes of output: a
// larger claim is a lie, and refusing it keeps allocations bounded.
constexpr std::uint64_t kMaxDeflateRatio = 1032;

// Stored entries reach a sink straight from the archive in blocks of this
// size.
constexpr std::size_t kSinkBlock = 1 << 20;

// Characters of a stored name: UTF-8 continuation bytes do not count.
std::size_t NameLength(const std::string& name) {
    return static_cast<std::size_t>(std::count_if(name.begin(), name.end(), [](char c) {
        auto b = static_cast<std::uint8_t>(c);
        return b < 0x80 || b > 0xBF;
    }));
}

// Where the unpacked bytes go: a caller buffer of the full size, or a sink
// fed block by block.
struct Output {
    std::uint8_t* buffer = nullptr;
    const CZipFile::Sink* sink = nullptr;
};

ZipResult CopyStored(const std::uint8_t* in, std::uint32_t size, const Output& out,
                     std::uint32_t* crc) {
    if (out.buffer) {
        if (size > 0)
            std::memcpy(out.buffer, in, size);
        *crc = base::Crc32(in, size);
        return kZipOk;
    }
    std::uint32_t sum = 0;
    for (std::size_t done = 0; done < size;) {
        std::size_t piece = std::min<std::size_t>(kSinkBlock, size - done);
        sum = base::Crc32(in + done, piece, sum);
        if (!(*out.sink)(in + done, piece))
            return kZipSinkFailed;
        done += piece;
    }
    *crc = sum;
    return kZipOk;
}

} // namespace

ZipResult CZipFile::Open(const void* data, std::size_t size) {
    Close();
    if (!data)
        return kZipNullPointer;
    data_ = static_cast<const std::uint8_t*>(data);
    size_ = size;
    ZipResult result = ReadDirectory();
    if (result != kZipOk)
        Close();
    return result;
}

void CZipFile::Close() {
    data_ = nullptr;
    size_ = 0;
    entries_.clear();
    index_.clear();
}

ZipResult CZipFile::ReadDirectory() {
    if (size_ < endRecord::kRecordSize)
        return kZipNoEndRecord;
    const std::size_t endPos = size_ - endRecord::kRecordSize;
    const std::uint8_t* end = data_ + endPos;
    if (Get(end, endRecord::kSignature) != kEndSignature)
        return kZipNoEndRecord;

    // The entries on this disk, which is the only one.
    const std::uint32_t count = Get(end, endRecord::kDiskEntries);
    const std::uint32_t directorySize = Get(end, endRecord::kDirectorySize);
    const std::uint32_t directoryOffset = Get(end, endRecord::kDirectoryOffset);
    // These values say that the real ones are in a ZIP64 record.
    if (count == 0xFFFF || directorySize == 0xFFFFFFFFu || directoryOffset == 0xFFFFFFFFu)
        return kZipUnsupported;
    // The directory ends where the end record begins; its offset field is
    // not used, which keeps archives with data in front of them readable.
    if (directorySize > endPos)
        return kZipCorrupt;
    if (static_cast<std::uint64_t>(count) * central::kRecordSize > directorySize)
        return kZipCorrupt;

    std::size_t pos = endPos - directorySize;
    entries_.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (endPos - pos < central::kRecordSize)
            return kZipCorrupt;
        const std::uint8_t* h = data_ + pos;
        if (Get(h, central::kSignature) != kCentralSignature)
            return kZipCorrupt;
        const std::size_t nameLength = Get(h, central::kNameLength);
        const std::size_t extraLength = Get(h, central::kExtraLength);
        const std::size_t commentLength = Get(h, central::kCommentLength);
        const std::size_t total = central::kRecordSize + nameLength + extraLength + commentLength;
        if (endPos - pos < total)
            return kZipCorrupt;

        ZipEntry entry;
        entry.flags = static_cast<std::uint16_t>(Get(h, central::kFlags));
        entry.method = static_cast<std::uint16_t>(Get(h, central::kMethod));
        entry.crc32 = Get(h, central::kCrc);
        entry.compressedSize = Get(h, central::kCompressedSize);
        entry.uncompressedSize = Get(h, central::kSize);
        entry.localHeaderOffset = Get(h, central::kLocalHeaderOffset);
        std::string_view stored(reinterpret_cast<const char*>(h + central::kRecordSize),
                                nameLength);
        // Without the UTF-8 flag a name is in code page 437, as the format
        // defines it.
        entry.name =
            (entry.flags & kFlagUtf8Name) ? std::string(stored) : base::Cp437ToUtf8(stored);
        std::replace(entry.name.begin(), entry.name.end(), '/', '\\');
        if (NameLength(entry.name) <= kMaxLookupName)
            index_[entry.name] = entries_.size();
        entries_.push_back(std::move(entry));
        pos += total;
    }
    return kZipOk;
}

const ZipEntry* CZipFile::Entry(std::size_t index) const {
    return index < entries_.size() ? &entries_[index] : nullptr;
}

bool CZipFile::Find(const std::string& name, std::size_t* index) const {
    auto it = index_.find(name);
    if (it == index_.end())
        return false;
    *index = it->second;
    return true;
}

ZipResult CZipFile::Locate(std::size_t index, const ZipEntry** entryOut,
                           std::size_t* dataOffset) const {
    const ZipEntry& entry = entries_[index];
    if (entry.flags & (kFlagEncrypted | kFlagStrongEncryption))
        return kZipUnsupported;
    if (entry.compressedSize == 0xFFFFFFFFu || entry.uncompressedSize == 0xFFFFFFFFu ||
        entry.localHeaderOffset == 0xFFFFFFFFu)
        return kZipUnsupported;

    const std::uint64_t localOffset = entry.localHeaderOffset;
    if (localOffset > size_ || size_ - localOffset < local::kRecordSize)
        return kZipCorrupt;
    const std::uint8_t* h = data_ + localOffset;
    if (Get(h, local::kSignature) != kLocalSignature)
        return kZipCorrupt;
    const std::uint32_t flags = Get(h, local::kFlags);
    const std::uint32_t method = Get(h, local::kMethod);
    if (method != kMethodStored && method != kMethodDeflated)
        return kZipUnsupported;
    if (flags & (kFlagEncrypted | kFlagStrongEncryption))
        return kZipUnsupported;
    // The local header must tell the same story as the directory; with a
    // data descriptor its sizes and CRC may be left zero.
    if (method != entry.method)
        return kZipCorrupt;
    if (!(flags & kFlagDataDescriptor) && (Get(h, local::kCrc) != entry.crc32 ||
                                           Get(h, local::kCompressedSize) != entry.compressedSize ||
                                           Get(h, local::kSize) != entry.uncompressedSize))
        return kZipCorrupt;

    const std::uint64_t data =
        localOffset + local::kRecordSize + Get(h, local::kNameLength) + Get(h, local::kExtraLength);
    if (data > size_ || size_ - data < entry.compressedSize)
        return kZipCorrupt;
    if (method == kMethodStored && entry.compressedSize != entry.uncompressedSize)
        return kZipCorrupt;
    if (method == kMethodDeflated &&
        entry.uncompressedSize >
            static_cast<std::uint64_t>(entry.compressedSize) * kMaxDeflateRatio)
        return kZipCorrupt;

    *entryOut = &entry;
    *dataOffset = static_cast<std::size_t>(data);
    return kZipOk;
}

namespace {

ZipResult Unpack(const std::uint8_t* archive, std::size_t dataOffset, const ZipEntry& entry,
                 const Output& out) {
    const std::uint8_t* in = archive + dataOffset;
    std::uint32_t crc = 0;
    ZipResult result = entry.method == kMethodStored
                           ? CopyStored(in, entry.compressedSize, out, &crc)
                           : InflateEntry(in, entry.compressedSize, entry.uncompressedSize,
                                          out.buffer, out.sink, &crc);
    if (result == kZipOk && crc != entry.crc32)
        result = kZipCorrupt;
    return result;
}

} // namespace

ZipResult CZipFile::Extract(std::size_t index, void* output, std::size_t outputSize) const {
    if (!data_)
        return kZipNotOpen;
    if (index >= entries_.size())
        return kZipInvalidArg;
    if (!output)
        return kZipNullPointer;
    if (outputSize < entries_[index].uncompressedSize)
        return kZipInvalidArg;
    const ZipEntry* entry = nullptr;
    std::size_t dataOffset = 0;
    ZipResult result = Locate(index, &entry, &dataOffset);
    if (result != kZipOk)
        return result;
    Output out;
    out.buffer = static_cast<std::uint8_t*>(output);
    return Unpack(data_, dataOffset, *entry, out);
}

ZipResult CZipFile::Extract(std::size_t index, std::string* output) const {
    if (!output)
        return kZipNullPointer;
    output->clear();
    if (!data_)
        return kZipNotOpen;
    if (index >= entries_.size())
        return kZipInvalidArg;
    const ZipEntry* entry = nullptr;
    std::size_t dataOffset = 0;
    // Checked before the string is sized, so that a lying size never
    // decides an allocation.
    ZipResult result = Locate(index, &entry, &dataOffset);
    if (result != kZipOk)
        return result;
    output->resize(entry->uncompressedSize);
    Output out;
    out.buffer = reinterpret_cast<std::uint8_t*>(output->data());
    result = Unpack(data_, dataOffset, *entry, out);
    if (result != kZipOk)
        output->clear();
    return result;
}

ZipResult CZipFile::Extract(std::size_t index, const Sink& sink) const {
    if (!data_)
        return kZipNotOpen;
    if (index >= entries_.size())
        return kZipInvalidArg;
    if (!sink)
        return kZipNullPointer;
    const ZipEntry* entry = nullptr;
    std::size_t dataOffset = 0;
    ZipResult result = Locate(index, &entry, &dataOffset);
    if (result != kZipOk)
        return result;
    Output out;
    out.sink = &sink;
    return Unpack(data_, dataOffset, *entry, out);
}

} // namespace update
