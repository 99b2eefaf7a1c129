#include "rarpack/RarStoreWriter.h"

#include "base/Crc32.h"

#include <algorithm>

namespace rarpack {

namespace {

constexpr std::uint8_t kMainHead = 0x73;
constexpr std::uint8_t kFileHead = 0x74;
constexpr std::uint8_t kEndArcHead = 0x7B;

constexpr std::uint16_t kLongBlock = 0x8000;
constexpr std::uint16_t kSkipIfUnknown = 0x4000;
constexpr std::uint16_t kFileDirectory = 0x00E0;
constexpr std::uint16_t kFileLarge = 0x0100;
constexpr std::uint16_t kFileUnicode = 0x0200;

constexpr std::uint8_t kHostWin32 = 2;
constexpr std::uint8_t kVersionStore = 20;
constexpr std::uint8_t kMethodStore = 0x30;
constexpr std::uint32_t kAttrDirectory = 0x10;
constexpr std::uint32_t kAttrArchive = 0x20;

void Put16(std::string* out, std::uint16_t value) {
    out->push_back(static_cast<char>(value & 0xFF));
    out->push_back(static_cast<char>(value >> 8));
}

void Put32(std::string* out, std::uint32_t value) {
    Put16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    Put16(out, static_cast<std::uint16_t>(value >> 16));
}

// A block header: HEAD_CRC, HEAD_TYPE, HEAD_FLAGS, HEAD_SIZE, then `fields`.
// HEAD_CRC is the low half of the CRC-32 of everything after it.
std::string Block(std::uint8_t type, std::uint16_t flags, const std::string& fields) {
    std::string header;
    header.push_back(static_cast<char>(type));
    Put16(&header, flags);
    Put16(&header, static_cast<std::uint16_t>(7 + fields.size()));
    header += fields;
    std::string block;
    Put16(&block, static_cast<std::uint16_t>(base::Crc32(header.data(), header.size()) & 0xFFFF));
    return block + header;
}

} // namespace

CRarStoreWriter::CRarStoreWriter() : bytes_("Rar!\x1A\x07\x00", 7) {
    std::string reserved;
    Put16(&reserved, 0);
    Put32(&reserved, 0);
    bytes_ += Block(kMainHead, 0, reserved);
}

bool CRarStoreWriter::AddFile(const std::string& name, std::string_view data,
                              std::uint32_t dosTime) {
    return AddEntry(name, data, false, dosTime);
}

bool CRarStoreWriter::AddDirectory(const std::string& name, std::uint32_t dosTime) {
    return AddEntry(name, {}, true, dosTime);
}

bool CRarStoreWriter::AddEntry(const std::string& name, std::string_view data, bool directory,
                               std::uint32_t dosTime) {
    // Header fields after the name must fit HEAD_SIZE's 16 bits.
    if (name.empty() || name.size() > 0xFFFF - 64)
        return false;
    std::string stored = name;
    std::replace(stored.begin(), stored.end(), '/', '\\');
    bool ascii = std::all_of(stored.begin(), stored.end(),
                             [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    std::uint64_t size = data.size();
    bool large = size > 0xFFFFFFFFu;

    std::uint16_t flags = kLongBlock;
    if (directory)
        flags |= kFileDirectory;
    if (large)
        flags |= kFileLarge;
    if (!ascii)
        flags |= kFileUnicode; // a UTF-8 name: no zero byte and no encoded part

    std::string fields;
    Put32(&fields, static_cast<std::uint32_t>(size)); // PACK_SIZE
    Put32(&fields, static_cast<std::uint32_t>(size)); // UNP_SIZE
    fields.push_back(static_cast<char>(kHostWin32));
    Put32(&fields, base::Crc32(data.data(), data.size()));
    Put32(&fields, dosTime);
    fields.push_back(static_cast<char>(kVersionStore));
    fields.push_back(static_cast<char>(kMethodStore));
    Put16(&fields, static_cast<std::uint16_t>(stored.size()));
    Put32(&fields, directory ? kAttrDirectory : kAttrArchive);
    if (large) {
        Put32(&fields, static_cast<std::uint32_t>(size >> 32)); // HIGH_PACK_SIZE
        Put32(&fields, static_cast<std::uint32_t>(size >> 32)); // HIGH_UNP_SIZE
    }
    fields += stored;
    bytes_ += Block(kFileHead, flags, fields);
    bytes_.append(data.data(), data.size());
    return true;
}

std::string CRarStoreWriter::Finish() const {
    return bytes_ + Block(kEndArcHead, kSkipIfUnknown, std::string());
}

} // namespace rarpack
