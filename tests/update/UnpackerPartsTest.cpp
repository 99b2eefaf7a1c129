// The part cache as the window thread uses it: received parts, their state,
// reading a temporary file whole, and the bound on parts held in memory.

#include "UnpackerFixture.h"

#include "support/TempDir.h"
#include "update/UnpackerThread.h"

#include <gtest/gtest.h>

namespace {

using testsupport::ReadTestFile;
using testsupport::WriteTestFile;
using unpackertest::Pattern;
using unpackertest::ZlibCrc;

class UnpackerPartsTest : public ::testing::Test {
protected:
    std::wstring Temp(const std::wstring& name) const { return dir_.File(name); }

    std::string State(update::CUnpackerThread& unpacker, const std::wstring& path) {
        std::uint32_t size = 0, crc = 0;
        bool found = unpacker.GetPartState(path, &size, &crc);
        return (found ? "found " : "missing ") + std::to_string(size) + " " + std::to_string(crc);
    }

    testsupport::TempDir dir_;
};

TEST_F(UnpackerPartsTest, PartsContinueTheFileOnDiskAndReachItOnFlush) {
    std::string all = Pattern(350, 1);
    std::wstring path = Temp(L"pkg.tmp");
    WriteTestFile(path, all.substr(0, 200));
    update::CUnpackerThread unpacker;
    ASSERT_TRUE(unpacker.AddFilePart(path, all.data() + 200, 100));
    ASSERT_TRUE(unpacker.AddFilePart(path, all.data() + 300, 50));

    EXPECT_EQ(State(unpacker, path), "found 350 " + std::to_string(ZlibCrc(all)));
    EXPECT_EQ(ReadTestFile(path).size(), 200u);
    CBuffer whole;
    ASSERT_TRUE(unpacker.ReadTempFile(path, &whole));
    EXPECT_EQ(whole.View(), all);

    unpacker.FlushParts();
    EXPECT_EQ(ReadTestFile(path), all);
    unpacker.FlushParts(); // nothing pending: nothing written twice
    EXPECT_EQ(ReadTestFile(path), all);
    EXPECT_EQ(State(unpacker, path), "found 350 " + std::to_string(ZlibCrc(all)));
}

TEST_F(UnpackerPartsTest, RegistrationCompletionAndForgetting) {
    update::CUnpackerThread unpacker;
    std::wstring missing = Temp(L"none.tmp");
    EXPECT_EQ(State(unpacker, missing), "missing 0 0");
    ASSERT_TRUE(unpacker.AddFilePart(missing, nullptr, 0));
    EXPECT_EQ(State(unpacker, missing), "found 0 0");

    std::string bytes = Pattern(64, 2);
    ASSERT_TRUE(unpacker.AddFilePart(missing, bytes.data(), bytes.size()));
    unpacker.MarkTempFileComplete(missing);
    EXPECT_FALSE(unpacker.AddFilePart(missing, bytes.data(), bytes.size()));
    EXPECT_TRUE(unpacker.AddFilePart(missing, nullptr, 0));
    EXPECT_EQ(State(unpacker, missing), "found 64 " + std::to_string(ZlibCrc(bytes)));

    // Forgotten: no bytes, parts accepted again from the start.
    unpacker.ForgetTempFile(missing);
    EXPECT_EQ(State(unpacker, missing), "found 0 0");
    ASSERT_TRUE(unpacker.AddFilePart(missing, bytes.data(), 10));
    EXPECT_EQ(State(unpacker, missing), "found 10 " + std::to_string(ZlibCrc(bytes.substr(0, 10))));
    unpacker.FlushParts();
    EXPECT_EQ(ReadTestFile(missing), bytes.substr(0, 10));

    unpacker.RequestStop();
    EXPECT_FALSE(unpacker.AddFilePart(Temp(L"late.tmp"), bytes.data(), 1));
}

TEST_F(UnpackerPartsTest, ReadingNeedsExactlyTheCachedBytes) {
    update::CUnpackerThread unpacker;
    CBuffer bytes;
    EXPECT_FALSE(unpacker.ReadTempFile(Temp(L"unknown.tmp"), &bytes));

    // The file lost bytes after it was registered: the read comes up short.
    std::wstring shrunk = Temp(L"shrunk.tmp");
    WriteTestFile(shrunk, Pattern(100, 3));
    ASSERT_TRUE(unpacker.AddFilePart(shrunk, "xy", 2));
    WriteTestFile(shrunk, Pattern(60, 3));
    EXPECT_FALSE(unpacker.ReadTempFile(shrunk, &bytes));

    // The file grew: the pending parts no longer fit the cached size.
    WriteTestFile(shrunk, Pattern(150, 3));
    EXPECT_FALSE(unpacker.ReadTempFile(shrunk, &bytes));
}

TEST_F(UnpackerPartsTest, PartsBeyondTheMemoryBoundGoToTheFile) {
    std::string all = Pattern(1300, 4);
    std::wstring path = Temp(L"big.tmp");
    update::CUnpackerThread unpacker(1000);
    ASSERT_TRUE(unpacker.AddFilePart(path, all.data(), 600));
    EXPECT_EQ(ReadTestFile(path), "");
    ASSERT_TRUE(unpacker.AddFilePart(path, all.data() + 600, 600));
    EXPECT_EQ(ReadTestFile(path), all.substr(0, 1200));
    ASSERT_TRUE(unpacker.AddFilePart(path, all.data() + 1200, 100));
    EXPECT_EQ(ReadTestFile(path).size(), 1200u);

    EXPECT_EQ(State(unpacker, path), "found 1300 " + std::to_string(ZlibCrc(all)));
    CBuffer whole;
    ASSERT_TRUE(unpacker.ReadTempFile(path, &whole));
    EXPECT_EQ(whole.View(), all);
    unpacker.FlushParts();
    EXPECT_EQ(ReadTestFile(path), all);

    // A later run registers the file from disk with the same state.
    update::CUnpackerThread later;
    ASSERT_TRUE(later.AddFilePart(path, nullptr, 0));
    EXPECT_EQ(State(later, path), State(unpacker, path));
}

} // namespace
