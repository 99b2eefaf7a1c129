#pragma once
// The launcher's side of the two-process tests: a window on the test's
// thread that receives the assistant's answers, the launcher's channel to a
// real assistant process (assistant_child) started with the test elevation,
// and a test world of moved registry roots, shell folders and private
// folders. Test thread only.

#include "assistant/AssistantChannel.h"
#include "assistant/AssistantProtocol.h"
#include "assistant/AssistantRecord.h"
#include "log/LogImplW.h"
#include "platform/CommandLine.h"
#include "platform/Elevation.h"
#include "platform/FileSystem.h"
#include "platform/Folders.h"
#include "platform/Registry.h"
#include "platform/ShellFolders.h"
#include "platform/ShellLink.h"
#include "platform/Unicode.h"
#include "platform/WindowTestSupport.h"
#include "support/NativePath.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace assistanttest {

namespace fs = std::filesystem;
using testsupport::ReadTestFile;
using testsupport::ScopedEnv;
using testsupport::WriteTestFile;

inline std::wstring ChildPath() {
    return plat::Utf8ToWide(ASSISTANT_CHILD_PATH);
}

inline const wchar_t* kRegPath = L"Software\\Demo\\Game";
inline const wchar_t* kUninstallRoot = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// What one command brought back.
struct Outcome {
    bool connected = false;
    plat::WPARAM initW = 0;
    plat::LPARAM initL = 0;
    plat::WPARAM command = 0;
    plat::LPARAM result = -1;
    std::vector<int> progress;
};

class AssistantHarness : public ::testing::Test {
protected:
    // One runtime folder for the whole program: the window socket of the
    // test process is made there once.
    static const std::string& RuntimeFolder() {
        static const testsupport::TempDir folder;
        static const std::string path = folder.NarrowPath();
        return path;
    }

    void SetUp() override {
        window_ = plat::CreateWindow(L"LauncherTestLauncher", L"", &handler_, true);
        ASSERT_NE(window_, 0u);
        ASSERT_TRUE(log_.Open(dir_.File(L"launcher.log")));
        log_.SetUtf8(true);
        channel_.SetLog(&log_);
        channel_.SetSourceExecutable(ChildPath());
        fs::create_directories(dir_.NarrowPath() + "games");
        // The private temporary folder, made as the launcher makes it.
        ASSERT_FALSE(plat::GetTempFolder().empty());
    }

    void TearDown() override {
        channel_.Cancel();
        channel_.DeleteFiles();
        plat::DestroyWindow(window_);
        plat::Msg msg;
        while (plat::PeekMessage(&msg)) {
        }
    }

    std::wstring Path(const std::wstring& name) const { return dir_.File(name); }
    std::string Narrow(const std::wstring& name) const { return plat::WideToUtf8(Path(name)); }
    bool Exists(const std::wstring& name) const { return ExistsAt(Path(name)); }
    std::wstring Folder() const { return Path(L"games/Game"); }
    // A file of the installation folder by its "/"-separated name.
    std::wstring InFolder(const std::wstring& name) const {
        return Folder() + plat::PathSeparator() + testsupport::Native(name);
    }
    // A shortcut's file name on this system.
    static std::wstring Lnk(const std::wstring& name) { return name + plat::kShortcutExtension; }
    // A file in a shell folder (moved into the test's folder).
    static std::wstring InShellFolder(int csidl, const std::wstring& name) {
        std::wstring folder;
        EXPECT_TRUE(plat::GetSpecialFolderPath(csidl, &folder)) << csidl;
        return folder + plat::PathSeparator() + testsupport::Native(name);
    }
    static std::wstring CommonPrograms(const std::wstring& name) {
        return InShellFolder(plat::kCsidlCommonPrograms, name);
    }
    static std::wstring CommonStartMenu(const std::wstring& name) {
        return InShellFolder(plat::kCsidlCommonStartMenu, name);
    }
    static bool ExistsAt(const std::wstring& path) {
        return fs::exists(testsupport::FsPath(path)) || fs::is_symlink(testsupport::FsPath(path));
    }

    // A record as the launcher fills it for an installation in games/Game.
    assistant::AssistantData Record(int command) const {
        assistant::AssistantData data;
        data.command = command;
        data.installFolder = Folder();
        data.userName = plat::GetUserAccountName();
        data.shortName = L"game";
        data.fullName = L"Game Online";
        data.iconName = L"Game";
        data.regPath = kRegPath;
        data.helpLink = L"http://example.test/help";
        data.urlInfoAbout = L"empty";
        data.urlUpdateInfo = L"empty";
        data.lnkDesktopIcon = Path(L"desktop");
        data.launcherName = L"Launcher.exe";
        data.temp = InFolder(L"client.exe");
        data.iconPrograms = true;
        data.iconProgramsFolder = true;
        data.icons = {{L"Game", L"Launcher.exe", true}};
        return data;
    }

    // Runs one command through the channel, as the launcher does.
    Outcome Run(int command, const assistant::AssistantData& data) {
        Outcome outcome;
        handler_.reply = nullptr;
        handled_ = handler_.All().size();
        EXPECT_TRUE(channel_.Prepare());
        if (!channel_.Start(command, window_)) {
            ADD_FAILURE() << "the assistant did not start, error " << plat::GetLastError();
            return outcome;
        }
        windowtest::Watchdog watchdog(window_);
        if (!windowtest::PumpUntil(
                [&] { return Seen(assistant::eWindowsMessage_LauncherAssistantInitResult); }))
            return outcome;
        const windowtest::Received init =
            Last(assistant::eWindowsMessage_LauncherAssistantInitResult);
        outcome.initW = init.wParam;
        outcome.initL = init.lParam;
        if (init.lParam != 0)
            return outcome;
        outcome.connected = true;
        EXPECT_TRUE(channel_.OnConnected(static_cast<std::uint32_t>(init.wParam)));
        if (command == assistant::eLauncherCmd_InstallKB)
            EXPECT_TRUE(channel_.SendCommand());
        else
            EXPECT_TRUE(channel_.SendData(data));
        Finish(&outcome);
        return outcome;
    }

    // Waits for the final answer and the end of the assistant.
    void Finish(Outcome* outcome) {
        windowtest::Watchdog watchdog(window_);
        windowtest::PumpUntil([&] { return FinalAnswer() != nullptr; });
        for (const windowtest::Received& got :
             Since(assistant::eWindowsMessage_LauncherAssistantWorkResult))
            if (got.wParam == assistant::eLauncherCmd_Progress)
                outcome->progress.push_back(static_cast<int>(got.lParam));
        if (const windowtest::Received* final = FinalAnswer()) {
            outcome->command = final->wParam;
            outcome->result = final->lParam;
        }
        channel_.ClosePipe();
        EXPECT_TRUE(channel_.WaitForExit(windowtest::kWatchdogMs));
        channel_.CopyAssistantLog();
    }

    bool Seen(std::uint32_t message) const { return !Since(message).empty(); }
    std::vector<windowtest::Received> Since(std::uint32_t message) const {
        std::vector<windowtest::Received> all = handler_.All(), out;
        for (std::size_t i = handled_; i < all.size(); ++i)
            if (all[i].message == message)
                out.push_back(all[i]);
        return out;
    }
    windowtest::Received Last(std::uint32_t message) const { return Since(message).back(); }
    // The answer that ends the command. A hostile code 6 is answered with
    // wParam 6 too; progressEnds makes that the end.
    const windowtest::Received* FinalAnswer(bool progressEnds = false) {
        finals_ = Since(assistant::eWindowsMessage_LauncherAssistantWorkResult);
        for (const windowtest::Received& got : finals_)
            if (progressEnds || got.wParam != assistant::eLauncherCmd_Progress)
                return &got;
        return nullptr;
    }

    std::string LauncherLog() {
        log_.Close();
        std::string text = ReadTestFile(Path(L"launcher.log"));
        log_.Open(Path(L"launcher.log.2"));
        log_.SetUtf8(true);
        return text;
    }

    static bool ReadValue(const std::wstring& key, const std::wstring& name, std::wstring* value) {
        plat::RegistryKey open;
        return open.Open(plat::RegistryRoot::LocalMachine, key) && open.ReadString(name, value);
    }
    static std::wstring ListEntry(int index) {
        std::wstring value;
        ReadValue(std::wstring(kRegPath) + L"\\Install",
                  index == 0 ? L"Directory" : L"Directory" + std::to_wstring(index), &value);
        return value;
    }

    testsupport::TempDir dir_;
    ScopedEnv runtime_{"XDG_RUNTIME_DIR", RuntimeFolder()};
    ScopedEnv elevation_{"LAUNCHER_TEST_ELEVATION", "1"};
    ScopedEnv hklm_{"LAUNCHER_REGISTRY_HKLM", dir_.NarrowPath() + "hklm"};
    ScopedEnv hkcu_{"LAUNCHER_REGISTRY_HKCU", dir_.NarrowPath() + "hkcu"};
    ScopedEnv common_{"LAUNCHER_COMMON_DATA_DIR", dir_.NarrowPath() + "share"};
    ScopedEnv data_{"XDG_DATA_HOME", dir_.NarrowPath() + "data"};
    ScopedEnv desktop_{"XDG_DESKTOP_DIR", dir_.NarrowPath() + "desktop"};
    ScopedEnv temp_{"LAUNCHER_TEMP_DIR", dir_.NarrowPath() + "temp"};
    ScopedEnv programs_{"LAUNCHER_PROGRAM_FILES", dir_.NarrowPath() + "opt"};
    ScopedEnv state_{"XDG_STATE_HOME", dir_.NarrowPath() + "state"};
    ScopedEnv home_{"HOME", dir_.NarrowPath() + "home"};
    windowtest::RecordingHandler handler_;
    plat::HWND window_ = 0;
    CLogImplW log_;
    assistant::CAssistantChannel channel_;
    std::size_t handled_ = 0;
    std::vector<windowtest::Received> finals_;
};

} // namespace assistanttest
