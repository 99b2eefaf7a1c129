#include "config/RarHeaders.h"

#include "base/Crc32.h"

namespace config {

namespace {

constexpr std::string_view kMarkerBlock("Rar!\x1A\x07\x00", 7);

enum : std::uint8_t {
    kMainHead = 0x73,
    kFileHead = 0x74,
    kNewSubHead = 0x7A,
    kEndArcHead = 0x7B,
};

enum : std::uint16_t {
    kMainVolume = 0x0001,
    kMainEncryptedHeaders = 0x0080,
    kFileSplitBefore = 0x0001,
    kFileSplitAfter = 0x0002,
    kFileEncrypted = 0x0004,
    kFileDirectoryMask = 0x00E0,
    kFileLarge = 0x0100,
    kLongBlock = 0x8000,
};

constexpr std::size_t kBaseHeaderSize = 7;
constexpr std::size_t kFileHeaderFixedSize = 32;

std::uint16_t Get16(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[at]) |
                                      static_cast<std::uint8_t>(bytes[at + 1]) << 8);
}

std::uint32_t Get32(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint32_t>(Get16(bytes, at)) |
           static_cast<std::uint32_t>(Get16(bytes, at + 2)) << 16;
}

// Reads a file header's fields; `header` is the whole header (HEAD_SIZE
// bytes). The packed size is the size of the data after the header.
bool ParseFileHeader(std::string_view header, std::uint16_t flags, RarFileHeader* file,
                     std::uint64_t* packedSize) {
    if (header.size() < kFileHeaderFixedSize)
        return false;
    if (flags & (kFileSplitBefore | kFileSplitAfter | kFileEncrypted))
        return false;
    std::uint64_t packed = Get32(header, 7);
    std::uint64_t unpacked = Get32(header, 11);
    file->crc = Get32(header, 16);
    std::size_t nameSize = Get16(header, 26);
    std::size_t nameAt = kFileHeaderFixedSize;
    if (flags & kFileLarge) {
        if (header.size() < kFileHeaderFixedSize + 8)
            return false;
        packed |= static_cast<std::uint64_t>(Get32(header, 32)) << 32;
        unpacked |= static_cast<std::uint64_t>(Get32(header, 36)) << 32;
        nameAt += 8;
    }
    if (nameSize > header.size() - nameAt)
        return false;
    file->rawName = std::string(header.substr(nameAt, nameSize));
    file->unpackedSize = unpacked;
    file->isDirectory = (flags & kFileDirectoryMask) == kFileDirectoryMask;
    *packedSize = packed;
    return true;
}

} // namespace

bool ReadRarFileHeaders(std::string_view archive, std::vector<RarFileHeader>* files) {
    files->clear();
    if (archive.substr(0, kMarkerBlock.size()) != kMarkerBlock)
        return false;
    std::size_t at = kMarkerBlock.size();
    bool sawMain = false;
    while (archive.size() - at >= kBaseHeaderSize) {
        std::uint16_t headCrc = Get16(archive, at);
        std::uint8_t type = static_cast<std::uint8_t>(archive[at + 2]);
        std::uint16_t flags = Get16(archive, at + 3);
        std::size_t headSize = Get16(archive, at + 5);
        if (headSize < kBaseHeaderSize || headSize > archive.size() - at)
            return false;
        std::string_view header = archive.substr(at, headSize);
        if ((base::Crc32(header.data() + 2, header.size() - 2) & 0xFFFF) != headCrc)
            return false;

        std::uint64_t dataSize = 0;
        if (type == kMainHead) {
            if (flags & (kMainVolume | kMainEncryptedHeaders))
                return false;
            sawMain = true;
        } else if (type == kEndArcHead) {
            return sawMain;
        } else if (!sawMain) {
            return false;
        } else if (type == kFileHead) {
            RarFileHeader file;
            if (!ParseFileHeader(header, flags, &file, &dataSize))
                return false;
            files->push_back(std::move(file));
        } else if (type == kNewSubHead) {
            RarFileHeader ignored;
            if (!ParseFileHeader(header, flags & kFileLarge, &ignored, &dataSize))
                return false;
        } else if (flags & kLongBlock) {
            if (headSize < kBaseHeaderSize + 4)
                return false;
            dataSize = Get32(header, 7);
        }
        at += headSize;
        if (dataSize > archive.size() - at)
            return false;
        at += static_cast<std::size_t>(dataSize);
    }
    return false;
}

} // namespace config
