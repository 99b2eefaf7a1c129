#include "update/ZipFile.h"

#include "support/ZipWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace update;
using testsupport::Put16;
using testsupport::Put32;
using testsupport::ZipWriter;

// Field positions in a central directory entry. The local header holds the
// same fields two bytes earlier.
constexpr std::size_t kFlags = 8, kMethod = 10, kCrc = 16, kPacked = 20, kSize = 24;
constexpr std::size_t kNameLength = 28, kLocalOffset = 42;

std::string Pattern(std::size_t size) {
    std::string text;
    for (std::size_t i = 0; text.size() < size; ++i)
        text += "line " + std::to_string(i % 97) + " of the sample\n";
    text.resize(size);
    return text;
}

class ZipFileTest : public ::testing::Test {
protected:
    // Two entries: 0 stored, 1 deflated.
    void SetUp() override {
        writer_.Add("readme.txt", "stored text", ZipWriter::kStored);
        writer_.Add("data/big.bin", big_, ZipWriter::kDeflated);
        archive_ = writer_.Finish();
    }

    // Writes a field of an entry into both of its headers.
    void PatchBoth32(std::size_t entry, std::size_t field, std::uint32_t value) {
        Put32(&archive_, writer_.EntryOffsets(entry).centralHeader + field, value);
        Put32(&archive_, writer_.EntryOffsets(entry).localHeader + field - 2, value);
    }
    void PatchBoth16(std::size_t entry, std::size_t field, std::uint16_t value) {
        Put16(&archive_, writer_.EntryOffsets(entry).centralHeader + field, value);
        Put16(&archive_, writer_.EntryOffsets(entry).localHeader + field - 2, value);
    }

    ZipResult Open() { return zip_.Open(archive_.data(), archive_.size()); }

    ZipResult ExtractEntry(std::size_t index) {
        std::string bytes;
        return zip_.Extract(index, &bytes);
    }

    const std::string big_ = Pattern(200 * 1024);
    ZipWriter writer_;
    std::string archive_;
    CZipFile zip_;
};

TEST_F(ZipFileTest, ReadsStoredAndDeflatedEntriesEveryWay) {
    ASSERT_EQ(Open(), kZipOk);
    ASSERT_EQ(zip_.Count(), 2u);
    const ZipEntry* entry = zip_.Entry(1);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->name, "data\\big.bin");
    EXPECT_EQ(entry->method, 8);
    EXPECT_EQ(entry->uncompressedSize, big_.size());
    EXPECT_LT(entry->compressedSize, entry->uncompressedSize);
    EXPECT_EQ(zip_.Entry(2), nullptr);

    std::size_t index = 9;
    EXPECT_FALSE(zip_.Find("data/big.bin", &index));
    EXPECT_FALSE(zip_.Find("README.TXT", &index));
    ASSERT_TRUE(zip_.Find("data\\big.bin", &index));
    EXPECT_EQ(index, 1u);

    std::string text;
    EXPECT_EQ(zip_.Extract(0, &text), kZipOk);
    EXPECT_EQ(text, "stored text");
    std::vector<char> buffer(big_.size() + 3, '#');
    EXPECT_EQ(zip_.Extract(1, buffer.data(), buffer.size()), kZipOk);
    EXPECT_EQ(std::string(buffer.data(), big_.size()), big_);
    EXPECT_EQ(buffer.back(), '#'); // nothing beyond the entry is touched

    // The sink gets bounded blocks that add up to the entry.
    for (std::size_t i = 0; i < 2; ++i) {
        std::string joined;
        std::size_t largest = 0;
        EXPECT_EQ(zip_.Extract(i,
                               [&](const void* data, std::size_t size) {
                                   largest = std::max(largest, size);
                                   joined.append(static_cast<const char*>(data), size);
                                   return true;
                               }),
                  kZipOk);
        EXPECT_EQ(joined, i == 0 ? "stored text" : big_);
        EXPECT_LE(largest, 64u * 1024);
    }

    // A refusing sink stops the extraction.
    int calls = 0;
    EXPECT_EQ(zip_.Extract(1, [&](const void*, std::size_t) { return ++calls < 2; }),
              kZipSinkFailed);
    EXPECT_EQ(calls, 2);
}

TEST_F(ZipFileTest, EmptyEntriesDuplicatesAndLongNames) {
    ZipWriter writer;
    writer.Add("empty.stored", "", ZipWriter::kStored);
    writer.Add("empty.deflated", "", ZipWriter::kDeflated);
    writer.Add("twice", "first");
    writer.Add("twice", "second");
    writer.Add(std::string(259, 'n'), "fits");
    writer.Add(std::string(260, 'n'), "too long");
    writer.Add("..\\..\\evil.dll", "reported as stored");
    writer.Add("/abs/path", "as well");
    archive_ = writer.Finish();
    ASSERT_EQ(Open(), kZipOk);

    std::string text = "x";
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(zip_.Extract(i, &text), kZipOk);
        EXPECT_EQ(text, "");
    }
    std::size_t index = 0;
    ASSERT_TRUE(zip_.Find("twice", &index));
    EXPECT_EQ(index, 3u);
    EXPECT_TRUE(zip_.Find(std::string(259, 'n'), &index));
    EXPECT_FALSE(zip_.Find(std::string(260, 'n'), &index));
    // Names are reported, not judged; keeping entries inside the folder is
    // the unpacker's task.
    EXPECT_EQ(zip_.Entry(6)->name, "..\\..\\evil.dll");
    EXPECT_EQ(zip_.Entry(7)->name, "\\abs\\path");
    EXPECT_EQ(zip_.Extract(6, &text), kZipOk);
}

TEST_F(ZipFileTest, OpenRefusesWhatIsNoPlainArchive) {
    EXPECT_EQ(zip_.Open(nullptr, 0), kZipNullPointer);
    for (const std::string& bytes : {std::string(), std::string("PK\5\6", 4), std::string(21, 0),
                                     std::string("Rar!\x1a\x07\x00", 7)})
        EXPECT_EQ(zip_.Open(bytes.data(), bytes.size()), kZipNoEndRecord);

    // An archive comment moves the end record away from the last 22 bytes.
    writer_.SetComment("comment");
    archive_ = writer_.Finish();
    EXPECT_EQ(Open(), kZipNoEndRecord);
    EXPECT_FALSE(zip_.IsOpen());
    EXPECT_EQ(zip_.Count(), 0u);
}

TEST_F(ZipFileTest, OpenRefusesADamagedDirectory) {
    const std::string good = archive_;
    const std::size_t end = writer_.EndRecordOffset();
    struct Case {
        const char* what;
        std::size_t offset;
        std::uint32_t value;
        bool wide;
        ZipResult expected;
    };
    const std::size_t second = writer_.EntryOffsets(1).centralHeader;
    for (const Case& c : {
             Case{"directory larger than the data", end + 12, 0x7FFFFFF0u, true, kZipCorrupt},
             Case{"more entries than the directory holds", end + 8, 0xFFFE, false, kZipCorrupt},
             Case{"one entry too many", end + 8, 3, false, kZipCorrupt},
             Case{"entry signature", second, 0x04034b50u, true, kZipCorrupt},
             Case{"name past the directory", second + kNameLength, 0xFFFF, false, kZipCorrupt},
             Case{"ZIP64 count", end + 8, 0xFFFF, false, kZipUnsupported},
             Case{"ZIP64 directory offset", end + 16, 0xFFFFFFFFu, true, kZipUnsupported},
         }) {
        archive_ = good;
        if (c.wide)
            Put32(&archive_, c.offset, c.value);
        else
            Put16(&archive_, c.offset, static_cast<std::uint16_t>(c.value));
        EXPECT_EQ(Open(), c.expected) << c.what;
        EXPECT_FALSE(zip_.IsOpen()) << c.what;
    }

    // Data in front of the archive do not matter: the directory is found
    // from the end record, not from its offset field.
    archive_ = "prefix bytes" + good;
    ASSERT_EQ(Open(), kZipOk);
    EXPECT_EQ(ExtractEntry(0), kZipCorrupt); // local offsets now point 12 bytes early
}

TEST_F(ZipFileTest, ExtractChecksItsArguments) {
    std::string text;
    char byte = 0;
    EXPECT_EQ(zip_.Extract(0, &text), kZipNotOpen);
    EXPECT_EQ(zip_.Extract(0, &byte, 1), kZipNotOpen);
    ASSERT_EQ(Open(), kZipOk);
    EXPECT_EQ(zip_.Extract(2, &text), kZipInvalidArg);
    EXPECT_EQ(zip_.Extract(0, nullptr, 100), kZipNullPointer);
    EXPECT_EQ(zip_.Extract(0, static_cast<std::string*>(nullptr)), kZipNullPointer);
    EXPECT_EQ(zip_.Extract(0, CZipFile::Sink()), kZipNullPointer);
    EXPECT_EQ(zip_.Extract(0, &byte, 1), kZipInvalidArg); // smaller than the entry
    zip_.Close();
    EXPECT_EQ(zip_.Extract(0, &text), kZipNotOpen);
}

TEST_F(ZipFileTest, HostileEntriesAreRefused) {
    const std::string good = archive_;
    const ZipWriter::Offsets stored = writer_.EntryOffsets(0);
    const ZipWriter::Offsets deflated = writer_.EntryOffsets(1);
    ASSERT_EQ(Open(), kZipOk);
    const std::uint32_t packed = zip_.Entry(1)->compressedSize;
    struct Case {
        const char* what;
        std::size_t entry;
        std::function<void()> damage;
        ZipResult expected;
    };
    const std::vector<Case> cases = {
        {"local header past the end", 1,
         [&] { Put32(&archive_, deflated.centralHeader + kLocalOffset, 0xFFFFFF00u); },
         kZipCorrupt},
        {"local header over the end", 1,
         [&] {
             Put32(&archive_, deflated.centralHeader + kLocalOffset,
                   static_cast<std::uint32_t>(archive_.size() - 10));
         },
         kZipCorrupt},
        {"local signature", 0, [&] { Put32(&archive_, stored.localHeader, 0x02014b50u); },
         kZipCorrupt},
        {"local name past the end", 1, [&] { Put16(&archive_, deflated.localHeader + 26, 0xFFFF); },
         kZipCorrupt},
        {"packed size past the end", 1, [&] { PatchBoth32(1, kPacked, 0x7FFFFFFFu); }, kZipCorrupt},
        {"wrong stored CRC", 0, [&] { PatchBoth32(0, kCrc, 0x12345678u); }, kZipCorrupt},
        {"wrong deflated CRC", 1, [&] { PatchBoth32(1, kCrc, 0x12345678u); }, kZipCorrupt},
        {"changed stored byte", 0, [&] { archive_[stored.data] ^= 1; }, kZipCorrupt},
        {"stored sizes differ", 0, [&] { PatchBoth32(0, kSize, 5); }, kZipCorrupt},
        {"deflated size too large", 1,
         [&] { PatchBoth32(1, kSize, static_cast<std::uint32_t>(big_.size() + 1)); }, kZipCorrupt},
        {"deflated size too small", 1,
         [&] { PatchBoth32(1, kSize, static_cast<std::uint32_t>(big_.size() - 1)); }, kZipCorrupt},
        {"impossible expansion", 1, [&] { PatchBoth32(1, kSize, 0xFFFFFFF0u); }, kZipCorrupt},
        {"deflate stream cut short", 1, [&] { PatchBoth32(1, kPacked, packed - 20); }, kZipCorrupt},
        {"deflate stream garbage", 1,
         [&] { archive_.replace(deflated.data, 4, "\xFF\xFF\xFF\xFF"); }, kZipCorrupt},
        {"headers disagree on the CRC", 0,
         [&] { Put32(&archive_, stored.localHeader + kCrc - 2, 1); }, kZipCorrupt},
        {"headers disagree on the method", 0,
         [&] { Put16(&archive_, stored.localHeader + kMethod - 2, 8); }, kZipCorrupt},
        {"unknown method", 1, [&] { PatchBoth16(1, kMethod, 14); }, kZipUnsupported},
        {"encrypted", 0, [&] { PatchBoth16(0, kFlags, 1); }, kZipUnsupported},
        {"strong encryption", 0, [&] { PatchBoth16(0, kFlags, 0x40); }, kZipUnsupported},
        {"ZIP64 sizes", 0, [&] { PatchBoth32(0, kPacked, 0xFFFFFFFFu); }, kZipUnsupported},
    };
    for (const Case& c : cases) {
        archive_ = good;
        c.damage();
        ASSERT_EQ(Open(), kZipOk) << c.what;
        std::string text = "previous";
        EXPECT_EQ(zip_.Extract(c.entry, &text), c.expected) << c.what;
        EXPECT_EQ(text, "") << c.what;
        EXPECT_EQ(zip_.Extract(c.entry, [](const void*, std::size_t) { return true; }), c.expected)
            << c.what;
        // The other entry is unaffected.
        EXPECT_EQ(ExtractEntry(1 - c.entry), kZipOk) << c.what;
    }
}

TEST_F(ZipFileTest, DataDescriptorEntriesUseTheDirectorySizes) {
    ZipWriter writer;
    writer.Add("streamed.txt", big_, ZipWriter::kDeflated, 0x0008);
    archive_ = writer.Finish();
    const std::size_t local = writer.EntryOffsets(0).localHeader;
    for (std::size_t field : {kCrc, kPacked, kSize})
        Put32(&archive_, local + field - 2, 0);
    ASSERT_EQ(Open(), kZipOk);
    std::string text;
    EXPECT_EQ(zip_.Extract(0, &text), kZipOk);
    EXPECT_EQ(text, big_);
}

// Damage anywhere must never give wrong bytes: each entry either fails or
// comes out exactly as it went in. Run under the sanitizers, this also
// covers reads outside the buffer.
TEST_F(ZipFileTest, NoSingleByteDamageOrCutGivesWrongContent) {
    ZipWriter writer;
    writer.Add("a.txt", "alpha alpha alpha", ZipWriter::kDeflated);
    writer.Add("b/c.txt", "beta", ZipWriter::kStored);
    const std::string good = writer.Finish();
    const std::vector<std::string> contents = {"alpha alpha alpha", "beta"};

    auto check = [&](const std::string& bytes, const std::string& what) {
        CZipFile zip;
        if (zip.Open(bytes.data(), bytes.size()) != kZipOk)
            return;
        for (std::size_t i = 0; i < zip.Count() && i < contents.size(); ++i) {
            std::string text;
            if (zip.Extract(i, &text) == kZipOk) {
                EXPECT_EQ(text, contents[i]) << what << " entry " << i;
            }
        }
    };
    for (std::size_t pos = 0; pos < good.size(); ++pos) {
        for (unsigned char mask : {0x01, 0x80, 0xFF}) {
            std::string bytes = good;
            bytes[pos] = static_cast<char>(bytes[pos] ^ mask);
            check(bytes, "byte " + std::to_string(pos));
        }
        check(good.substr(0, pos), "cut at " + std::to_string(pos));
    }
}

} // namespace
