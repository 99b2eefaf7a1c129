#include "update/ZipFormat.h"

#include "support/ZipWriter.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <string>

namespace {

using namespace update::zip;

const std::uint8_t* Bytes(const std::string& text, std::size_t offset) {
    return reinterpret_cast<const std::uint8_t*>(text.data()) + offset;
}

TEST(ZipFormatTest, TheTablesFindTheFieldsOfAnArchiveWrittenElsewhere) {
    // An archive from the fixture writer, which knows nothing of the tables.
    testsupport::ZipWriter writer;
    const std::string data = "zip format fields";
    writer.Add("dir/a.txt", data, testsupport::ZipWriter::kStored);
    const std::string archive = writer.Finish();
    const std::uint32_t crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));

    const auto& offsets = writer.EntryOffsets(0);
    const std::uint8_t* local = Bytes(archive, offsets.localHeader);
    EXPECT_EQ(Get(local, localHeader::kSignature), kLocalSignature);
    EXPECT_EQ(Get(local, localHeader::kMethod), kMethodStored);
    EXPECT_EQ(Get(local, localHeader::kCrc), crc);
    EXPECT_EQ(Get(local, localHeader::kCompressedSize), data.size());
    EXPECT_EQ(Get(local, localHeader::kSize), data.size());
    EXPECT_EQ(Get(local, localHeader::kNameLength), 9u);
    EXPECT_EQ(offsets.data, offsets.localHeader + localHeader::kRecordSize + 9 +
                                Get(local, localHeader::kExtraLength));

    const std::uint8_t* central = Bytes(archive, offsets.centralHeader);
    EXPECT_EQ(Get(central, centralHeader::kSignature), kCentralSignature);
    EXPECT_EQ(Get(central, centralHeader::kCrc), crc);
    EXPECT_EQ(Get(central, centralHeader::kSize), data.size());
    EXPECT_EQ(Get(central, centralHeader::kNameLength), 9u);
    EXPECT_EQ(Get(central, centralHeader::kLocalHeaderOffset), offsets.localHeader);
    EXPECT_EQ(archive.substr(offsets.centralHeader + centralHeader::kRecordSize, 9), "dir/a.txt");

    const std::uint8_t* end = Bytes(archive, writer.EndRecordOffset());
    EXPECT_EQ(Get(end, endRecord::kSignature), kEndSignature);
    EXPECT_EQ(Get(end, endRecord::kEntries), 1u);
    EXPECT_EQ(Get(end, endRecord::kDirectoryOffset), offsets.centralHeader);
    EXPECT_EQ(Get(end, endRecord::kDirectorySize),
              writer.EndRecordOffset() - offsets.centralHeader);
    EXPECT_EQ(writer.EndRecordOffset() + endRecord::kRecordSize, archive.size());
}

TEST(ZipFormatTest, FieldsAreWrittenLittleEndianAndReadBack) {
    std::string record(centralHeader::kRecordSize, '\0');
    Set(&record, centralHeader::kSignature, kCentralSignature);
    Set(&record, centralHeader::kFlags, 0xBEEF);
    Set(&record, centralHeader::kLocalHeaderOffset, 0x01020304u);
    EXPECT_EQ(record.substr(0, 4), "PK\x01\x02");
    EXPECT_EQ(record.substr(centralHeader::kFlags.offset, 2), "\xEF\xBE");
    EXPECT_EQ(record.substr(centralHeader::kLocalHeaderOffset.offset), "\x04\x03\x02\x01");
    const std::uint8_t* bytes = Bytes(record, 0);
    EXPECT_EQ(Get(bytes, centralHeader::kFlags), 0xBEEFu);
    EXPECT_EQ(Get(bytes, centralHeader::kLocalHeaderOffset), 0x01020304u);
    // A field leaves its neighbours alone.
    EXPECT_EQ(Get(bytes, centralHeader::kVersion), 0u);
    EXPECT_EQ(Get(bytes, centralHeader::kMethod), 0u);

    // The patch of a local header's sums: CRC, compressed size, size.
    EXPECT_EQ(LocalCrcAndSizes(0x11223344u, 5, 0x100),
              std::string("\x44\x33\x22\x11\x05\x00\x00\x00\x00\x01\x00\x00", 12));
}

} // namespace
