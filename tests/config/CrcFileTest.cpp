#include "config/CrcFile.h"

#include "config/LauncherChecksum.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

// Runs each test with a fresh temporary folder as the current folder.
class CrcFileTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::current_path(dir_.NarrowPath()); }
    void TearDown() override { std::filesystem::current_path(previous_); }

    std::filesystem::path previous_ = std::filesystem::current_path();
    testsupport::TempDir dir_;
};

TEST_F(CrcFileTest, ReplacesCrcTxtWithTheDecimalChecksum) {
    testsupport::WriteTestFile(dir_.File(L"crc.txt"), "an older, longer content");
    ASSERT_TRUE(config::WriteCrcFile());
    std::uint32_t expected = 0;
    ASSERT_TRUE(config::LauncherChecksum(nullptr, 0, config::kWalkSkipRepeatedBoundary, &expected));
    EXPECT_EQ(testsupport::ReadTestFile(dir_.File(L"crc.txt")), std::to_string(expected));
}

TEST_F(CrcFileTest, FailsWhenTheFileCannotBeCreated) {
    std::filesystem::create_directory(dir_.NarrowPath() + "crc.txt");
    EXPECT_FALSE(config::WriteCrcFile());
}

} // namespace
