#include "log/Log.h"
#include "log/LogClock.h"

#include "platform/FileSystem.h"
#include "platform/Unicode.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <regex>

using testsupport::ReadTestFile;
using testsupport::TempDir;

namespace {

class HttpLogFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(log.Open(plat::WideToUtf8(path))); }
    std::string Contents() const { return ReadTestFile(path); }

    TempDir dir;
    std::wstring path = dir.File(L"http/1.Httx.Main.log");
    CLog log;
};

// The clock part of "<date> <time>.<ms>]".
const std::string kClockTime = R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d\.)";

} // namespace

TEST_F(HttpLogFile, OpenCreatesTheFolderAndAppendsAcrossOpens) {
    EXPECT_EQ(log.Folder(), plat::WideToUtf8(dir.File(L"http/")));
    EXPECT_TRUE(log.WriteText("one"));
    log.Close();
    EXPECT_FALSE(log.WriteText("lost"));
    ASSERT_TRUE(log.Open(plat::WideToUtf8(path)));
    EXPECT_FALSE(log.Open(plat::WideToUtf8(path)));
    EXPECT_TRUE(log.WriteText("two"));
    EXPECT_EQ(Contents(), "onetwo");
}

TEST_F(HttpLogFile, BlocksAboveTheLimitAreCut) {
    log.SetMaxBlock(4);
    EXPECT_TRUE(log.WriteText("abcd"));
    EXPECT_TRUE(log.WriteText("efghij"));
    EXPECT_EQ(Contents(), "abcdefgh ...block is too large...");
    EXPECT_EQ(CLog::kTooLargeMark.size(), 25u);
}

TEST_F(HttpLogFile, RotateRenamesToTheFirstFreeNumber) {
    EXPECT_TRUE(log.Rotate()); // empty: stays
    EXPECT_FALSE(plat::FileExists(path + L".000"));
    log.WriteText("first");
    EXPECT_TRUE(log.Rotate());
    log.WriteText("second");
    EXPECT_TRUE(log.Rotate());
    log.WriteText("third");
    EXPECT_EQ(ReadTestFile(path + L".000"), "first");
    EXPECT_EQ(ReadTestFile(path + L".001"), "second");
    EXPECT_EQ(Contents(), "third");

    CLog wide;
    ASSERT_TRUE(wide.Open(dir.File(L"wide.log")));
    EXPECT_EQ(wide.WideFolder(), dir.Path());
    wide.WriteText("x");
    EXPECT_FALSE(wide.Rotate());
}

TEST_F(HttpLogFile, SectionHeadersFillTheLineWidth) {
    EXPECT_TRUE(log.WriteSectionHeader(""));
    EXPECT_TRUE(log.WriteSectionHeader("GET /x"));
    const std::string longTitle(100, 't');
    EXPECT_TRUE(log.WriteSectionHeader(longTitle));
    EXPECT_EQ(Contents(), std::string(90, '=') + "\r\n" + "GET /x " + std::string(83, '=') +
                              "\r\n" + longTitle + " ==\r\n");
}

TEST_F(HttpLogFile, SectionHeaderEndsWithTheClock) {
    log.SetFill('-', 60);
    log.SetClock(0, -3 * 3600);
    EXPECT_TRUE(log.WriteSectionHeader("POST"));
    const std::string text = Contents();
    EXPECT_TRUE(
        std::regex_match(text, std::regex("POST -+ \\[GMT\\+3 " + kClockTime + "\\d{3}\\]\r\n")))
        << text;
    EXPECT_EQ(text.size(), 62u);
}

TEST_F(HttpLogFile, SectionEndsAndNumberLines) {
    log.SetSectionGap(2);
    EXPECT_TRUE(log.WriteNumberLine(-42));
    EXPECT_TRUE(log.WriteSectionEnd());
    EXPECT_TRUE(log.WriteNumberLine(5000000000LL));
    EXPECT_EQ(Contents(), "-42\r\n\r\n\r\n5000000000\r\n");
}

TEST(LogClockText, ZoneIsTheBiasWithReversedSign) {
    EXPECT_EQ(logclock::FormatZone(0), "");
    EXPECT_EQ(logclock::FormatZone(-3 * 3600), "GMT+3");
    EXPECT_EQ(logclock::FormatZone(5 * 3600 + 30 * 60), "GMT-5:30");
    EXPECT_EQ(logclock::FormatZone(-(12 * 3600 + 45 * 60)), "GMT+12:45");
}

TEST(LogClockText, OffsetIsBrokenIntoCalendarUnits) {
    EXPECT_EQ(logclock::FormatOffset(0), "");
    EXPECT_EQ(logclock::FormatOffset(999), "[+0]L S");
    EXPECT_EQ(logclock::FormatOffset(-999), "[+0]L S");
    EXPECT_EQ(logclock::FormatOffset(-3725000), "[+1 h 2 m 5 s]L S");
    EXPECT_EQ(logclock::FormatOffset(3725999), "[-1 h 2 m 5 s]L S");
    const std::uint64_t day = 86400;
    EXPECT_EQ(logclock::FormatSpan((365 + 30 + 14 + 1) * day + 1), "1 y 1 m 2 w 1 d 1 s");
    EXPECT_EQ(logclock::FormatSpan(6 * day + 59), "6 d 59 s");
}

TEST(LogClockText, ShowsTheCorrectedTimeWithMilliseconds) {
    const std::int64_t now = 1709622489123; // 2024-03-05 07:08:09.123 UTC
    const std::string text = logclock::BuildText(now, -3725000, "GMT+3");
    EXPECT_TRUE(std::regex_match(
        text, std::regex(R"( \[\+1 h 2 m 5 s\]L S\[GMT\+3 )" + kClockTime + R"(123\])")))
        << text;
    EXPECT_LE(text.size(), CLogClock::kMaxText);
    EXPECT_TRUE(std::regex_match(logclock::BuildText(now, 0, ""),
                                 std::regex(" \\[" + kClockTime + "123\\]")));
}

TEST(LogClockText, SettingTheClockRebuildsTheText) {
    CLogClock clock;
    clock.Set(0, 0);
    const std::string plain = clock.TextAt(1000);
    EXPECT_EQ(plain.find("L S"), std::string::npos);
    clock.Set(-1000, 0);
    EXPECT_EQ(clock.TextAt(1000).rfind(" [+1 s]L S[", 0), 0u);
}
