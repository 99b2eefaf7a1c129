#include "update/ZipFile.h"

#include "base/Crc32.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace update {

namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50u;
constexpr std::uint32_t kCentralSignature = 0x02014b50u;
constexpr std::uint32_t kLocalSignature = 0x04034b50u;
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kCentralHeaderSize = 46;
constexpr std::size_t kLocalHeaderSize = 30;

constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflated = 8;

constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagDataDescriptor = 0x0008;
constexpr std::uint16_t kFlagStrongEncryption = 0x0040;

// Deflate cannot expand a byte into more than 1032 bytes of output: a
// larger claim is a lie, and refusing it keeps allocations bounded.
constexpr std::uint64_t kMaxDeflateRatio = 1032;

// Sink extraction hands the data over in blocks of this size.
constexpr std::size_t kSinkBlock = 64 * 1024;

std::uint16_t Read16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t Read32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

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

ZipResult Inflate(const std::uint8_t* in, std::uint32_t inSize, std::uint32_t expected,
                  const Output& out, std::uint32_t* crc) {
    z_stream zs{};
    if (inflateInit2(&zs, -MAX_WBITS) != Z_OK)
        return kZipCorrupt;
    zs.next_in = const_cast<Bytef*>(in);
    zs.avail_in = inSize;

    std::string block;
    if (!out.buffer)
        block.resize(std::min<std::size_t>(kSinkBlock, expected));

    ZipResult result = kZipOk;
    std::uint32_t produced = 0;
    std::uint32_t sum = 0;
    // A full output ends the work as well as the end of the stream does;
    // the size and CRC checks below decide whether the data are right.
    while (produced < expected) {
        auto* target = out.buffer ? out.buffer + produced : reinterpret_cast<Bytef*>(block.data());
        uInt room =
            out.buffer
                ? expected - produced
                : static_cast<uInt>(std::min<std::size_t>(block.size(), expected - produced));
        zs.next_out = target;
        zs.avail_out = room;
        int rc = inflate(&zs, Z_NO_FLUSH);
        std::uint32_t got = room - zs.avail_out;
        sum = base::Crc32(target, got, sum);
        produced += got;
        if (out.sink && got > 0 && !(*out.sink)(target, got)) {
            result = kZipSinkFailed;
            break;
        }
        if (rc == Z_STREAM_END)
            break;
        if (rc != Z_OK) {
            result = kZipCorrupt;
            break;
        }
    }
    inflateEnd(&zs);
    if (result == kZipOk && produced != expected)
        result = kZipCorrupt;
    *crc = sum;
    return result;
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
    if (size_ < kEndRecordSize)
        return kZipNoEndRecord;
    const std::size_t endPos = size_ - kEndRecordSize;
    const std::uint8_t* end = data_ + endPos;
    if (Read32(end) != kEndSignature)
        return kZipNoEndRecord;

    const std::uint16_t count = Read16(end + 8);
    const std::uint32_t directorySize = Read32(end + 12);
    const std::uint32_t directoryOffset = Read32(end + 16);
    // These values say that the real ones are in a ZIP64 record.
    if (count == 0xFFFF || directorySize == 0xFFFFFFFFu || directoryOffset == 0xFFFFFFFFu)
        return kZipUnsupported;
    // The directory ends where the end record begins; its offset field is
    // not used, which keeps archives with data in front of them readable.
    if (directorySize > endPos)
        return kZipCorrupt;
    if (static_cast<std::uint64_t>(count) * kCentralHeaderSize > directorySize)
        return kZipCorrupt;

    std::size_t pos = endPos - directorySize;
    entries_.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (endPos - pos < kCentralHeaderSize)
            return kZipCorrupt;
        const std::uint8_t* h = data_ + pos;
        if (Read32(h) != kCentralSignature)
            return kZipCorrupt;
        const std::size_t nameLength = Read16(h + 28);
        const std::size_t extraLength = Read16(h + 30);
        const std::size_t commentLength = Read16(h + 32);
        const std::size_t total = kCentralHeaderSize + nameLength + extraLength + commentLength;
        if (endPos - pos < total)
            return kZipCorrupt;

        ZipEntry entry;
        entry.flags = Read16(h + 8);
        entry.method = Read16(h + 10);
        entry.crc32 = Read32(h + 16);
        entry.compressedSize = Read32(h + 20);
        entry.uncompressedSize = Read32(h + 24);
        entry.localHeaderOffset = Read32(h + 42);
        entry.name.assign(reinterpret_cast<const char*>(h + kCentralHeaderSize), nameLength);
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

    const std::uint64_t local = entry.localHeaderOffset;
    if (local > size_ || size_ - local < kLocalHeaderSize)
        return kZipCorrupt;
    const std::uint8_t* h = data_ + local;
    if (Read32(h) != kLocalSignature)
        return kZipCorrupt;
    const std::uint16_t flags = Read16(h + 6);
    const std::uint16_t method = Read16(h + 8);
    if (method != kMethodStored && method != kMethodDeflated)
        return kZipUnsupported;
    if (flags & (kFlagEncrypted | kFlagStrongEncryption))
        return kZipUnsupported;
    // The local header must tell the same story as the directory; with a
    // data descriptor its sizes and CRC may be left zero.
    if (method != entry.method)
        return kZipCorrupt;
    if (!(flags & kFlagDataDescriptor) &&
        (Read32(h + 14) != entry.crc32 || Read32(h + 18) != entry.compressedSize ||
         Read32(h + 22) != entry.uncompressedSize))
        return kZipCorrupt;

    const std::uint64_t data = local + kLocalHeaderSize + Read16(h + 26) + Read16(h + 28);
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
                           : Inflate(in, entry.compressedSize, entry.uncompressedSize, out, &crc);
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
