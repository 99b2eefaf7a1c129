#include "base/RunCommand.h"
#include "base/Strings.h"

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
}

TEST(RunCommandNames, OnlyTheFirstTwoCommandsHaveOwnNames) {
    EXPECT_STREQ(RunCommandLogName(rcUninstall), "CLogic::rcUninstall");
    EXPECT_STREQ(RunCommandLogName(rcUninstallFrom), "CLogic::rcUninstallFrom");
    EXPECT_STREQ(RunCommandLogName(rcUninstallGuest), "CLogic::rcNone");
    EXPECT_STREQ(RunCommandLogName(rcSetLongName), "CLogic::rcNone");
    EXPECT_STREQ(RunModeName(rmSetLongName), "rmSetLongName");
    EXPECT_STREQ(RunModeName(42), "rmUnknown");
}
