#pragma once
// The record layout of the ZIP archives the update server holds: the local
// header, the central directory header and the end record, field by field.
// The reader (ZipFile) and the publisher's writer both work from these
// tables, so that what one writes is what the other reads. Little-endian
// fields of two or four bytes; pure functions, any thread.

#include <cstddef>
#include <cstdint>
#include <string>

namespace update::zip {

// Where a field sits in its record and how wide it is.
struct Field {
    std::size_t offset;
    std::size_t width; // 2 or 4
};

inline constexpr std::uint32_t kLocalSignature = 0x04034b50u;
inline constexpr std::uint32_t kCentralSignature = 0x02014b50u;
inline constexpr std::uint32_t kEndSignature = 0x06054b50u;

inline constexpr std::uint16_t kMethodStored = 0;
inline constexpr std::uint16_t kMethodDeflated = 8;

inline constexpr std::uint16_t kFlagEncrypted = 0x0001;
inline constexpr std::uint16_t kFlagDataDescriptor = 0x0008;
inline constexpr std::uint16_t kFlagStrongEncryption = 0x0040;
inline constexpr std::uint16_t kFlagUtf8Name = 0x0800;

// The local header; the name and the extra field follow it.
namespace localHeader {
inline constexpr Field kSignature{0, 4};
inline constexpr Field kVersion{4, 2};
inline constexpr Field kFlags{6, 2};
inline constexpr Field kMethod{8, 2};
inline constexpr Field kTime{10, 2};
inline constexpr Field kDate{12, 2};
inline constexpr Field kCrc{14, 4};
inline constexpr Field kCompressedSize{18, 4};
inline constexpr Field kSize{22, 4};
inline constexpr Field kNameLength{26, 2};
inline constexpr Field kExtraLength{28, 2};
inline constexpr std::size_t kRecordSize = 30;
} // namespace localHeader

// A central directory header; the name, the extra field and the comment
// follow it.
namespace centralHeader {
inline constexpr Field kSignature{0, 4};
inline constexpr Field kMadeBy{4, 2};
inline constexpr Field kVersion{6, 2};
inline constexpr Field kFlags{8, 2};
inline constexpr Field kMethod{10, 2};
inline constexpr Field kTime{12, 2};
inline constexpr Field kDate{14, 2};
inline constexpr Field kCrc{16, 4};
inline constexpr Field kCompressedSize{20, 4};
inline constexpr Field kSize{24, 4};
inline constexpr Field kNameLength{28, 2};
inline constexpr Field kExtraLength{30, 2};
inline constexpr Field kCommentLength{32, 2};
inline constexpr Field kDisk{34, 2};
inline constexpr Field kInternalAttributes{36, 2};
inline constexpr Field kExternalAttributes{38, 4};
inline constexpr Field kLocalHeaderOffset{42, 4};
inline constexpr std::size_t kRecordSize = 46;
} // namespace centralHeader

// The end record of the central directory; the archive comment follows it.
namespace endRecord {
inline constexpr Field kSignature{0, 4};
inline constexpr Field kDisk{4, 2};
inline constexpr Field kDirectoryDisk{6, 2};
inline constexpr Field kDiskEntries{8, 2};
inline constexpr Field kEntries{10, 2};
inline constexpr Field kDirectorySize{12, 4};
inline constexpr Field kDirectoryOffset{16, 4};
inline constexpr Field kCommentLength{20, 2};
inline constexpr std::size_t kRecordSize = 22;
} // namespace endRecord

// Each table covers its record without a gap.
static_assert(localHeader::kExtraLength.offset + localHeader::kExtraLength.width ==
              localHeader::kRecordSize);
static_assert(centralHeader::kLocalHeaderOffset.offset + centralHeader::kLocalHeaderOffset.width ==
              centralHeader::kRecordSize);
static_assert(endRecord::kCommentLength.offset + endRecord::kCommentLength.width ==
              endRecord::kRecordSize);

// The field of a record in memory (the caller checked the record's size).
inline std::uint32_t Get(const std::uint8_t* record, Field field) {
    std::uint32_t value = 0;
    for (std::size_t i = field.width; i-- > 0;)
        value = (value << 8) | record[field.offset + i];
    return value;
}

// Writes a field into a record being built (sized to the record).
inline void Set(std::string* record, Field field, std::uint32_t value) {
    for (std::size_t i = 0; i < field.width; ++i)
        (*record)[field.offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// The local header's CRC-32 and sizes, as they are written once the data are
// known: three adjacent fields from localHeader::kCrc on.
std::string LocalCrcAndSizes(std::uint32_t crc, std::uint32_t compressedSize, std::uint32_t size);

} // namespace update::zip
