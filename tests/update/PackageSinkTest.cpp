// The package sink as the transport and the update cycle use it: bytes
// appended as they arrive with the CRC-32 continued over them, a download
// taken up from what an earlier run left, the answers it refuses, and its
// verdict on the file.

#include "UnpackerFixture.h"

#include "platform/FileSystem.h"
#include "support/TempDir.h"
#include "update/PackageSink.h"

#include <gtest/gtest.h>

namespace {

using testsupport::ReadTestFile;
using testsupport::WriteTestFile;
using unpackertest::Pattern;
using unpackertest::ZlibCrc;
using update::CPackageSink;
using update::PackageVerdict;

class PackageSinkTest : public ::testing::Test {
protected:
    std::wstring Temp(const std::wstring& name) const { return dir_.File(name); }

    // Hands the bytes over in pieces of `piece` as the transport does.
    static bool Feed(CPackageSink& sink, const std::string& bytes, std::size_t piece) {
        for (std::size_t at = 0; at < bytes.size(); at += piece) {
            std::uint32_t error = 0;
            std::size_t length = std::min(piece, bytes.size() - at);
            if (!sink.WriteBody(bytes.data() + at, length, &error))
                return false;
        }
        return true;
    }

    testsupport::TempDir dir_;
};

TEST(PackageVerdictTest, SizeThenCrcDecide) {
    using update::JudgePackage;
    EXPECT_EQ(JudgePackage(0, 0, 1000, 0xCAFEF00D), PackageVerdict::Incomplete);
    // A short file is incomplete whatever its running CRC says.
    EXPECT_EQ(JudgePackage(999, 0xCAFEF00D, 1000, 0xCAFEF00D), PackageVerdict::Incomplete);
    EXPECT_EQ(JudgePackage(1000, 0xCAFEF00D, 1000, 0xCAFEF00D), PackageVerdict::Complete);
    EXPECT_EQ(JudgePackage(1000, 0xCAFEF00C, 1000, 0xCAFEF00D), PackageVerdict::Damaged);
    // Longer than the package: damaged even with the announced CRC.
    EXPECT_EQ(JudgePackage(1001, 0xCAFEF00D, 1000, 0xCAFEF00D), PackageVerdict::Damaged);
    EXPECT_EQ(JudgePackage(0, 0, 0, 0), PackageVerdict::Complete);
    EXPECT_EQ(JudgePackage(0, 0, 0, 1), PackageVerdict::Damaged);
    // Sizes past 4 GiB are compared whole.
    EXPECT_EQ(JudgePackage(std::uint64_t{1} << 32, 0, 0, 0), PackageVerdict::Damaged);
}

// Each piece is on disk as soon as it was handed over: a kill loses at most
// the read in flight, and nothing of the package waits in memory.
TEST_F(PackageSinkTest, BytesReachTheFileAsTheyArrive) {
    std::string package = Pattern(100000, 1);
    std::wstring path = Temp(L"A1B2C3D4.100000");
    CPackageSink sink(path, package.size(), ZlibCrc(package));
    EXPECT_EQ(sink.Size(), 0u);
    EXPECT_EQ(sink.FileSize(), package.size());
    EXPECT_EQ(sink.Verdict(), PackageVerdict::Incomplete);

    std::uint32_t error = 1;
    ASSERT_TRUE(sink.BeginBody(0, &error));
    for (std::size_t at = 0; at < package.size(); at += 7000) {
        std::size_t length = std::min<std::size_t>(7000, package.size() - at);
        ASSERT_TRUE(sink.WriteBody(package.data() + at, length, &error));
        EXPECT_EQ(ReadTestFile(path), package.substr(0, at + length));
        EXPECT_EQ(sink.Size(), at + length);
    }
    sink.EndBody();
    EXPECT_EQ(sink.Verdict(), PackageVerdict::Complete);
    // A whole file takes nothing more, from where it ends or anywhere else.
    EXPECT_FALSE(sink.BeginBody(package.size(), &error));
    EXPECT_EQ(error, 0u);
}

// What an earlier run left is taken up: the next answer starts where the
// file ends, and the CRC-32 covers the old bytes and the new ones.
TEST_F(PackageSinkTest, ResumesFromWhatTheFileHolds) {
    std::string package = Pattern(350, 2);
    std::wstring path = Temp(L"resume.350");
    WriteTestFile(path, package.substr(0, 200));
    CPackageSink sink(path, package.size(), ZlibCrc(package));
    EXPECT_EQ(sink.Size(), 200u);
    EXPECT_EQ(sink.Verdict(), PackageVerdict::Incomplete);

    std::uint32_t error = 0;
    // Only the next byte may start an answer.
    EXPECT_FALSE(sink.BeginBody(100, &error));
    EXPECT_EQ(error, 0u);
    EXPECT_FALSE(sink.BeginBody(201, &error));
    EXPECT_EQ(error, 0u);
    ASSERT_TRUE(sink.BeginBody(200, &error));
    ASSERT_TRUE(Feed(sink, package.substr(200, 100), 100));
    ASSERT_TRUE(Feed(sink, package.substr(300), 50));
    sink.EndBody();
    EXPECT_EQ(ReadTestFile(path), package);
    EXPECT_EQ(sink.Verdict(), PackageVerdict::Complete);

    // The same bytes with another CRC in the manifest: damaged, and
    // discarding starts the file from nothing.
    CPackageSink other(path, package.size(), ZlibCrc(package) ^ 1);
    EXPECT_EQ(other.Verdict(), PackageVerdict::Damaged);
    other.Discard();
    EXPECT_FALSE(plat::FileExists(path));
    EXPECT_EQ(other.Size(), 0u);
    EXPECT_EQ(other.Verdict(), PackageVerdict::Incomplete);
}

// A server that cannot resume sends the whole file: the file starts again.
TEST_F(PackageSinkTest, AnAnswerFromByteZeroStartsTheFileAgain) {
    std::string package = Pattern(5000, 3);
    std::wstring path = Temp(L"restart.5000");
    WriteTestFile(path, std::string(3000, 'x')); // bytes of another release
    CPackageSink sink(path, package.size(), ZlibCrc(package));
    std::uint32_t error = 0;
    ASSERT_TRUE(sink.BeginBody(0, &error));
    EXPECT_EQ(sink.Size(), 0u);
    ASSERT_TRUE(Feed(sink, package, 1024));
    sink.EndBody();
    EXPECT_EQ(ReadTestFile(path), package);
    EXPECT_EQ(sink.Verdict(), PackageVerdict::Complete);
}

// Bytes a failed write left behind the known end are cut off before the
// next answer is appended.
TEST_F(PackageSinkTest, TheNextAnswerCutsWhatFollowsTheKnownEnd) {
    std::string package = Pattern(1000, 4);
    std::wstring path = Temp(L"cut.1000");
    CPackageSink sink(path, package.size(), ZlibCrc(package));
    std::uint32_t error = 0;
    ASSERT_TRUE(sink.BeginBody(0, &error));
    ASSERT_TRUE(Feed(sink, package.substr(0, 400), 400));
    sink.EndBody();
    WriteTestFile(path, package.substr(0, 400) + "garbage of a half write");
    ASSERT_TRUE(sink.BeginBody(400, &error));
    ASSERT_TRUE(Feed(sink, package.substr(400), 300));
    sink.EndBody();
    EXPECT_EQ(ReadTestFile(path), package);
    EXPECT_EQ(sink.Verdict(), PackageVerdict::Complete);
}

TEST_F(PackageSinkTest, LongerFilesAndFailuresAreReported) {
    std::string package = Pattern(100, 5);
    std::wstring path = Temp(L"long.100");
    WriteTestFile(path, package + "more");
    CPackageSink sink(path, package.size(), ZlibCrc(package));
    EXPECT_EQ(sink.Verdict(), PackageVerdict::Damaged);

    // A folder that is not there: the error is the system's, not "refused".
    CPackageSink lost(Temp(L"missing/folder/x.100"), package.size(), ZlibCrc(package));
    std::uint32_t error = 0;
    EXPECT_FALSE(lost.BeginBody(0, &error));
    EXPECT_NE(error, 0u);
    // Nothing is written without an answer begun.
    EXPECT_FALSE(lost.WriteBody("x", 1, &error));
    EXPECT_NE(error, 0u);
    EXPECT_EQ(lost.Size(), 0u);
}

} // namespace

namespace {

// A signed release: the bytes must have the SHA-256 too, whatever their
// CRC-32 says (a CRC-32 is easily matched by other bytes), also when the
// download was taken up from what an earlier run left or started again.
TEST_F(PackageSinkTest, ASignedReleasesPackageMustMatchItsSha256) {
    const std::string package = Pattern(300000, 3);
    std::string forged = package;
    forged[1000] = static_cast<char>(forged[1000] ^ 0x55);
    const config::Sha256Digest digest = config::Sha256Of(package);
    auto fetch = [&](const std::wstring& path, const std::string& bytes, std::uint32_t crc,
                     std::size_t from) {
        CPackageSink sink(path, bytes.size(), crc);
        sink.RequireSha256(digest);
        std::uint32_t error = 0;
        EXPECT_TRUE(sink.BeginBody(from, &error));
        EXPECT_TRUE(Feed(sink, bytes.substr(from), 7000));
        sink.EndBody();
        return sink.Verdict();
    };
    EXPECT_EQ(fetch(Temp(L"good"), package, ZlibCrc(package), 0), PackageVerdict::Complete);
    // The CRC-32 the manifest gives fits the forged bytes: the SHA-256 does not.
    EXPECT_EQ(fetch(Temp(L"forged"), forged, ZlibCrc(forged), 0), PackageVerdict::Damaged);

    // Taken up at 120000 from what an earlier run wrote.
    WriteTestFile(Temp(L"resumed"), package.substr(0, 120000));
    EXPECT_EQ(fetch(Temp(L"resumed"), package, ZlibCrc(package), 120000), PackageVerdict::Complete);
    WriteTestFile(Temp(L"resumed-forged"), forged.substr(0, 120000));
    EXPECT_EQ(fetch(Temp(L"resumed-forged"), package,
                    ZlibCrc(forged.substr(0, 120000) + package.substr(120000)), 120000),
              PackageVerdict::Damaged);

    // A damaged file discarded and fetched again from nothing is judged afresh.
    CPackageSink sink(Temp(L"again"), package.size(), ZlibCrc(package));
    sink.RequireSha256(digest);
    std::uint32_t error = 0;
    ASSERT_TRUE(sink.BeginBody(0, &error));
    ASSERT_TRUE(Feed(sink, forged, 50000));
    sink.EndBody();
    EXPECT_EQ(sink.Verdict(), PackageVerdict::Damaged);
    sink.Discard();
    ASSERT_TRUE(sink.BeginBody(0, &error));
    ASSERT_TRUE(Feed(sink, package, 50000));
    sink.EndBody();
    EXPECT_EQ(sink.Verdict(), PackageVerdict::Complete);
}

} // namespace
