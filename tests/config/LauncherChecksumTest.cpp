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

// The launcher checksum of bytes that all count: a CRC-32 whose register
// starts at 0 is zlib's CRC continued from 0xFFFFFFFF.
std::uint32_t CountedChecksum(const std::string& counted) {
    return static_cast<std::uint32_t>(crc32(0xFFFFFFFFu,
                                            reinterpret_cast<const Bytef*>(counted.data()),
                                            static_cast<uInt>(counted.size())));
}

const config::StubField& Field(const char* typeName) {
    return *config::FindStubField(typeName);
}

TEST(LauncherChecksumTest, ImagesWithoutFieldsOrWithoutCountedBytes) {
    EXPECT_EQ(LauncherChecksumOfImage("abc", kWalkSkipRepeatedBoundary), 0x359A672Fu);
    EXPECT_EQ(LauncherChecksumOfImage("abc", kWalkCountEmptyRun), 0x359A672Fu);
    EXPECT_EQ(LauncherChecksumOfImage("", kWalkSkipRepeatedBoundary), 0xFFFFFFFFu);
    // A field at offset 0 that ends just before its last byte: nothing counts.
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
        counted += image.substr(position, at - position);
        position = at + field.size - 1;
    }
    counted += image.substr(position);
    for (int walk : {kWalkSkipRepeatedBoundary, kWalkCountEmptyRun})
        EXPECT_EQ(LauncherChecksumOfImage(image, walk), CountedChecksum(counted)) << walk;

    // A second occurrence of a marker is ordinary data.
    std::string twice = image + stubimage::EmptyField(Field("PROMOCODE"));
    EXPECT_EQ(LauncherChecksumOfImage(twice, kWalkSkipRepeatedBoundary),
              CountedChecksum(counted + stubimage::EmptyField(Field("PROMOCODE"))));
}

TEST(LauncherChecksumTest, WalksDifferWhenBoundariesCoincide) {
    // The LANGUAGE marker starts on the last byte of the UPDATE_PATH field, so
    // one skipped run ends where the next begins.
    std::string head = stubimage::Filler(80, 6), tail = stubimage::Filler(90, 7);
    std::string pathBlock = stubimage::EmptyField(Field("UPDATE_PATH"));
    pathBlock.pop_back();
    std::string languageBlock = stubimage::EmptyField(Field("LANGUAGE"));
    std::string image = head + pathBlock + languageBlock + tail;

    // Walk 0 drops the repeated boundary: LANGUAGE counts, the rest is skipped.
    EXPECT_EQ(LauncherChecksumOfImage(image, kWalkSkipRepeatedBoundary),
              CountedChecksum(head + languageBlock.substr(0, languageBlock.size() - 1)));
    // Walk 1 ends an empty run there: LANGUAGE is skipped as a field should be.
    EXPECT_EQ(LauncherChecksumOfImage(image, kWalkCountEmptyRun),
              CountedChecksum(head + languageBlock.substr(languageBlock.size() - 1) + tail));
}

TEST(LauncherChecksumTest, FileFormAndItsErrorCode) {
    testsupport::TempDir dir;
    std::string image = stubimage::LauncherImage();
    testsupport::WriteTestFile(dir.File(L"image.bin"), image);
    std::uint32_t checksum = 0;
    ASSERT_TRUE(
        config::LauncherChecksumOfFile(dir.File(L"image.bin"), kWalkCountEmptyRun, &checksum));
    EXPECT_EQ(checksum, LauncherChecksumOfImage(image, kWalkCountEmptyRun));

    plat::ErrorCode error = 0;
    plat::SetLastError(0);
    EXPECT_FALSE(
        config::LauncherChecksumOfFile(dir.File(L"missing.exe"), 0, &checksum, &error, {3, 0}));
    EXPECT_EQ(error, plat::kErrFileNotFound);
    EXPECT_EQ(plat::GetLastError(), plat::kErrFileNotFound);
}

TEST(LauncherChecksumTest, WithoutAnImageTheRunningExecutableIsRead) {
    std::uint32_t running = 0;
    ASSERT_TRUE(config::LauncherChecksum(nullptr, 0, kWalkSkipRepeatedBoundary, &running));
    std::string image = testsupport::ReadTestFile(plat::GetExecutablePath());
    EXPECT_EQ(running, LauncherChecksumOfImage(image, kWalkSkipRepeatedBoundary));
    std::uint32_t fromMemory = 0;
    ASSERT_TRUE(config::LauncherChecksum(image.data(), image.size(), 0, &fromMemory));
    EXPECT_EQ(fromMemory, running);
}

} // namespace
