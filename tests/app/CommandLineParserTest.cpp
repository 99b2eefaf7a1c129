#include "app/CommandLineParser.h"

#include <gtest/gtest.h>

using app::ParseCommandLine;
using app::SwitchMatching;

namespace {

CommandLineState Win(const std::wstring& text) {
    return ParseCommandLine(text, SwitchMatching::Substring);
}
CommandLineState Posix(const std::wstring& text) {
    return ParseCommandLine(text, SwitchMatching::WholeToken);
}

// The switch table and suppression rules hold under both matching rules.
class BothRules : public ::testing::TestWithParam<SwitchMatching> {
protected:
    CommandLineState Parse(const std::wstring& text) { return ParseCommandLine(text, GetParam()); }
};

TEST_P(BothRules, EarlyFlagsStopTheParse) {
    auto s = Parse(L"/fast /restart");
    EXPECT_TRUE(s.fast);
    EXPECT_FALSE(s.restart);

    s = Parse(L"/restart /uninstall");
    EXPECT_TRUE(s.restart);
    EXPECT_EQ(s.rc, rcNone);

    s = Parse(L"/assistant 1234 /fast /crc");
    EXPECT_TRUE(s.assistant);
    EXPECT_FALSE(s.fast);
    EXPECT_EQ(s.rc, rcNone);
}

TEST_P(BothRules, RestartAndAutoCombineAndSuppressRunCommands) {
    auto s = Parse(L"/auto /restart /crc");
    EXPECT_TRUE(s.restart);
    EXPECT_TRUE(s.autoMode);
    EXPECT_EQ(s.rc, rcNone);

    s = Parse(L"/crc /auto");
    EXPECT_EQ(s.rc, rcNone);
    EXPECT_TRUE(s.autoMode);
}

TEST_P(BothRules, RunByClientCriticalSetsOnlyItself) {
    auto s = Parse(L"/runByClientCritical");
    EXPECT_TRUE(s.runByClientCritical);
    EXPECT_FALSE(s.runByClient);

    s = Parse(L"/runByClient");
    EXPECT_TRUE(s.runByClient);
    EXPECT_FALSE(s.runByClientCritical);
}

TEST_P(BothRules, RunCommandsAndTheirArguments) {
    auto s = Parse(L"/download 123456 extra");
    EXPECT_EQ(s.rc, rcDownload);
    EXPECT_EQ(s.argument, L"123456 extra");

    s = Parse(L"/crc");
    EXPECT_EQ(s.rc, rcCrc);
    EXPECT_EQ(s.argument, L"");

    s = Parse(L"/u C:\\Games\\Client");
    EXPECT_EQ(s.rc, rcUninstallFrom);
    EXPECT_EQ(s.argument, L"C:\\Games\\Client");

    s = Parse(L"/uninstall \"C:\\Games\\Client\" tail");
    EXPECT_EQ(s.rc, rcUninstall);
    EXPECT_EQ(s.quotedPath, L"\"C:\\Games\\Client\"");
    EXPECT_EQ(s.argument, L"");

    s = Parse(L"/ug \"D:\\Portable\" 77 rest");
    EXPECT_EQ(s.rc, rcUninstallGuest);
    EXPECT_EQ(s.quotedPath, L"\"D:\\Portable\"");
    EXPECT_EQ(s.argument, L"77 rest");
}

TEST_P(BothRules, LongerSwitchesWinOverTheirPrefixes) {
    EXPECT_EQ(Parse(L"/uninstall").rc, rcUninstall);
    EXPECT_EQ(Parse(L"/ug \"x\"").rc, rcUninstallGuest);
}

TEST_P(BothRules, UninstallQuotedPathRules) {
    // No quote: the whole line; one quote: everything from it on.
    EXPECT_EQ(Parse(L"/uninstall now").quotedPath, L"/uninstall now");
    EXPECT_EQ(Parse(L"/uninstall \"C:\\a b").quotedPath, L"\"C:\\a b");
}

TEST_P(BothRules, SetLongNameArgumentCountsFromLineStart) {
    auto s = Parse(L"/setlongname \"C:\\A\" \"x\" \"y\" 0");
    EXPECT_EQ(s.rc, rcSetLongName);
    EXPECT_EQ(s.argument, L"\"C:\\A\" \"x\" \"y\" 0");

    // Not at the start: still the text from the 14th character.
    s = Parse(L"abc /setlongname \"C:\\A\"");
    EXPECT_EQ(s.rc, rcSetLongName);
    EXPECT_EQ(s.argument, L"ame \"C:\\A\"");
}

TEST_P(BothRules, ShortLinesGiveEmptyArguments) {
    EXPECT_EQ(Parse(L"/download").argument, L"");
    EXPECT_EQ(Parse(L"/u").argument, L"");
    EXPECT_EQ(Parse(L"").rc, rcNone);
}

INSTANTIATE_TEST_SUITE_P(Matching, BothRules,
                         ::testing::Values(SwitchMatching::Substring, SwitchMatching::WholeToken));

TEST(SubstringRule, FindsSwitchesInsideOtherText) {
    // The Windows rule is a plain substring search: "/runByClient" is found
    // inside "/runByClientCritical" only after the longer one was tested,
    // and "/u" is found anywhere.
    EXPECT_EQ(Win(L"x/u y").rc, rcUninstallFrom);
    EXPECT_TRUE(Win(L"prefix/fastsuffix").fast);
}

TEST(WholeTokenRule, PathsDoNotHoldSwitches) {
    // "/ug" inside a home folder, "/auto" inside a folder name, "/fast"
    // inside a mount point: none of them is a switch on POSIX.
    auto s = Posix(L"/u /home/ugo/game");
    EXPECT_EQ(s.rc, rcUninstallFrom);
    EXPECT_EQ(s.argument, L"/home/ugo/game");
    EXPECT_TRUE(Win(L"/u /home/ugo/game").rc == rcUninstallGuest);

    s = Posix(L"/u /srv/game/autosave");
    EXPECT_FALSE(s.autoMode);
    EXPECT_EQ(s.rc, rcUninstallFrom);

    s = Posix(L"/u /mnt/fast/game");
    EXPECT_FALSE(s.fast);
    EXPECT_EQ(s.argument, L"/mnt/fast/game");
}

TEST(WholeTokenRule, QuotedTextNeverHoldsSwitches) {
    auto s = Posix(L"/ug \"/crc /fast\" 5");
    EXPECT_FALSE(s.fast);
    EXPECT_EQ(s.rc, rcUninstallGuest);
    EXPECT_EQ(s.quotedPath, L"\"/crc /fast\"");
    EXPECT_EQ(s.argument, L"5");
}

TEST(WholeTokenRule, OffsetsApplyFromTheTokenMatch) {
    // "/download" stands after a path that ends in "/download"-like text.
    auto s = Posix(L"/tmp/downloads /download 42");
    EXPECT_EQ(s.rc, rcDownload);
    EXPECT_EQ(s.argument, L"42");

    EXPECT_FALSE(Posix(L"/runByClientCritical").runByClient);
    EXPECT_TRUE(Posix(L"\t/fast").fast);
}

} // namespace
