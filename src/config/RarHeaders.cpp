#include "config/RarHeaders.h"

#include "base/CodePage437.h"
#include "base/Crc32.h"
#include "platform/Unicode.h"

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
    kMainSolid = 0x0008,
    kMainEncryptedHeaders = 0x0080,
    kFileSplitBefore = 0x0001,
    kFileSplitAfter = 0x0002,
    kFileEncrypted = 0x0004,
    kFileSolid = 0x0010,
    kFileDirectoryMask = 0x00E0,
    kFileLarge = 0x0100,
    kFileUnicode = 0x0200,
    kLongBlock = 0x8000,
};

enum : std::uint8_t { kHostMsDos = 0, kHostOs2 = 1, kHostWin32 = 2, kHostUnix = 3 };

// Attribute bits: Windows' directory and reparse point, Unix's file type.
constexpr std::uint32_t kWinDirectory = 0x10;
constexpr std::uint32_t kWinReparsePoint = 0x400;
constexpr std::uint32_t kUnixTypeMask = 0xF000;
constexpr std::uint32_t kUnixDirectory = 0x4000;
constexpr std::uint32_t kUnixRegular = 0x8000;

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

// The kind of a member from its host's attributes.
void ReadKind(std::uint8_t host, std::uint32_t attributes, std::uint16_t flags,
              RarFileHeader* file) {
    file->isDirectory = (flags & kFileDirectoryMask) == kFileDirectoryMask;
    if (host == kHostUnix) {
        std::uint32_t type = attributes & kUnixTypeMask;
        file->isDirectory = file->isDirectory || type == kUnixDirectory;
        // Anything but a file or a folder (a link, a device, a pipe) is no
        // file the launcher may write.
        file->isLink = type != 0 && type != kUnixRegular && type != kUnixDirectory;
    } else if (host == kHostMsDos || host == kHostOs2 || host == kHostWin32) {
        file->isDirectory = file->isDirectory || (attributes & kWinDirectory) != 0;
        file->isLink = (attributes & kWinReparsePoint) != 0;
    }
}

// Reads a file header's fields; `header` is the whole header (HEAD_SIZE
// bytes) at `offset` in the archive. The packed size is the size of the data
// after the header.
bool ParseFileHeader(std::string_view header, std::size_t offset, std::uint16_t flags,
                     RarFileHeader* file) {
    if (header.size() < kFileHeaderFixedSize)
        return false;
    if (flags & (kFileSplitBefore | kFileSplitAfter | kFileEncrypted))
        return false;
    std::uint64_t packed = Get32(header, 7);
    std::uint64_t unpacked = Get32(header, 11);
    auto host = static_cast<std::uint8_t>(header[15]);
    file->crc = Get32(header, 16);
    file->method = static_cast<std::uint8_t>(header[25]);
    std::size_t nameSize = Get16(header, 26);
    std::uint32_t attributes = Get32(header, 28);
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
    file->name = DecodeRarName(file->rawName, (flags & kFileUnicode) != 0);
    file->unpackedSize = unpacked;
    file->packedSize = packed;
    file->headerOffset = offset;
    file->dataOffset = offset + header.size();
    file->solid = (flags & kFileSolid) != 0;
    ReadKind(host, attributes, flags, file);
    return true;
}

// RAR's compact Unicode name: a high byte for the whole name, then pairs of
// flag bits saying how each character is made from the encoded bytes and
// the OEM name before them.
std::u16string DecodeUnicodeName(std::string_view oem, std::string_view encoded) {
    auto byte = [&](std::size_t at) { return static_cast<std::uint8_t>(encoded[at]); };
    std::u16string out;
    std::size_t at = 0;
    if (encoded.empty())
        return out;
    const std::uint16_t high = static_cast<std::uint16_t>(byte(at++) << 8);
    unsigned flags = 0;
    int flagBits = 0;
    while (at < encoded.size()) {
        if (flagBits == 0) {
            flags = byte(at++);
            flagBits = 8;
            if (at >= encoded.size())
                break;
        }
        switch ((flags >> 6) & 3) {
        case 0:
            out.push_back(byte(at++));
            break;
        case 1:
            out.push_back(static_cast<char16_t>(byte(at++) | high));
            break;
        case 2:
            if (at + 1 >= encoded.size())
                return out;
            out.push_back(static_cast<char16_t>(byte(at) | byte(at + 1) << 8));
            at += 2;
            break;
        default: {
            unsigned length = byte(at++);
            if (length & 0x80) {
                if (at >= encoded.size())
                    return out;
                const std::uint8_t correction = byte(at++);
                for (length = (length & 0x7F) + 2; length > 0 && out.size() < oem.size();
                     --length) {
                    auto base = static_cast<std::uint8_t>(oem[out.size()]);
                    out.push_back(static_cast<char16_t>(((base + correction) & 0xFF) | high));
                }
            } else {
                for (length += 2; length > 0 && out.size() < oem.size(); --length)
                    out.push_back(static_cast<std::uint8_t>(oem[out.size()]));
            }
            break;
        }
        }
        flags <<= 2;
        flagBits -= 2;
    }
    return out;
}

} // namespace

std::string DecodeRarName(std::string_view raw, bool unicodeFlag) {
    if (!unicodeFlag)
        return base::Cp437ToUtf8(raw);
    const std::size_t zero = raw.find('\0');
    if (zero == std::string_view::npos)
        return std::string(raw); // written as UTF-8
    std::u16string units = DecodeUnicodeName(raw.substr(0, zero), raw.substr(zero + 1));
    std::string utf16le;
    for (char16_t unit : units) {
        utf16le.push_back(static_cast<char>(unit & 0xFF));
        utf16le.push_back(static_cast<char>(unit >> 8));
    }
    return plat::WideToUtf8(plat::Utf16LeToWide(utf16le));
}

bool ReadRarArchiveHeaders(std::string_view archive, RarArchiveHeaders* headers) {
    headers->files.clear();
    headers->solid = false;
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
            headers->solid = (flags & kMainSolid) != 0;
            sawMain = true;
        } else if (type == kEndArcHead) {
            return sawMain;
        } else if (!sawMain) {
            return false;
        } else if (type == kFileHead) {
            RarFileHeader file;
            if (!ParseFileHeader(header, at, flags, &file))
                return false;
            dataSize = file.packedSize;
            headers->files.push_back(std::move(file));
        } else if (type == kNewSubHead) {
            RarFileHeader ignored;
            if (!ParseFileHeader(header, at, flags & kFileLarge, &ignored))
                return false;
            dataSize = ignored.packedSize;
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

bool ReadRarFileHeaders(std::string_view archive, std::vector<RarFileHeader>* files) {
    RarArchiveHeaders headers;
    bool ok = ReadRarArchiveHeaders(archive, &headers);
    *files = std::move(headers.files);
    return ok;
}

} // namespace config
