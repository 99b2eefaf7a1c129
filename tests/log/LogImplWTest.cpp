#include "log/LogImplW.h"
#include "log/LogText.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <regex>

using testsupport::ReadTestFile;
using testsupport::TempDir;

namespace {

std::wstring Equals(std::size_t count) {
    return std::wstring(count, L'=');
}

class LauncherLogFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(log.Open(path)); }
    std::string Contents() const { return ReadTestFile(path); }

    TempDir dir;
    std::wstring path = dir.File(L"launcher.log");
    CLogImplW log;
};

} // namespace

TEST(BannerLine, CentresShortTextsWithTheLongerRunOnTheRight) {
    const std::wstring seventyFive(75, L'x');
    EXPECT_EQ(logtext::BuildBannerLine(seventyFive), L"= " + seventyFive + L" ==");
    EXPECT_EQ(logtext::BuildBannerLine(L"ab"), Equals(38) + L" ab " + Equals(38));
    EXPECT_EQ(logtext::BuildBannerLine(L"abc"), Equals(37) + L" abc " + Equals(38));
    EXPECT_EQ(logtext::BuildBannerLine(L""), Equals(39) + L"  " + Equals(39));
    for (std::size_t n = 0; n < 76; ++n)
        EXPECT_EQ(logtext::BuildBannerLine(std::wstring(n, L'x')).size(), 80u) << n;
}

TEST(BannerLine, LongTextsSwitchToTheThreeEqualsForm) {
    const std::wstring seventySix(76, L'y');
    EXPECT_EQ(logtext::BuildBannerLine(seventySix), L"=== " + seventySix + L" ===");
    const std::wstring longer(120, L'z');
    EXPECT_EQ(logtext::BuildBannerLine(longer), L"=== " + longer + L" ===");
}

TEST_F(LauncherLogFile, Utf8LinesEndWithCrLfAndHaveNoByteOrderMark) {
    log.SetUtf8(true);
    EXPECT_TRUE(log.Write(L"Gr\u00fc\u00dfe", true));
    EXPECT_TRUE(log.Write(L"tail", false));
    EXPECT_TRUE(log.WriteSeparator());
    EXPECT_TRUE(log.WriteBanner(L"ab", false));
    EXPECT_EQ(Contents(), "Gr\xC3\xBC\xC3\x9F"
                          "e\r\ntail" +
                              std::string(80, '=') + "\r\n" + std::string(38, '=') + " ab " +
                              std::string(38, '='));
}

TEST_F(LauncherLogFile, WithoutUtf8TheUtf16BytesAreWritten) {
    EXPECT_TRUE(log.Write(L"ab", true));
    EXPECT_TRUE(log.WriteRaw(3, L"cd"));
    EXPECT_EQ(Contents(), std::string("a\0b\0\r\0\n\0c\0d", 11));
}

TEST_F(LauncherLogFile, Utf8RawWritesStopAtTheFirstNulAndIgnoreTheCount) {
    log.SetUtf8(true);
    EXPECT_TRUE(log.WriteRaw(1, std::wstring(L"ab\0cd", 5)));
    EXPECT_EQ(Contents(), "ab");
}

TEST_F(LauncherLogFile, NewLinesOnlyForOneToTen) {
    log.SetUtf8(true);
    EXPECT_FALSE(log.WriteNewLines(0));
    EXPECT_FALSE(log.WriteNewLines(11));
    EXPECT_FALSE(log.WriteNewLines(-1));
    EXPECT_EQ(Contents(), "");
    EXPECT_TRUE(log.WriteNewLines(1));
    EXPECT_TRUE(log.WriteNewLines(10));
    std::string expected;
    for (int i = 0; i < 11; ++i)
        expected += "\r\n";
    EXPECT_EQ(Contents(), expected);
}

TEST_F(LauncherLogFile, MutedWritesSucceedWithoutWriting) {
    log.SetUtf8(true);
    EXPECT_TRUE(log.SetMuted(true));
    EXPECT_FALSE(log.SetMuted(true));
    EXPECT_TRUE(log.IsMuted());
    EXPECT_TRUE(log.Write(L"hidden", true));
    EXPECT_TRUE(log.WriteBanner(L"hidden", true));
    EXPECT_TRUE(log.WriteTimePrefix());
    EXPECT_TRUE(log.WriteRaw(6, L"hidden"));
    EXPECT_EQ(Contents(), "");
    EXPECT_TRUE(log.SetMuted(false));
    EXPECT_TRUE(log.Write(L"shown", false));
    EXPECT_EQ(Contents(), "shown");
}

TEST_F(LauncherLogFile, TimeLinesFollowTheDayMonthYearForm) {
    log.SetUtf8(true);
    EXPECT_TRUE(log.WriteTimePrefix());
    EXPECT_TRUE(log.WriteTimeBanner());
    const std::string text = Contents();
    const std::string time = R"(\d{1,2}/\d{1,2}/\d{4} -- \d\d:\d\d:\d\d)";
    EXPECT_TRUE(std::regex_match(text, std::regex(time + "  :=+ " + time + " =+\r\n"))) << text;
    EXPECT_EQ(text.size(), text.find("  :") + 3 + 80 + 2);
}

TEST_F(LauncherLogFile, OpenEmptiesAnEarlierFileAndRefusesASecondOpen) {
    log.SetUtf8(true);
    log.Write(L"old run", true);
    log.Close();
    EXPECT_FALSE(log.IsOpen());
    ASSERT_TRUE(log.Open(path));
    EXPECT_EQ(Contents(), "");
    EXPECT_FALSE(log.Open(path));
    CLogImplW other;
    EXPECT_FALSE(other.Open(L""));
}

TEST(LauncherLogClosed, EveryWriteFailsEvenWhenMuted) {
    CLogImplW log;
    EXPECT_FALSE(log.Write(L"x", true));
    EXPECT_FALSE(log.WriteBanner(L"x", true));
    EXPECT_FALSE(log.WriteSeparator());
    EXPECT_FALSE(log.WriteTimeBanner());
    EXPECT_FALSE(log.WriteNewLines(1));
    log.SetMuted(true);
    EXPECT_FALSE(log.Write(L"x", true));
    EXPECT_FALSE(log.WriteRaw(2, L"x"));
}
