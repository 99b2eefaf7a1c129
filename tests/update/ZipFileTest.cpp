#include "update/ZipFile.h"
#include "update/ZipInflate.h"

#include "support/ZipWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace update;
using testsupport::Put16;
using testsupport::Put32;
using testsupport::ZipWriter;

// Field positions in a central directory entry; the local header holds the
// same fields two bytes earlier.
constexpr std::size_t kFlags = 8, kMethod = 10, kCrc = 16, kPacked = 20, kSize = 24;

class ZipFileTest : public ::testing::Test {
protected:
    // Entry 0 stored, entry 1 deflated and larger than a sink block.
    void SetUp() override {
        writer_.Add("readme.txt", "stored text", ZipWriter::kStored);
        writer_.Add("data/big.bin", big_, ZipWriter::kDeflated);
        archive_ = writer_.Finish();
    }

    // Writes a field of an entry into both of its headers.
    void PatchBoth(std::size_t entry, std::size_t field, std::uint32_t value) {
        for (std::size_t at : {writer_.EntryOffsets(entry).centralHeader + field,
                               writer_.EntryOffsets(entry).localHeader + field - 2}) {
            if (field == kFlags || field == kMethod)
                Put16(&archive_, at, static_cast<std::uint16_t>(value));
            else
                Put32(&archive_, at, value);
        }
    }

    ZipResult Open() { return zip_.Open(archive_.data(), archive_.size()); }

    // 200 KiB of varied text, compressible like most game files.
    const std::string big_ = [] {
        std::string text;
        for (int i = 0; text.size() < 200 * 1024; ++i)
            text += "line " + std::to_string(i % 97) + " of the sample\n";
        return text;
    }();
    ZipWriter writer_;
    std::string archive_;
    CZipFile zip_;
};

TEST_F(ZipFileTest, ReadsStoredAndDeflatedEntriesEveryWay) {
    ASSERT_EQ(Open(), kZipOk);
    ASSERT_EQ(zip_.Count(), 2u);
    EXPECT_EQ(zip_.Entry(1)->name, "data\\big.bin");
    EXPECT_EQ(zip_.Entry(1)->uncompressedSize, big_.size());
    EXPECT_EQ(zip_.Entry(2), nullptr);
    std::size_t index = 9;
    EXPECT_FALSE(zip_.Find("data/big.bin", &index) || zip_.Find("README.TXT", &index));
    ASSERT_TRUE(zip_.Find("data\\big.bin", &index));
    EXPECT_EQ(index, 1u);

    std::string text;
    EXPECT_EQ(zip_.Extract(0, &text), kZipOk);
    EXPECT_EQ(text, "stored text");
    std::vector<char> buffer(big_.size() + 1, '#');
    EXPECT_EQ(zip_.Extract(1, buffer.data(), buffer.size()), kZipOk);
    EXPECT_EQ(std::string(buffer.data(), big_.size()), big_);
    EXPECT_EQ(buffer.back(), '#');

    // The sink gets bounded blocks that add up to the entry; false stops it.
    std::string joined;
    std::size_t largest = 0, calls = 0;
    auto sink = [&](const void* data, std::size_t size) {
        largest = std::max(largest, size);
        joined.append(static_cast<const char*>(data), size);
        return ++calls != 100;
    };
    EXPECT_EQ(zip_.Extract(1, sink), kZipOk);
    EXPECT_EQ(joined, big_);
    EXPECT_LE(largest, update::kInflateBlock);
    calls = 99;
    EXPECT_EQ(zip_.Extract(0, sink), kZipSinkFailed);
}

TEST_F(ZipFileTest, EmptyEntriesDuplicateAndUnusualNames) {
    ZipWriter writer;
    writer.Add("empty.stored", "", ZipWriter::kStored);
    writer.Add("empty.deflated", "", ZipWriter::kDeflated);
    writer.Add("twice", "first");
    writer.Add("twice", "second");
    writer.Add(std::string(259, 'n'), "fits");
    writer.Add(std::string(260, 'n'), "too long to look up");
    writer.Add("../../evil.dll", "reported, not judged");
    archive_ = writer.Finish();
    ASSERT_EQ(Open(), kZipOk);

    std::string text = "x";
    for (std::size_t i : {0, 1}) {
        EXPECT_EQ(zip_.Extract(i, &text), kZipOk);
        EXPECT_EQ(text, "");
    }
    std::size_t index = 0;
    ASSERT_TRUE(zip_.Find("twice", &index));
    EXPECT_EQ(index, 3u);
    EXPECT_TRUE(zip_.Find(std::string(259, 'n'), &index));
    EXPECT_FALSE(zip_.Find(std::string(260, 'n'), &index));
    EXPECT_EQ(zip_.Entry(6)->name, "..\\..\\evil.dll");
}

TEST_F(ZipFileTest, OpenRefusesNoArchiveOrADamagedDirectory) {
    EXPECT_EQ(zip_.Open(nullptr, 0), kZipNullPointer);
    for (const std::string& bytes : {std::string(), std::string(21, 0), std::string("Rar!")})
        EXPECT_EQ(zip_.Open(bytes.data(), bytes.size()), kZipNoEndRecord);

    const std::string good = archive_;
    const std::size_t end = writer_.EndRecordOffset();
    const std::size_t second = writer_.EntryOffsets(1).centralHeader;
    struct Case {
        std::size_t offset;
        std::uint32_t value;
        ZipResult expected;
    };
    for (const Case& c :
         {Case{end + 12, 0x7FFFFFF0u, kZipCorrupt},                              // directory size
          Case{end + 8, 0xFFFE, kZipCorrupt},                                    // entry counts
          Case{end + 8, 3, kZipCorrupt}, Case{second, 0x04034b50u, kZipCorrupt}, // entry signature
          Case{second + 28, 0xFFFF, kZipCorrupt},                                // name length
          Case{end + 8, 0xFFFF, kZipUnsupported},                                // ZIP64 markers
          Case{end + 16, 0xFFFFFFFFu, kZipUnsupported}}) {
        archive_ = good;
        Put32(&archive_, c.offset, c.value);
        EXPECT_EQ(Open(), c.expected) << c.offset;
        EXPECT_FALSE(zip_.IsOpen());
    }

    // An archive comment moves the end record out of the last 22 bytes.
    writer_.SetComment("comment");
    archive_ = writer_.Finish();
    EXPECT_EQ(Open(), kZipNoEndRecord);
}

TEST_F(ZipFileTest, ExtractChecksItsArguments) {
    std::string text;
    char byte = 0;
    EXPECT_EQ(zip_.Extract(0, &text), kZipNotOpen);
    ASSERT_EQ(Open(), kZipOk);
    EXPECT_EQ(zip_.Extract(2, &text), kZipInvalidArg);
    EXPECT_EQ(zip_.Extract(0, nullptr, 100), kZipNullPointer);
    EXPECT_EQ(zip_.Extract(0, CZipFile::Sink()), kZipNullPointer);
    EXPECT_EQ(zip_.Extract(0, &byte, 1), kZipInvalidArg); // smaller than the entry
}

TEST_F(ZipFileTest, HostileEntriesAreRefused) {
    const std::string good = archive_;
    const ZipWriter::Offsets deflated = writer_.EntryOffsets(1);
    // The directory follows the last entry's data.
    const auto packed =
        static_cast<std::uint32_t>(writer_.EntryOffsets(0).centralHeader - deflated.data);
    const auto size = static_cast<std::uint32_t>(big_.size());
    struct Case {
        const char* what;
        std::size_t entry, field;
        std::uint32_t value;
        ZipResult expected;
    };
    for (const Case& c : {
             Case{"packed size past the end", 1, kPacked, 0x7FFFFFFFu, kZipCorrupt},
             Case{"wrong CRC", 1, kCrc, 0x12345678u, kZipCorrupt},
             Case{"stored sizes differ", 0, kSize, 5, kZipCorrupt},
             Case{"size too large", 1, kSize, size + 1, kZipCorrupt},
             Case{"size too small", 1, kSize, size - 1, kZipCorrupt},
             Case{"impossible expansion", 1, kSize, 0xFFFFFFF0u, kZipCorrupt},
             Case{"stream cut short", 1, kPacked, packed / 2, kZipCorrupt},
             Case{"unknown method", 1, kMethod, 14, kZipUnsupported},
             Case{"encrypted", 0, kFlags, 1, kZipUnsupported},
             Case{"ZIP64 sizes", 0, kPacked, 0xFFFFFFFFu, kZipUnsupported},
         }) {
        archive_ = good;
        PatchBoth(c.entry, c.field, c.value);
        ASSERT_EQ(Open(), kZipOk) << c.what;
        std::string text = "previous";
        EXPECT_EQ(zip_.Extract(c.entry, &text), c.expected) << c.what;
        EXPECT_EQ(text, "") << c.what;
        EXPECT_EQ(zip_.Extract(c.entry, [](const void*, std::size_t) { return true; }), c.expected)
            << c.what;
        EXPECT_EQ(zip_.Extract(1 - c.entry, &text), kZipOk) << c.what;
    }

    // The local header must agree with the directory and lie inside the data.
    const std::size_t local = deflated.localHeader;
    for (auto [offset, value] : {std::pair<std::size_t, std::uint32_t>{local + 14, 1}, // CRC
                                 {local + 8, 0},                                       // method
                                 {local + 26, 0xFFFF}, // name length
                                 {local, 0},           // signature
                                 {deflated.centralHeader + 42, good.size() - 10}}) {
        archive_ = good;
        Put32(&archive_, offset, value);
        ASSERT_EQ(Open(), kZipOk);
        std::string text;
        EXPECT_EQ(zip_.Extract(1, &text), kZipCorrupt) << offset;
    }
}

TEST_F(ZipFileTest, DataDescriptorEntriesUseTheDirectorySizes) {
    ZipWriter writer;
    writer.Add("streamed.txt", big_, ZipWriter::kDeflated, 0x0008);
    archive_ = writer.Finish();
    for (std::size_t field : {kCrc, kPacked, kSize})
        Put32(&archive_, writer.EntryOffsets(0).localHeader + field - 2, 0);
    ASSERT_EQ(Open(), kZipOk);
    std::string text;
    EXPECT_EQ(zip_.Extract(0, &text), kZipOk);
    EXPECT_EQ(text, big_);
}

// Damage anywhere, or a cut, must never give wrong bytes: an entry either
// fails or comes out as it went in. Under the sanitizers this also covers
// reads outside the buffer.
TEST_F(ZipFileTest, NoSingleByteDamageOrCutGivesWrongContent) {
    ZipWriter writer;
    const std::vector<std::string> contents = {"alpha alpha alpha", "beta"};
    writer.Add("a.txt", contents[0], ZipWriter::kDeflated);
    writer.Add("b/c.txt", contents[1], ZipWriter::kStored);
    const std::string good = writer.Finish();

    auto check = [&](const std::string& bytes, std::size_t pos) {
        CZipFile zip;
        if (zip.Open(bytes.data(), bytes.size()) != kZipOk)
            return;
        for (std::size_t i = 0; i < std::min(zip.Count(), contents.size()); ++i) {
            std::string text;
            if (zip.Extract(i, &text) == kZipOk) {
                EXPECT_EQ(text, contents[i]) << "at " << pos << " entry " << i;
            }
        }
    };
    for (std::size_t pos = 0; pos < good.size(); ++pos) {
        for (unsigned char mask : {0x01, 0x80, 0xFF}) {
            std::string bytes = good;
            bytes[pos] = static_cast<char>(bytes[pos] ^ mask);
            check(bytes, pos);
        }
        check(good.substr(0, pos), pos);
    }
}

} // namespace
