// The launcher object with a real elevated assistant (the test elevation):
// the move of an installation, the uninstallations, a start that fails and is
// tried again, and a close while the assistant works.

#include "LogicFixture.h"

#include "assistant/Shortcuts.h"
#include "platform/Folders.h"
#include "platform/ShellFolders.h"
#include "platform/ShellLink.h"
#include "skin/Dialog.h"
#ifndef _WIN32
#include "support/ScopedFileRights.h"
#endif

#include <filesystem>

namespace {

using logictest::ConfigXml;
using logictest::HookedView;
using logictest::kRegPath;
using testsupport::ReadTestFile;
using testsupport::ScopedEnv;
using testsupport::WriteTestFile;
namespace fs = std::filesystem;

constexpr int kBtnCloseUninstall = 12346;
constexpr int kBtnUninstall = 12395;
constexpr int kBtnCaptionClose = 12345;
constexpr int kBtnMboxRetry = 12415;
constexpr int kBtnMboxCancel = 12416;
const wchar_t* kUninstallRoot = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

class LogicAssistantTest : public logictest::LogicTest {
protected:
    void SetUp() override {
        LogicTest::SetUp();
        fs::create_directories(dir.NarrowPath() + "games");
        ASSERT_FALSE(plat::GetTempFolder().empty());
    }

    std::wstring Path(const std::wstring& name) const { return dir.File(name); }
    bool Exists(const std::wstring& name) const { return fs::exists(plat::WideToUtf8(Path(name))); }
    void Click(CLogic& logic, int id) {
        ASSERT_TRUE(plat::PostMessage(logic.DialogWindow(), CDialog::kCommandMessage,
                                      static_cast<plat::WPARAM>(id), 0));
    }

    // A standard installation as the assistant records one.
    void RegisterInstallation(const std::wstring& folder) {
        WriteTestFile(folder + L"/Launcher.exe", "launcher");
        WriteTestFile(folder + L"/data/pack.dat", "data");
        plat::RegistryKey list;
        ASSERT_TRUE(list.Create(plat::RegistryRoot::LocalMachine,
                                plat::Utf8ToWide(kRegPath) + L"\\Install"));
        ASSERT_TRUE(list.WriteString(L"Directory", folder));
        plat::RegistryKey entry;
        ASSERT_TRUE(entry.Create(plat::RegistryRoot::LocalMachine,
                                 std::wstring(kUninstallRoot) + L"The Game 0"));
        ASSERT_TRUE(entry.WriteString(L"UninstallString",
                                      L"\"" + folder + L"/Launcher.exe\" /uninstall \"" +
                                          Path(L"desktop/The Game.desktop") + L"\""));
    }
    // A "/setlongname" run of the folder with the test's assistant.
    void RunMove(const std::wstring& from, const std::wstring& to, HookedView& view) {
        CLogic logic;
        LogicFailure failure;
        ASSERT_TRUE(
            Start(logic, ConfigXml(), &failure, rcSetLongName,
                  L"\"" + from + L"\" \"" + to + L"\" \"Game\" \"The Game\" \"\" \"Game\" 0"))
            << failure.text;
        logic.SetAssistantSource(plat::Utf8ToWide(ASSISTANT_CHILD_PATH));
        logic.SetWizardView(&view);
        ASSERT_TRUE(logic.Run(&failure));
    }
    std::wstring ListEntry() {
        plat::RegistryKey list;
        std::wstring value;
        list.Open(plat::RegistryRoot::LocalMachine, plat::Utf8ToWide(kRegPath) + L"\\Install");
        list.ReadString(L"Directory", &value);
        return value;
    }
    bool Recorded(const HookedView& view, const char* operation, std::int64_t value) const {
        for (const auto& entry : view.inner.Entries())
            if (entry.operation == operation && entry.value == value)
                return true;
        return false;
    }

    ScopedEnv elevation_{"LAUNCHER_TEST_ELEVATION", "1"};
    ScopedEnv common_{"LAUNCHER_COMMON_DATA_DIR", dir.NarrowPath() + "share"};
    ScopedEnv data_{"XDG_DATA_HOME", dir.NarrowPath() + "data"};
    ScopedEnv desktop_{"XDG_DESKTOP_DIR", dir.NarrowPath() + "desktop"};
    ScopedEnv temp_{"LAUNCHER_TEMP_DIR", dir.NarrowPath() + "temp"};
    ScopedEnv state_{"XDG_STATE_HOME", dir.NarrowPath() + "state"};
    ScopedEnv noDisplay_{"DISPLAY", nullptr};
};

TEST_F(LogicAssistantTest, AMoveRunsThroughTheAssistantAndTheLogShowsBothSides) {
    const std::wstring oldFolder = Path(L"games/Old");
    const std::wstring newFolder = Path(L"games/New");
    RegisterInstallation(oldFolder);
    HookedView view(&log);
    RunMove(oldFolder, newFolder, view);

    EXPECT_FALSE(Exists(L"games/Old"));
    EXPECT_EQ(ReadTestFile(newFolder + L"/data/pack.dat"), "data");
    EXPECT_EQ(ListEntry(), newFolder);
    plat::ShellLink link;
    ASSERT_TRUE(plat::LoadShellLink(Path(L"share/applications/The Game/The Game.desktop"), &link));
    EXPECT_EQ(link.target, newFolder + L"/Launcher.exe");
    EXPECT_TRUE(Recorded(view, "ShowWorkPage", 0));
    EXPECT_FALSE(Exists(L"temp/LauncherAssistant.exe"));
    EXPECT_FALSE(Exists(L"temp/LauncherAssistant.exe.log"));

    std::string text = LogText();
    for (const char* line :
         {"Process SetLongName Started", "Unpacking LauncherAssistant to temp .. OK\r\n",
          "Pipe name: \\\\.\\pipe\\launcher_LauncherAssistant.exe create .. OK\r\n",
          "Run LauncherAssistant .. OK\r\n",
          "OnUserMessage: eWindowsMessage_LauncherAssistantInitResult::eLauncherCmd_SetLongName .. "
          "OK\r\n",
          "FillDataForAssistant() username=\"", "--- SendDataToAssistant ---\r\n",
          "  chInstallFolder = ", "  bIconPrograms = true\r\n", "  Action = Add\r\n",
          "OnUserMessage: eWindowsMessage_LauncherAssistantWorkResult::eLauncherCmd_SetLongName .. "
          "OK\r\n",
          "  [assistant] launcherAssistant started\r\n", "  [assistant] SetLongName - begin\r\n",
          "  [assistant] MoveFiles from ", "  [assistant] SetLongName - end\r\n",
          "Deleting launcher assistant from temp\r\nPostQuitMessage(0)\r\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
}

TEST_F(LogicAssistantTest, AFailedMoveStartsTheOldFoldersLauncherWithSkiptest) {
    const std::wstring oldFolder = Path(L"games/Old");
    const std::wstring newFolder = Path(L"games/New");
    RegisterInstallation(oldFolder);
    // The destination holds something: the assistant moves nothing.
    WriteTestFile(newFolder + L"/other.txt", "someone else's");
    // The old folder's launcher records how it was started.
    const std::string started = dir.NarrowPath() + "started.txt";
    logictest::WriteRecordingProgram(oldFolder + L"/Launcher.exe", started);
    HookedView view(&log);
    RunMove(oldFolder, newFolder, view);

    EXPECT_EQ(ReadTestFile(oldFolder + L"/data/pack.dat"), "data");
    EXPECT_EQ(ReadTestFile(newFolder + L"/other.txt"), "someone else's");
    EXPECT_EQ(ListEntry(), oldFolder);
    // The old folder's launcher goes on with the switch that tries no move.
    EXPECT_EQ(logictest::RecordedStart(started), "--launcher-command-line\n/skiptest\n");
    std::string text = LogText();
    EXPECT_NE(text.find("SetLongName failed - run launcher from: \"" + plat::WideToUtf8(oldFolder) +
                        "/Launcher.exe\" /skiptest"),
              std::string::npos)
        << text;
    EXPECT_FALSE(Recorded(view, "ShowMessageBox", kBoxChooseAgain));
}

TEST_F(LogicAssistantTest, AStartThatFailsOffersToTryAgain) {
    WriteTestFile(Path(L"not-a-folder"), "x");
    ScopedEnv badTemp("LAUNCHER_TEMP_DIR", dir.NarrowPath() + "not-a-folder/temp");
    CLogic logic;
    LogicFailure failure;
    ASSERT_TRUE(Start(logic, ConfigXml(), &failure, rcSetLongName,
                      L"\"" + Path(L"games/Old") + L"\" \"" + Path(L"games/New") +
                          L"\" \"Game\" \"The Game\" \"\" \"Game\" 0"))
        << failure.text;
    logic.SetAssistantSource(plat::Utf8ToWide(ASSISTANT_CHILD_PATH));
    HookedView view(&log);
    logic.SetWizardView(&view);
    view.onBox = [&] {
        EXPECT_EQ(view.MessageBoxContext(), kBoxAssistantStartFailed);
        Click(logic, kBtnMboxRetry);
        view.onBox = [&] { Click(logic, kBtnMboxCancel); };
    };
    ASSERT_TRUE(logic.Run(&failure));
    std::string text = LogText();
    std::size_t first = text.find("Unpacking LauncherAssistant to temp .. Fail");
    ASSERT_NE(first, std::string::npos) << text;
    EXPECT_NE(text.find("Unpacking LauncherAssistant to temp .. Fail", first + 1),
              std::string::npos);
    EXPECT_NE(text.find("ID_MBOX_BTN_RETRY"), std::string::npos);
    int boxes = 0;
    for (const auto& entry : view.inner.Entries())
        boxes += entry.operation == "ShowMessageBox" && entry.text == L"text105";
    EXPECT_EQ(boxes, 2);
}

TEST_F(LogicAssistantTest, AStandardUninstallGoesThroughTheAssistant) {
    const std::wstring folder = Path(L"games/Game");
    RegisterInstallation(folder);
    WriteTestFile(Path(L"desktop/The Game.desktop"), "[Desktop Entry]\nExec=x\n");
    CLogic logic;
    LogicFailure failure;
    ASSERT_TRUE(Start(logic, ConfigXml(), &failure, rcUninstallFrom, folder)) << failure.text;
    logic.SetAssistantSource(plat::Utf8ToWide(ASSISTANT_CHILD_PATH));
    HookedView view(&log);
    logic.SetWizardView(&view);
    view.onFirstPage = [&] { Click(logic, kBtnUninstall); };
    view.onUninstallResult = [&] { Click(logic, kBtnCloseUninstall); };
    ASSERT_TRUE(logic.Run(&failure));

    EXPECT_FALSE(Exists(L"games/Game"));
    EXPECT_EQ(ListEntry(), L"");
    EXPECT_FALSE(plat::RegistryKeyExists(plat::RegistryRoot::LocalMachine,
                                         std::wstring(kUninstallRoot) + L"The Game 0"));
    EXPECT_FALSE(Exists(L"desktop/The Game.desktop"));
    EXPECT_TRUE(Recorded(view, "ShowUninstallResult", 1));
    std::string text = LogText();
    for (const char* line :
         {"ID_BTN_UNINSTALL\r\n", "Process Uninstall Started in Standard mode\r\n",
          "OnUserMessage: eWindowsMessage_LauncherAssistantWorkResult::eLauncherCmd_Uninstall .. "
          "OK\r\n",
          "  [assistant] launcherAssistant started\r\n", "Process Uninstall Finished\r\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
}

TEST_F(LogicAssistantTest, APortableUninstallRunsTheUninstallerThread) {
    const std::wstring folder = Path(L"games/Alpha Portable");
    WriteTestFile(folder + L"/Launcher.exe", "launcher");
    WriteTestFile(folder + L"/guest.dat", "");
    WriteTestFile(folder + L"/data/pack.dat", "data");
    ASSERT_TRUE(assistant::CreateShortcut(folder + L"/Launcher.exe", L"", L"Alpha Portable",
                                          plat::kCsidlDesktop, L"", 0, false));
    CLogic logic;
    LogicFailure failure;
    ASSERT_TRUE(Start(logic, ConfigXml(), &failure, rcUninstallGuest, folder)) << failure.text;
    CommandLineState state;
    state.quotedPath = L"\"" + Path(L"desktop/Alpha Portable.desktop") + L"\"";
    logic.SetCommandLineState(state);
    HookedView view(&log);
    logic.SetWizardView(&view);
    view.onFirstPage = [&] { Click(logic, kBtnUninstall); };
    view.onUninstallResult = [&] { Click(logic, kBtnCloseUninstall); };
    ASSERT_TRUE(logic.Run(&failure));
    logic.Uninit();

    EXPECT_FALSE(Exists(L"games/Alpha Portable"));
    EXPECT_FALSE(Exists(L"desktop/Alpha Portable.desktop"));
    EXPECT_TRUE(Recorded(view, "ShowUninstallProgressPage", 0));
    EXPECT_TRUE(Recorded(view, "ShowUninstallResult", 1));
    std::string text = LogText();
    for (const char* line : {"Process Uninstall Started in Guest mode\r\n", "Install Folder: ",
                             "Process Uninstall Finished\r\n", "Stop uninstaller thread\r\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    EXPECT_EQ(text.find("LauncherAssistant"), std::string::npos); // no elevation needed
}

// The client of a portable installation still runs and cannot be ended:
// the uninstall stops with the message that says so and deletes nothing.
TEST_F(LogicAssistantTest, AnUninstallStopsWhenTheRunningClientCannotBeEnded) {
    const std::wstring folder = Path(L"games/Alpha Portable");
    WriteTestFile(folder + L"/Launcher.exe", "launcher");
    WriteTestFile(folder + L"/guest.dat", "");
    WriteTestFile(folder + L"/game.exe", "client");
    WriteTestFile(folder + L"/data/pack.dat", "data");
    CLogic logic;
    LogicFailure failure;
    ASSERT_TRUE(Start(logic, ConfigXml(), &failure, rcUninstallGuest, folder)) << failure.text;
    std::vector<std::wstring> ended;
    logic.SetProcessEnder([&](const std::wstring& path) {
        ended.push_back(path);
        return !path.ends_with(L"/game.exe");
    });
    HookedView view(&log);
    logic.SetWizardView(&view);
    view.onFirstPage = [&] { Click(logic, kBtnUninstall); };
    view.onBox = [&] { Click(logic, kBtnCaptionClose); };
    ASSERT_TRUE(logic.Run(&failure));
    logic.Uninit();

    ASSERT_FALSE(ended.empty());
    EXPECT_EQ(ended.back(), folder + L"/game.exe");
    for (const wchar_t* name : {L"Launcher.exe", L"guest.dat", L"game.exe", L"data/pack.dat"})
        EXPECT_TRUE(Exists(L"games/Alpha Portable/" + std::wstring(name))) << name;
    bool told = false;
    for (const auto& entry : view.inner.Entries())
        told |= entry.operation == "ShowMessageBox" && entry.text == L"text108";
    EXPECT_TRUE(told);
    EXPECT_FALSE(Recorded(view, "ShowUninstallResult", 1));
    std::string text = LogText();
    EXPECT_EQ(text.find("Install Folder: "), std::string::npos) << text;
}

#ifndef _WIN32
// Mode bits and the capability drop that makes them bind are Linux's.
// An installation the user may no longer write to: before the update starts,
// the elevated assistant gives the rights back and the work goes on. Where
// it refuses (the folder holds no launcher), the user is told that the
// rights are missing and nothing is asked of the server.
TEST_F(LogicAssistantTest, AnUpdateWithoutRightsToItsFolderGetsThemThroughTheAssistant) {
    testsupport::TestHttpServer server;
    ASSERT_TRUE(server.Start());
    server.ServeFile("/game/update.rxml", PackedManifest("<manifest clientVersion='1.0'/>"));
    RecordExecutableFolderAsInstalled();
    const std::string folder = installDir.NarrowPath();
    WriteTestFile(installDir.File(L"data/pack.dat"), "data");
    fs::permissions(folder + "data/pack.dat", fs::perms(0444));
    fs::permissions(folder + "data", fs::perms(0555));
    fs::permissions(folder, fs::perms(0555));
    {
        testsupport::ScopedNoFileOverride user;
        ASSERT_TRUE(user.Active());
        if (plat::WriteWholeFile(installDir.File(L"probe"), "p", 1))
            GTEST_SKIP() << "the folder's mode does not bind this user";
    }
    // One update run as the user; what the view recorded.
    auto runUpdate = [&](HookedView* view, bool* writable) {
        testsupport::ScopedNoFileOverride user;
        CLogic logic;
        LogicFailure failure;
        ASSERT_TRUE(Start(logic, ConfigXml({}, "<URL>" + server.Url("") + "</URL>"), &failure))
            << failure.text;
        ASSERT_EQ(logic.Settings().runMode, rmUpdate);
        logic.SetAssistantSource(plat::Utf8ToWide(ASSISTANT_CHILD_PATH));
        logic.SetWizardView(view);
        view->onBox = [&] { plat::PostMessage(logic.DialogWindow(), eWindowsMessage_Exit, 0, 0); };
        ASSERT_TRUE(logic.Run(&failure));
        logic.Uninit();
        *writable = plat::WriteWholeFile(installDir.File(L"probe"), "p", 1) &&
                    plat::WriteWholeFile(installDir.File(L"data/pack.dat"), "new", 3);
    };
    auto told = [](const HookedView& view, const wchar_t* text) {
        for (const auto& entry : view.inner.Entries())
            if (entry.operation == "ShowMessageBox" && entry.text == text)
                return true;
        return false;
    };

    HookedView refused(&log);
    bool writable = true;
    runUpdate(&refused, &writable);
    EXPECT_TRUE(told(refused, L"text70"));
    EXPECT_FALSE(writable);
    EXPECT_EQ(server.RequestCount(), 0u);

    // With its launcher the folder is an installation the assistant serves.
    fs::permissions(folder, fs::perms(0755));
    WriteTestFile(installDir.File(L"Launcher.exe"), "launcher");
    fs::permissions(folder, fs::perms(0555));
    HookedView given(&log);
    runUpdate(&given, &writable);
    EXPECT_FALSE(told(given, L"text70"));
    EXPECT_TRUE(writable);
    std::string text = LogText();
    EXPECT_GE(server.RequestCount(), 1u) << text;
    EXPECT_NE(text.find("LauncherAssistantWorkResult::eLauncherCmd_GetRights .. error"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("LauncherAssistantWorkResult::eLauncherCmd_GetRights .. OK\r\n"),
              std::string::npos)
        << text;
}

// Closing the window while the assistant starts: it is told to stop, the
// launcher waits for it, and it changes nothing.
#endif

TEST_F(LogicAssistantTest, ClosingWhileTheAssistantWorksStopsIt) {
    ScopedEnv slow("ASSISTANT_CHILD_DELAY_MS", "1000");
    const std::wstring oldFolder = Path(L"games/Old");
    RegisterInstallation(oldFolder);
    CLogic logic;
    LogicFailure failure;
    ASSERT_TRUE(Start(logic, ConfigXml(), &failure, rcSetLongName,
                      L"\"" + oldFolder + L"\" \"" + Path(L"games/New") +
                          L"\" \"Game\" \"The Game\" \"\" \"Game\" 0"))
        << failure.text;
    logic.SetAssistantSource(plat::Utf8ToWide(ASSISTANT_CHILD_PATH));
    HookedView view(&log);
    logic.SetWizardView(&view);
    // Closing while the assistant works asks first; Yes stops it.
    view.onFirstPage = [&] { Click(logic, kBtnCaptionClose); };
    view.onBox = [&] {
        EXPECT_EQ(view.MessageBoxContext(), kBoxExitDuringInstall);
        Click(logic, 12412);
    };
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(logic.Run(&failure));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

    EXPECT_TRUE(Exists(L"games/Old/Launcher.exe"));
    EXPECT_FALSE(Exists(L"games/New"));
    EXPECT_FALSE(Exists(L"temp/LauncherAssistant.exe"));
    std::string text = LogText();
    EXPECT_NE(text.find("ID_MBOX_BTN_YES\r\nSending cancel to launcher assistant\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Deleting launcher assistant from temp\r\n"), std::string::npos) << text;
}

} // namespace
