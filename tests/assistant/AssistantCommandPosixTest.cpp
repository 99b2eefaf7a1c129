// The commands whose cases are Linux's own: owners and mode bits given to
// the user, and packages that are shell scripts.

#include "AssistantHarness.h"

#include <chrono>
#include <sys/stat.h>

namespace {

using namespace assistanttest;
using assistant::eLauncherCmd_GetRights;
using assistant::eLauncherCmd_Install;
using assistant::eLauncherCmd_InstallKB;

class AssistantCommandPosixTest : public AssistantHarness {
protected:
    void Installed() {
        ASSERT_EQ(Run(eLauncherCmd_Install, Record(eLauncherCmd_Install)).result, 0);
        WriteTestFile(InFolder(L"Launcher.exe"), "launcher");
        WriteTestFile(InFolder(L"data/pack1.dat"), "data");
    }

    // A canary folder that a link inside the installation points to.
    void PlantCanary() {
        WriteTestFile(Path(L"canary/keep.txt"), "canary");
        ::chmod(Narrow(L"canary/keep.txt").c_str(), 0444);
        fs::create_directory_symlink(Narrow(L"canary"), plat::WideToUtf8(Folder() + L"/data/link"));
    }
    void ExpectCanaryUntouched() {
        EXPECT_EQ(ReadTestFile(Path(L"canary/keep.txt")), "canary");
        struct stat st {};
        ASSERT_EQ(::stat(Narrow(L"canary/keep.txt").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0444u);
    }
};

TEST_F(AssistantCommandPosixTest, GetRightsGivesTheTreeToTheUserAndNotWhatALinkReaches) {
    Installed();
    PlantCanary();
    ::chmod(plat::WideToUtf8(InFolder(L"data/pack1.dat")).c_str(), 0444);
    Outcome outcome = Run(eLauncherCmd_GetRights, Record(eLauncherCmd_GetRights));
    EXPECT_EQ(outcome.result, 0);
    struct stat st {};
    ASSERT_EQ(::stat(plat::WideToUtf8(InFolder(L"data/pack1.dat")).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0200, 0200u);
    EXPECT_EQ(st.st_uid, plat::InvokingUserId());
    ExpectCanaryUntouched();

    // A folder without the launcher is no installation to give away.
    fs::create_directories(Narrow(L"games/NotOurs/inner"));
    ::chmod(Narrow(L"games/NotOurs/inner").c_str(), 0500);
    assistant::AssistantData other = Record(eLauncherCmd_GetRights);
    other.installFolder = Path(L"games/NotOurs");
    EXPECT_EQ(Run(eLauncherCmd_GetRights, other).result, assistant::kCntFoundDir);
    ASSERT_EQ(::stat(Narrow(L"games/NotOurs/inner").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0500u);
}

TEST_F(AssistantCommandPosixTest, InstallKBRunsThePackageBesideTheAssistantAndReportsItsEnd) {
    const std::wstring package = Path(L"temp/KB2999226.msu");
    WriteTestFile(package, "#!/bin/sh\nexit 0\n");
    fs::permissions(plat::WideToUtf8(package), fs::perms::owner_all);
    Outcome ok = Run(eLauncherCmd_InstallKB, {});
    EXPECT_EQ(ok.result, 0);
    EXPECT_FALSE(Exists(L"temp/KB2999226.msu"));

    WriteTestFile(package, "#!/bin/sh\nexit 3010\n");
    fs::permissions(plat::WideToUtf8(package), fs::perms::owner_all);
    EXPECT_EQ(Run(eLauncherCmd_InstallKB, {}).result, assistant::kPackageFailed);
    EXPECT_EQ(Run(eLauncherCmd_InstallKB, {}).result, assistant::kPackageStartFailed);
    std::string log = LauncherLog();
    for (const char* line :
         {"Installing KB: ", "ShellExecuteEx succeeded", "Waiting for process to complete",
          "Process exit code: 194", "ShellExecuteEx failed"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
}

TEST_F(AssistantCommandPosixTest, ACancelStopsTheCommandInProgress) {
    const std::wstring package = Path(L"temp/KB2999226.msu");
    WriteTestFile(package, "#!/bin/sh\nsleep 20\n");
    fs::permissions(plat::WideToUtf8(package), fs::perms::owner_all);
    ASSERT_TRUE(channel_.Prepare());
    ASSERT_TRUE(channel_.Start(eLauncherCmd_InstallKB, window_));
    windowtest::Watchdog watchdog(window_);
    ASSERT_TRUE(windowtest::PumpUntil(
        [&] { return Seen(assistant::eWindowsMessage_LauncherAssistantInitResult); }));
    ASSERT_TRUE(channel_.OnConnected(static_cast<std::uint32_t>(
        Last(assistant::eWindowsMessage_LauncherAssistantInitResult).wParam)));
    ASSERT_TRUE(channel_.SendCommand());
    // Waiting for the package: progress 5.
    ASSERT_TRUE(windowtest::PumpUntil([&] {
        for (const windowtest::Received& got :
             Since(assistant::eWindowsMessage_LauncherAssistantWorkResult))
            if (got.wParam == assistant::eLauncherCmd_Progress && got.lParam == 5)
                return true;
        return false;
    }));
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(channel_.Cancel());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    std::string log = ReadTestFile(channel_.FilePath() + L".log");
    EXPECT_NE(log.find("Cancel received"), std::string::npos) << log;
    EXPECT_TRUE(Exists(L"temp/KB2999226.msu")); // the package was not run to its end
}

} // namespace
