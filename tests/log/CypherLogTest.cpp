#include "log/CypherLog.h"
#include "log/CypherLogReader.h"

#include "platform/FileSystem.h"
#include "platform/Unicode.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using testsupport::ReadTestFile;
using testsupport::TempDir;
using testsupport::WriteTestFile;

namespace {

const std::string kKey = "launcher log key";

std::uint32_t SegmentLength(const std::string& file, std::size_t offset) {
    std::uint32_t length = 0;
    for (int i = 3; i >= 0; --i)
        length = (length << 8) | static_cast<unsigned char>(file[offset + 4 + i]);
    return length;
}

// Lines that do not repeat, so the compressed form is not trivially small.
std::string SampleText(int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i)
        text += "GET /files/" + std::to_string(i * 7919 % 1000) + ".pak HTTP/1.1 -> " +
                std::to_string(i * i) + "\r\n";
    return text;
}

class CypherLogFile : public ::testing::Test {
protected:
    bool OpenSecure(CCypherLog& log, std::size_t bufferSize = 0) {
        return log.OpenSecure(narrowPath, kKey.data(), kKey.size(), bufferSize);
    }
    std::string Raw() const { return ReadTestFile(path); }
    cypherlog::DecodedLog Decode(const std::string& key = kKey) const {
        cypherlog::DecodedLog decoded;
        cypherlog::DecodeLog(Raw(), key, &decoded);
        return decoded;
    }

    TempDir dir;
    std::wstring path = dir.File(L"1.Httx.Main.log");
    std::string narrowPath = plat::WideToUtf8(path);
};

} // namespace

TEST_F(CypherLogFile, ASecondOpenClosesTheFirstSegment) {
    CCypherLog log;
    ASSERT_TRUE(OpenSecure(log));
    EXPECT_TRUE(log.IsSecure());
    EXPECT_TRUE(log.WriteText("first run\r\n"));
    log.Close();
    const std::string once = Raw();
    ASSERT_GE(once.size(), 16u);
    EXPECT_EQ(once.substr(0, 4), "ZCL1");
    EXPECT_EQ(SegmentLength(once, 0), 0u);
    EXPECT_EQ(once.find("first"), std::string::npos);

    ASSERT_TRUE(OpenSecure(log));
    EXPECT_TRUE(log.WriteText("second run\r\n"));
    log.Close();
    const std::string twice = Raw();
    EXPECT_EQ(SegmentLength(twice, 0), once.size());
    EXPECT_EQ(twice.substr(once.size(), 4), "ZCL1");
    EXPECT_EQ(SegmentLength(twice, once.size()), 0u);

    const cypherlog::DecodedLog decoded = Decode();
    EXPECT_EQ(decoded.error, cypherlog::ReadError::None);
    EXPECT_EQ(decoded.segments, 2u);
    EXPECT_TRUE(decoded.lastSegmentOpen);
    EXPECT_EQ(decoded.text, "first run\r\nsecond run\r\n");
}

TEST_F(CypherLogFile, RoundTripIncludingASegmentStillBeingWritten) {
    const std::string early = SampleText(200);
    const std::string late = SampleText(30);
    {
        CCypherLog log;
        ASSERT_TRUE(OpenSecure(log, 64)); // small slices: many cipher updates per block
        EXPECT_TRUE(log.WriteByteOrderMarkIfNew());
        log.WriteSectionHeader("GET /manifest");
        log.WriteText(early);
        log.WriteSectionEnd();
    }
    const std::string closed = Decode().text;
    ASSERT_EQ(closed.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(closed.substr(3, 13), "GET /manifest");
    EXPECT_EQ(closed.substr(closed.size() - early.size() - 2), early + "\r\n");

    CCypherLog log;
    ASSERT_TRUE(OpenSecure(log, 64));
    EXPECT_TRUE(log.WriteByteOrderMarkIfNew()); // not a fresh file: nothing written
    log.WriteText(early);
    log.WriteText(late);
    // The writer still holds the tail of its last cipher block: everything
    // before the last block is there, and the text is a true prefix.
    const cypherlog::DecodedLog open = Decode();
    ASSERT_EQ(open.error, cypherlog::ReadError::None);
    EXPECT_EQ(open.segments, 2u);
    const std::string expected = closed + early + late;
    EXPECT_GE(open.text.size(), closed.size() + early.size());
    EXPECT_EQ(expected.substr(0, open.text.size()), open.text);

    log.Close();
    EXPECT_EQ(Decode().text, expected);
}

TEST_F(CypherLogFile, ASegmentLeftByACrashedRunIsClosedAndStillReads) {
    const std::string crashed = SampleText(40);
    std::string snapshot;
    {
        CCypherLog log;
        ASSERT_TRUE(OpenSecure(log));
        log.WriteText(crashed);
        snapshot = Raw(); // the file as a run that never closed its log leaves it
    }
    WriteTestFile(path, snapshot);
    CCypherLog log;
    ASSERT_TRUE(OpenSecure(log));
    log.WriteText("after restart");
    log.Close();
    EXPECT_EQ(SegmentLength(Raw(), 0), snapshot.size());
    const cypherlog::DecodedLog decoded = Decode();
    ASSERT_EQ(decoded.error, cypherlog::ReadError::None);
    const std::size_t restart = decoded.text.find("after restart");
    ASSERT_NE(restart, std::string::npos);
    EXPECT_EQ(decoded.text.size(), restart + 13);
    EXPECT_EQ(crashed.substr(0, restart), decoded.text.substr(0, restart));
    // Only the last few compressed bytes (at most one long match) can be missing.
    EXPECT_GE(restart + 300, crashed.size());
}

TEST_F(CypherLogFile, BlocksAboveTheLimitAreCutBeforeCompression) {
    CCypherLog log;
    log.SetMaxBlock(3);
    ASSERT_TRUE(OpenSecure(log));
    log.WriteText("abcdef");
    log.WriteText("");
    log.Close();
    EXPECT_EQ(Decode().text, "abc ...block is too large...");
}

TEST_F(CypherLogFile, WrongOrMissingKeyIsRejected) {
    CCypherLog log;
    ASSERT_TRUE(OpenSecure(log));
    log.WriteText(SampleText(50));
    log.Close();
    ASSERT_TRUE(OpenSecure(log));
    log.WriteText(SampleText(5));

    const cypherlog::DecodedLog wrong = Decode("launcher log kez");
    EXPECT_EQ(wrong.error, cypherlog::ReadError::Inflate);
    EXPECT_EQ(wrong.errorOffset, 0u);
    EXPECT_EQ(Decode("").error, cypherlog::ReadError::KeyMissing);
}

TEST_F(CypherLogFile, APlainFileIsRotatedAwayBeforeTheFirstSegment) {
    WriteTestFile(path, "plain text from an older run");
    CCypherLog log;
    ASSERT_TRUE(OpenSecure(log));
    log.WriteText("new");
    log.Close();
    EXPECT_EQ(ReadTestFile(path + L".000"), "plain text from an older run");
    EXPECT_EQ(Raw().substr(0, 4), "ZCL1");
    EXPECT_EQ(Decode().text, "new");
}

TEST_F(CypherLogFile, AnEmptyKeyWritesPlainTextThatReadsBackAsItIs) {
    CCypherLog log;
    ASSERT_TRUE(log.OpenSecure(narrowPath, "", 0, 0));
    EXPECT_FALSE(log.IsSecure());
    log.WriteText("as is");
    log.Close();
    EXPECT_EQ(Raw(), "as is");
    const cypherlog::DecodedLog decoded = Decode("");
    EXPECT_FALSE(decoded.enciphered);
    EXPECT_EQ(decoded.text, "as is");
}

TEST(CypherLogReader, DamagedChainsAreReported) {
    cypherlog::DecodedLog decoded;
    EXPECT_FALSE(cypherlog::DecodeLog(std::string("ZCL1\x40\0\0\0abc", 11), kKey, &decoded));
    EXPECT_EQ(decoded.error, cypherlog::ReadError::BadLength);
    EXPECT_FALSE(cypherlog::DecodeLog(std::string("ZCL1\x08\0\0\0ZCL", 11), kKey, &decoded));
    EXPECT_EQ(decoded.error, cypherlog::ReadError::BadHeader);
    EXPECT_EQ(decoded.errorOffset, 8u);
    EXPECT_EQ(decoded.segments, 1u);
}

TEST(CypherLogReader, HexKeysNeedPairsOfDigits) {
    std::string key;
    ASSERT_TRUE(cypherlog::ParseHexKey("00fFa1", &key));
    EXPECT_EQ(key, std::string("\x00\xff\xa1", 3));
    EXPECT_FALSE(cypherlog::ParseHexKey("abc", &key));
    EXPECT_FALSE(cypherlog::ParseHexKey("0g", &key));
    EXPECT_FALSE(cypherlog::ParseHexKey("", &key));
}
