// The built Launcher.exe in its assistant role: prepared, started elevated
// (the test elevation) and driven over its pipe by the launcher's channel.

#include "E2eSupport.h"

#include "assistant/AssistantChannel.h"
#include "assistant/AssistantProtocol.h"
#include "log/LogImplW.h"
#include "platform/Elevation.h"
#include "platform/Folders.h"
#include "platform/WindowTestSupport.h"
#include "support/ScopedEnv.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using testsupport::ReadTestFile;
using testsupport::ScopedEnv;
using testsupport::WriteTestFile;
namespace fs = std::filesystem;

const std::string& RuntimeFolder() {
    static const testsupport::TempDir folder;
    static const std::string path = folder.NarrowPath();
    return path;
}

class AssistantRoleTest : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = plat::CreateWindow(L"LauncherTestE2e", L"", &handler_, true);
        ASSERT_NE(window_, 0u);
        ASSERT_FALSE(plat::GetTempFolder().empty());
        channel_.SetSourceExecutable(e2e::LauncherPath());
        ASSERT_TRUE(log_.Open(dir_.File(L"launcher.log")));
        log_.SetUtf8(true);
        channel_.SetLog(&log_);
    }
    void TearDown() override {
        channel_.Cancel();
        channel_.DeleteFiles();
        plat::DestroyWindow(window_);
    }

    testsupport::TempDir dir_;
    ScopedEnv runtime_{"XDG_RUNTIME_DIR", RuntimeFolder()};
    ScopedEnv hklm_{"LAUNCHER_REGISTRY_HKLM", dir_.NarrowPath() + "hklm"};
    ScopedEnv hkcu_{"LAUNCHER_REGISTRY_HKCU", dir_.NarrowPath() + "hkcu"};
    ScopedEnv common_{"LAUNCHER_COMMON_DATA_DIR", dir_.NarrowPath() + "share"};
    ScopedEnv data_{"XDG_DATA_HOME", dir_.NarrowPath() + "data"};
    ScopedEnv temp_{"LAUNCHER_TEMP_DIR", dir_.NarrowPath() + "temp"};
    ScopedEnv state_{"XDG_STATE_HOME", dir_.NarrowPath() + "state"};
    windowtest::RecordingHandler handler_;
    plat::HWND window_ = 0;
    CLogImplW log_;
    assistant::CAssistantChannel channel_;
};

TEST_F(AssistantRoleTest, TheRealExecutableRunsACommandAsTheAssistant) {
    ScopedEnv elevation("LAUNCHER_TEST_ELEVATION", "1");
    const std::wstring folder = dir_.File(L"games/Game");
    WriteTestFile(folder + L"/Launcher.exe", "launcher");
    WriteTestFile(folder + L"/data.pak", "data");
    ::chmod(plat::WideToUtf8(folder + L"/data.pak").c_str(), 0444);

    ASSERT_TRUE(channel_.Prepare());
    ASSERT_TRUE(channel_.Start(assistant::eLauncherCmd_GetRights, window_));
    windowtest::Watchdog watchdog(window_);
    ASSERT_TRUE(windowtest::PumpUntil([&] {
        return handler_.Count(assistant::eWindowsMessage_LauncherAssistantInitResult) > 0;
    }));
    windowtest::Received init =
        handler_.Of(assistant::eWindowsMessage_LauncherAssistantInitResult)[0];
    ASSERT_EQ(init.lParam, 0);
    ASSERT_TRUE(channel_.OnConnected(static_cast<std::uint32_t>(init.wParam)));

    assistant::AssistantData data;
    data.installFolder = folder;
    data.userName = plat::GetUserAccountName();
    data.fullName = L"Game Online";
    data.iconName = L"Game";
    data.regPath = L"Software\\Demo\\Game";
    data.launcherName = L"Launcher.exe";
    ASSERT_TRUE(channel_.SendData(data));
    auto finished = [&] {
        for (const windowtest::Received& got :
             handler_.Of(assistant::eWindowsMessage_LauncherAssistantWorkResult))
            if (got.wParam != assistant::eLauncherCmd_Progress)
                return true;
        return false;
    };
    ASSERT_TRUE(windowtest::PumpUntil(finished));
    windowtest::Received answer =
        handler_.Of(assistant::eWindowsMessage_LauncherAssistantWorkResult).back();
    EXPECT_EQ(answer.wParam, static_cast<plat::WPARAM>(assistant::eLauncherCmd_GetRights));
    EXPECT_EQ(answer.lParam, 0);
    channel_.ClosePipe();
    ASSERT_TRUE(channel_.WaitForExit(e2e::kWatchdogMs));

    struct stat st {};
    ASSERT_EQ(::stat(plat::WideToUtf8(folder + L"/data.pak").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0200, 0200u);
    std::string assistantLog = ReadTestFile(channel_.FilePath() + L".log");
    EXPECT_NE(assistantLog.find("launcherAssistant started"), std::string::npos) << assistantLog;
    EXPECT_NE(assistantLog.find("OpenPipe '\\\\.\\pipe\\launcher_LauncherAssistant.exe' - ok"),
              std::string::npos)
        << assistantLog;
    EXPECT_NE(assistantLog.find("Pipe closed"), std::string::npos) << assistantLog;
    // The assistant role opens no launcher log of its own.
    EXPECT_FALSE(fs::exists(plat::WideToUtf8(dir_.File(L"temp/logs"))));
}

TEST_F(AssistantRoleTest, WithoutRightsTheCopyTellsTheLauncherSo) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root always has the rights";
    ScopedEnv elevation("LAUNCHER_TEST_ELEVATION", nullptr);
    plat::ProcessStartInfo info;
    info.commandLine =
        plat::BuildCommandLine(e2e::LauncherPath(), L"/assistant " + std::to_wstring(window_));
    plat::Process copy;
    ASSERT_TRUE(copy.Start(info));
    windowtest::Watchdog watchdog(window_);
    EXPECT_TRUE(windowtest::PumpUntil(
        [&] { return handler_.Count(assistant::eWindowsMessage_LauncherAssistantNotAdmin) > 0; }));
    EXPECT_TRUE(copy.Wait(e2e::kWatchdogMs));
}

} // namespace
