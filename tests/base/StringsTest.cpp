#include "base/Strings.h"
#include "base/RunCommand.h"

#include <gtest/gtest.h>

TEST(Strings, FormatGrowsPastAnyInitialSize) {
    std::string longText(1000, 'x');
    EXPECT_EQ(base::Format("%s-%d", longText.c_str(), 7), longText + "-7");
    std::wstring longWide(1000, L'y');
    EXPECT_EQ(base::FormatW(L"%ls:%02d", longWide.c_str(), 5), longWide + L":05");
}

TEST(Strings, CaseInsensitiveCompareIsAsciiOnly) {
    EXPECT_TRUE(base::EqualsNoCase(L"Launcher.EXE", L"launcher.exe"));
    EXPECT_FALSE(base::EqualsNoCase(L"Launcher.exe", L"Launcher.ex"));
    EXPECT_FALSE(base::EqualsNoCase(L"\u00C4", L"\u00E4"));
    // The narrow forms fold the same letters and leave UTF-8 bytes alone.
    EXPECT_TRUE(base::EqualsNoCase(std::string_view("Content-LENGTH"), "content-length"));
    EXPECT_FALSE(base::EqualsNoCase(std::string_view("\xC3\x84"), "\xC3\xA4"));
    EXPECT_FALSE(base::EqualsNoCase(std::string_view("["), "{")); // '[' is 'Z' + 1
    EXPECT_EQ(base::ToLowerAscii(std::string_view("Bin\\GAME.Exe @[\xC3\x84]")),
              "bin\\game.exe @[\xC3\x84]");
    EXPECT_EQ(base::ToLowerAscii(std::wstring_view(L"DATA\\\u00C4.PAK")), L"data\\\u00C4.pak");
}

TEST(RunCommandNames, OnlyTheFirstTwoCommandsHaveOwnNames) {
    EXPECT_STREQ(RunCommandLogName(rcUninstall), "CLogic::rcUninstall");
    EXPECT_STREQ(RunCommandLogName(rcUninstallFrom), "CLogic::rcUninstallFrom");
    EXPECT_STREQ(RunCommandLogName(rcUninstallGuest), "CLogic::rcNone");
    EXPECT_STREQ(RunCommandLogName(rcSetLongName), "CLogic::rcNone");
    EXPECT_STREQ(RunModeName(rmSetLongName), "rmSetLongName");
    EXPECT_STREQ(RunModeName(42), "rmUnknown");
}
