#include "log/LauncherLogPath.h"
#include "log/LogImplW.h"

#include "platform/FileSystem.h"
#include "platform/Unicode.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

using testsupport::ReadTestFile;
using testsupport::TempDir;
using testsupport::WriteTestFile;

namespace {

plat::SystemTime StartTime() {
    plat::SystemTime t;
    t.year = 2024;
    t.month = 3;
    t.day = 5;
    t.hour = 7;
    t.minute = 8;
    t.second = 9;
    return t;
}

class EarlierLogs : public ::testing::Test {
protected:
    std::wstring Logs(const std::wstring& name) const { return dir.File(L"logs/" + name); }
    void MakeFolder(const std::wstring& name) {
        ASSERT_TRUE(plat::CreateDirectoryTree(Logs(name)));
    }

    TempDir dir;
};

} // namespace

TEST(LauncherLogName, StartsWithinOneSecondGetNumberedSuffixes) {
    TempDir dir;
    const std::wstring first = launcherlog::ChooseLogPath(dir.Path(), L"Launcher.exe", StartTime());
    EXPECT_EQ(first, dir.File(L"20240305_070809.Launcher.exe.log"));
    CLogImplW log;
    ASSERT_TRUE(log.Open(first));
    EXPECT_EQ(launcherlog::ChooseLogPath(dir.Path(), L"Launcher.exe", StartTime()),
              dir.File(L"20240305_070809_1.Launcher.exe.log"));
}

TEST(LauncherLogName, AllSuffixesTakenReusesTheLast) {
    TempDir dir;
    for (int i = 0; i < launcherlog::kMaxNameTries; ++i)
        WriteTestFile(launcherlog::LogCandidate(dir.Path(), L"L.exe", StartTime(), i), "x");
    EXPECT_EQ(launcherlog::ChooseLogPath(dir.Path(), L"L.exe", StartTime()),
              dir.File(L"20240305_070809_99.L.exe.log"));
}

TEST(LauncherLogName, FollowsTheExecutableName) {
    TempDir dir;
    EXPECT_EQ(launcherlog::MakeLogPath(dir.File(L"Setup.exe"), StartTime()),
              dir.File(L"20240305_070809.Setup.exe.log"));
    EXPECT_EQ(launcherlog::MakeLogPath(L"Launcher.exe", StartTime()), L"Launcher.exe.log");
}

TEST(DatedFolderName, ReadsTheStampAndRejectsOtherNames) {
    std::uint32_t early = 0, late = 0, same = 0, ignored = 0;
    EXPECT_TRUE(launcherlog::ParseDatedFolderName(L"20240305_065500.1234", &early));
    EXPECT_TRUE(launcherlog::ParseDatedFolderName(L"20240305_065502", &late));
    EXPECT_TRUE(launcherlog::ParseDatedFolderName(L"20240305_065503.9", &same));
    EXPECT_LT(early, late);
    EXPECT_EQ(late, same); // two-second precision
    EXPECT_FALSE(launcherlog::ParseDatedFolderName(L"old", &ignored));
    EXPECT_FALSE(launcherlog::ParseDatedFolderName(L"20240305-065500.1", &ignored));
    EXPECT_FALSE(launcherlog::ParseDatedFolderName(L"20241305_065500.1", &ignored));
    EXPECT_FALSE(launcherlog::ParseDatedFolderName(L"2024030_065500", &ignored));
}

TEST_F(EarlierLogs, MoveIntoTheNewestDatedFolderWithItsNumberPrefix) {
    MakeFolder(L"20240101_000000.11");
    MakeFolder(L"20240305_065500.1234");
    MakeFolder(L"20231231_235959.9");
    MakeFolder(L"zzz_not_dated");
    WriteTestFile(dir.File(L"20240305_065500.Launcher.exe.log"), "launcher");
    WriteTestFile(dir.File(L"4242.Httx.Main.log"), "http");
    WriteTestFile(dir.File(L"config.xml"), "keep");
    ASSERT_TRUE(plat::CreateDirectory(dir.File(L"folder.log")));

    launcherlog::MoveEarlierLogs(dir.Path());

    const std::wstring target = L"20240305_065500.1234/1234.";
    EXPECT_EQ(ReadTestFile(Logs(target + L"20240305_065500.Launcher.exe.log")), "launcher");
    EXPECT_EQ(ReadTestFile(Logs(target + L"4242.Httx.Main.log")), "http");
    EXPECT_FALSE(plat::FileExists(dir.File(L"4242.Httx.Main.log")));
    EXPECT_TRUE(plat::FileExists(dir.File(L"config.xml")));
    EXPECT_TRUE(plat::DirectoryExists(dir.File(L"folder.log")));
}

TEST_F(EarlierLogs, TakenNamesGetNumberedCopies) {
    MakeFolder(L"20240305_065500.7");
    WriteTestFile(Logs(L"20240305_065500.7/7.a.log"), "older");
    WriteTestFile(Logs(L"20240305_065500.7/7.a(1).log"), "old");
    WriteTestFile(dir.File(L"a.log"), "new");

    launcherlog::MoveEarlierLogs(dir.Path());

    EXPECT_EQ(ReadTestFile(Logs(L"20240305_065500.7/7.a(2).log")), "new");
    EXPECT_EQ(ReadTestFile(Logs(L"20240305_065500.7/7.a.log")), "older");
}

TEST_F(EarlierLogs, ADatedFolderWithoutDotReceivesTheLogsUnderTheirNames) {
    MakeFolder(L"20240305_065500");
    WriteTestFile(dir.File(L"b.log"), "b");
    launcherlog::MoveEarlierLogs(dir.Path());
    EXPECT_EQ(ReadTestFile(Logs(L"20240305_065500/b.log")), "b");
}

TEST_F(EarlierLogs, StayWithoutADatedFolder) {
    MakeFolder(L"archive");
    WriteTestFile(dir.File(L"c.log"), "c");
    launcherlog::MoveEarlierLogs(dir.Path());
    EXPECT_TRUE(plat::FileExists(dir.File(L"c.log")));
    launcherlog::MoveEarlierLogs(dir.File(L"missing/"));
}

TEST_F(EarlierLogs, MakeLogPathMovesBeforeChoosingTheName) {
    MakeFolder(L"20240305_065500.5");
    WriteTestFile(dir.File(L"20240305_070809.Launcher.exe.log"), "earlier");
    EXPECT_EQ(launcherlog::MakeLogPath(dir.File(L"Launcher.exe"), StartTime()),
              dir.File(L"20240305_070809.Launcher.exe.log"));
    EXPECT_EQ(ReadTestFile(Logs(L"20240305_065500.5/5.20240305_070809.Launcher.exe.log")),
              "earlier");
}

TEST(LauncherLogName, LaunchersStartedTogetherGetLogsOfTheirOwn) {
    TempDir dir;
    constexpr int kLaunchers = 8;
    std::vector<std::wstring> chosen(kLaunchers);
    std::vector<std::thread> starts;
    for (int i = 0; i < kLaunchers; ++i)
        starts.emplace_back([&, i] {
            chosen[i] = launcherlog::ChooseLogPath(dir.Path(), L"Launcher.exe", StartTime());
        });
    for (std::thread& start : starts)
        start.join();
    std::sort(chosen.begin(), chosen.end());
    EXPECT_EQ(std::unique(chosen.begin(), chosen.end()), chosen.end());
    for (const std::wstring& path : chosen)
        EXPECT_TRUE(plat::FileExists(path)) << plat::WideToUtf8(path);
}
