#include "config/LauncherChecksum.h"

#include "StubImage.h"
#include "platform/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

namespace {

using config::kWalkCountEmptyRun;
using config::kWalkSkipRepeatedBoundary;
using config::LauncherChecksumOfImage;

// The launcher checksum of bytes that are all counted: a CRC-32 whose
// register starts at 0 is zlib's CRC continued from 0xFFFFFFFF.
std::uint32_t CountedChecksum(const std::string& counted) {
    return static_cast<std::uint32_t>(crc32(0xFFFFFFFFu,
                                            reinterpret_cast<const Bytef*>(counted.data()),
                                            static_cast<uInt>(counted.size())));
}

const config::StubField& Field(const char* typeName) {
    return *config::FindStubField(typeName);
}

TEST(LauncherChecksumTest, ImageWithoutMarkersIsCountedWhole) {
    EXPECT_EQ(LauncherChecksumOfImage("abc", kWalkSkipRepeatedBoundary), 0x359A672Fu);
    EXPECT_EQ(LauncherChecksumOfImage("abc", kWalkCountEmptyRun), 0x359A672Fu);
    std::string filler = stubimage::Filler(5000, 9);
    EXPECT_EQ(LauncherChecksumOfImage(filler, kWalkSkipRepeatedBoundary), CountedChecksum(filler));
}

TEST(LauncherChecksumTest, NoCountedBytesGivesAllOnes) {
    EXPECT_EQ(LauncherChecksumOfImage("", kWalkSkipRepeatedBoundary), 0xFFFFFFFFu);
    // A field at offset 0 that ends one byte before its last (zero) byte:
    // everything is skipped in either walk.
    std::string field = stubimage::EmptyField(Field("LANGUAGE"));
    field.pop_back();
    EXPECT_EQ(LauncherChecksumOfImage(field, kWalkSkipRepeatedBoundary), 0xFFFFFFFFu);
    EXPECT_EQ(LauncherChecksumOfImage(field, kWalkCountEmptyRun), 0xFFFFFFFFu);
}

TEST(LauncherChecksumTest, SkipsEachFieldButItsLastByte) {
    std::string image = stubimage::LauncherImage();
    std::string counted;
    std::size_t position = 0;
    for (const config::StubField& field : config::StubFieldTable()) {
        std::size_t at = image.find(config::StubMarker(field));
        ASSERT_NE(at, std::string::npos);
        counted += image.substr(position, at - position);
        position = at + field.size - 1;
    }
    counted += image.substr(position);
    for (int walk : {kWalkSkipRepeatedBoundary, kWalkCountEmptyRun})
        EXPECT_EQ(LauncherChecksumOfImage(image, walk), CountedChecksum(counted)) << walk;

    // Anything written after the marker into the field's skipped bytes leaves
    // the value alone; the field's last byte and the bytes around it count.
    std::size_t at = image.find(config::StubMarker(Field("AFFILIATE_ID")));
    std::string patched = image;
    for (std::size_t i = at + config::StubMarker(Field("AFFILIATE_ID")).size();
         i < at + Field("AFFILIATE_ID").size - 1; ++i)
        patched[i] = 'p';
    EXPECT_EQ(LauncherChecksumOfImage(patched, kWalkSkipRepeatedBoundary),
              LauncherChecksumOfImage(image, kWalkSkipRepeatedBoundary));
    for (std::size_t changed : {at - 1, at + Field("AFFILIATE_ID").size - 1}) {
        std::string other = image;
        other[changed] = static_cast<char>(other[changed] ^ 0x40);
        EXPECT_NE(LauncherChecksumOfImage(other, kWalkSkipRepeatedBoundary),
                  LauncherChecksumOfImage(image, kWalkSkipRepeatedBoundary))
            << changed;
    }
}

TEST(LauncherChecksumTest, OnlyTheFirstOccurrenceOfAMarkerIsSkipped) {
    const config::StubField& field = Field("PROMOCODE");
    std::string head = stubimage::Filler(64, 3), middle = stubimage::Filler(32, 4);
    std::string second = stubimage::EmptyField(field);
    std::string image = head + stubimage::EmptyField(field) + middle + second;
    std::string counted = head + std::string(1, '\0') + middle + second;
    EXPECT_EQ(LauncherChecksumOfImage(image, kWalkSkipRepeatedBoundary), CountedChecksum(counted));
}

TEST(LauncherChecksumTest, FieldRunningPastTheEndIsSkippedToTheEnd) {
    std::string head = stubimage::Filler(100, 5);
    std::string image = head + stubimage::EmptyField(Field("UPDATE_PATH")).substr(0, 40);
    for (int walk : {kWalkSkipRepeatedBoundary, kWalkCountEmptyRun})
        EXPECT_EQ(LauncherChecksumOfImage(image, walk), CountedChecksum(head)) << walk;
}

TEST(LauncherChecksumTest, WalksDifferWhenBoundariesCoincide) {
    // The LANGUAGE marker starts on the last byte of the UPDATE_PATH field,
    // so the end of one skipped run and the start of the next coincide.
    const config::StubField& path = Field("UPDATE_PATH");
    const config::StubField& language = Field("LANGUAGE");
    std::string head = stubimage::Filler(80, 6), tail = stubimage::Filler(90, 7);
    std::string pathBlock = stubimage::EmptyField(path);
    pathBlock.pop_back();
    std::string languageBlock = stubimage::EmptyField(language);
    std::string image = head + pathBlock + languageBlock + tail;
    std::size_t languageEnd = head.size() + pathBlock.size() + language.size - 1;

    // Walk 0 drops the repeated boundary: the LANGUAGE run is counted and the
    // rest of the image skipped.
    EXPECT_EQ(LauncherChecksumOfImage(image, kWalkSkipRepeatedBoundary),
              CountedChecksum(head + languageBlock.substr(0, language.size - 1)));
    // Walk 1 ends an empty run there: LANGUAGE is skipped as a field should be.
    EXPECT_EQ(LauncherChecksumOfImage(image, kWalkCountEmptyRun),
              CountedChecksum(head + image.substr(languageEnd)));
}

TEST(LauncherChecksumTest, FileFormReadsTheWholeFile) {
    testsupport::TempDir dir;
    std::string image = stubimage::LauncherImage();
    testsupport::WriteTestFile(dir.File(L"image.bin"), image);
    std::uint32_t checksum = 0;
    plat::ErrorCode error = 0;
    ASSERT_TRUE(config::LauncherChecksumOfFile(dir.File(L"image.bin"), kWalkCountEmptyRun,
                                               &checksum, &error));
    EXPECT_EQ(checksum, LauncherChecksumOfImage(image, kWalkCountEmptyRun));

    // The in-memory form of the launcher entry point gives the same value.
    std::uint32_t fromMemory = 0;
    ASSERT_TRUE(
        config::LauncherChecksum(image.data(), image.size(), kWalkCountEmptyRun, &fromMemory));
    EXPECT_EQ(fromMemory, checksum);
}

TEST(LauncherChecksumTest, UnreadableFileGivesTheLastErrorCode) {
    testsupport::TempDir dir;
    std::uint32_t checksum = 12345;
    plat::ErrorCode error = 0;
    plat::SetLastError(0);
    EXPECT_FALSE(
        config::LauncherChecksumOfFile(dir.File(L"missing.exe"), 0, &checksum, &error, {3, 0}));
    EXPECT_EQ(error, plat::kErrFileNotFound);
    EXPECT_EQ(plat::GetLastError(), plat::kErrFileNotFound);
    EXPECT_EQ(checksum, 12345u);
}

TEST(LauncherChecksumTest, RunningExecutableIsReadFromItsFile) {
    std::uint32_t running = 0;
    plat::ErrorCode error = 0;
    ASSERT_TRUE(config::LauncherChecksum(nullptr, 0, kWalkSkipRepeatedBoundary, &running, &error));
    std::string image = testsupport::ReadTestFile(plat::GetExecutablePath());
    ASSERT_FALSE(image.empty());
    EXPECT_EQ(running, LauncherChecksumOfImage(image, kWalkSkipRepeatedBoundary));
}

} // namespace
