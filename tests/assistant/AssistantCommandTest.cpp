// Every command through the pipe between the launcher's channel and a real
// assistant process, on real files and the moved registry store.

#include "AssistantHarness.h"

#include "assistant/AppList.h"
#include "assistant/Shortcuts.h"
#include "platform/ImageLock.h"
#include "platform/Process.h"
#include "platform/ProcessList.h"
#include "platform/RegistryAccess.h"
#include "platform/ShellFolders.h"
#include "platform/ShellLink.h"

#include <algorithm>
#include <chrono>
#include <sys/stat.h>
#include <thread>

namespace {

using namespace assistanttest;
using assistant::eLauncherCmd_GetRights;
using assistant::eLauncherCmd_IconUpdate;
using assistant::eLauncherCmd_Install;
using assistant::eLauncherCmd_InstallKB;
using assistant::eLauncherCmd_KillProcess;
using assistant::eLauncherCmd_SetLongName;
using assistant::eLauncherCmd_Uninstall;

class AssistantCommandTest : public AssistantHarness {
protected:
    // Install, then the launcher's files in the folder.
    void Installed() {
        Outcome installed = Run(eLauncherCmd_Install, Record(eLauncherCmd_Install));
        ASSERT_EQ(installed.result, 0);
        WriteTestFile(Folder() + L"/Launcher.exe", "launcher");
        WriteTestFile(Folder() + L"/data/pack1.dat", "data");
        WriteTestFile(Folder() + L"/data/sub/pack2.dat", "data");
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

    static std::string AppListRecord(const std::wstring& name, const std::wstring& exec) {
        std::string record(assistant::kAppListRecordSize, '\0');
        std::string n = plat::WideToUtf16Le(name), e = plat::WideToUtf16Le(exec);
        record.replace(0, n.size(), n);
        record.replace(130, e.size(), e);
        return record;
    }
};

TEST_F(AssistantCommandTest, InstallRegistersTheFolderItsUninstallEntryAndShortcuts) {
    assistant::AssistantData data = Record(eLauncherCmd_Install);
    data.iconStartMenu = true;
    Outcome outcome = Run(eLauncherCmd_Install, data);
    ASSERT_TRUE(outcome.connected);
    EXPECT_EQ(outcome.command, static_cast<plat::WPARAM>(eLauncherCmd_Install));
    EXPECT_EQ(outcome.result, 0);
    ASSERT_FALSE(outcome.progress.empty());
    EXPECT_EQ(outcome.progress.front(), 0);
    EXPECT_EQ(outcome.progress.back(), 100);
    EXPECT_TRUE(std::is_sorted(outcome.progress.begin(), outcome.progress.end()));

    EXPECT_TRUE(fs::is_directory(plat::WideToUtf8(Folder())));
    EXPECT_EQ(ListEntry(0), Folder());
    const std::wstring key = std::wstring(kUninstallRoot) + L"Game Online 0";
    std::wstring value;
    ASSERT_TRUE(ReadValue(key, L"DisplayName", &value));
    EXPECT_EQ(value, L"Game Online");
    ASSERT_TRUE(ReadValue(key, L"UninstallString", &value));
    EXPECT_EQ(value, L"\"" + Folder() + L"/Launcher.exe\" /uninstall \"" +
                         Path(L"desktop/Game.desktop") + L"\"");
    ASSERT_TRUE(ReadValue(key, L"DisplayIcon", &value));
    EXPECT_EQ(value, L"\"" + Folder() + L"/Launcher.exe\",0");
    ASSERT_TRUE(ReadValue(key, L"InstallLocation", &value));
    EXPECT_EQ(value, Folder());
    ASSERT_TRUE(ReadValue(key, L"HelpLink", &value));
    EXPECT_EQ(value, L"http://example.test/help");
    ASSERT_TRUE(ReadValue(key, L"URLInfoAbout", &value));
    EXPECT_EQ(value, L"empty");

    // The all-users shortcuts as desktop entries; the desktop one is the
    // launcher's own business.
    plat::ShellLink link;
    ASSERT_TRUE(plat::LoadShellLink(Path(L"share/applications/Game Online/Game.desktop"), &link));
    EXPECT_EQ(link.target, Folder() + L"/Launcher.exe");
    EXPECT_TRUE(Exists(L"share/applications/Game Online/.directory"));
    EXPECT_TRUE(Exists(L"share/applications/Game.desktop"));
    EXPECT_FALSE(Exists(L"desktop/Game.desktop"));
    std::uint32_t owner = ~0u;
    ASSERT_TRUE(plat::GetRegistryKeyOwner(plat::RegistryRoot::LocalMachine, kRegPath, &owner));
    EXPECT_EQ(owner, plat::InvokingUserId());

    // The launcher's log shows both sides of the exchange.
    std::string log = LauncherLog();
    for (const char* line :
         {"Unpacking LauncherAssistant to temp .. OK",
          "Pipe name: \\\\.\\pipe\\launcher_LauncherAssistant.exe create .. OK",
          "Run LauncherAssistant .. OK", "--- SendDataToAssistant ---",
          "  chFullName = Game Online", "  bIconPrograms = true", "  bIconStartMenu = true",
          "  Icons:", "  Name = Game", "  Exec = Launcher.exe", "  Action = Add",
          "---------------------------", "  [assistant] launcherAssistant started",
          "  [assistant] InstallClient: index = -1", "  [assistant] Pipe closed"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;

    // A second installation takes the next entry and numbers its name (the
    // first keeps its entry while its folder holds something).
    WriteTestFile(Folder() + L"/Launcher.exe", "launcher");
    data.installFolder = Path(L"games/Second");
    ASSERT_EQ(Run(eLauncherCmd_Install, data).result, 0);
    EXPECT_EQ(ListEntry(1), Path(L"games/Second"));
    ASSERT_TRUE(ReadValue(std::wstring(kUninstallRoot) + L"Game Online 1", L"DisplayName", &value));
    EXPECT_EQ(value, L"Game Online (2)");
    EXPECT_TRUE(Exists(L"share/applications/Game Online/Game (2).desktop"));
}

TEST_F(AssistantCommandTest, InstallRefusesSomebodyElsesFolderAndAFullList) {
#ifndef _WIN32
    if (plat::InvokingUserId() == 0) {
        // Root's folders are its own; someone else's needs another owner.
        fs::create_directories(Narrow(L"games/Foreign"));
        WriteTestFile(Path(L"games/Foreign/private.txt"), "secret");
        ASSERT_EQ(::chown(Narrow(L"games/Foreign").c_str(), 65534, 65534), 0);
        assistant::AssistantData data = Record(eLauncherCmd_Install);
        data.installFolder = Path(L"games/Foreign");
        EXPECT_EQ(Run(eLauncherCmd_Install, data).result, assistant::kCntCreateDir);
        EXPECT_EQ(ListEntry(0), L"");
    }
#endif
    plat::RegistryKey list;
    ASSERT_TRUE(
        list.Create(plat::RegistryRoot::LocalMachine, std::wstring(kRegPath) + L"\\Install"));
    for (int i = 0; i < 10; ++i) {
        std::wstring folder = Path(L"games/Other" + std::to_wstring(i));
        WriteTestFile(folder + L"/file", "x");
        list.WriteString(i == 0 ? L"Directory" : L"Directory" + std::to_wstring(i), folder);
    }
    EXPECT_EQ(Run(eLauncherCmd_Install, Record(eLauncherCmd_Install)).result,
              assistant::kTooManyInstallations);
    EXPECT_FALSE(plat::RegistryKeyExists(plat::RegistryRoot::LocalMachine,
                                         std::wstring(kUninstallRoot) + L"Game Online 0"));
}

TEST_F(AssistantCommandTest, GetRightsGivesTheTreeToTheUserAndNotWhatALinkReaches) {
    Installed();
    PlantCanary();
    ::chmod(plat::WideToUtf8(Folder() + L"/data/pack1.dat").c_str(), 0444);
    Outcome outcome = Run(eLauncherCmd_GetRights, Record(eLauncherCmd_GetRights));
    EXPECT_EQ(outcome.result, 0);
    struct stat st {};
    ASSERT_EQ(::stat(plat::WideToUtf8(Folder() + L"/data/pack1.dat").c_str(), &st), 0);
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

TEST_F(AssistantCommandTest, IconUpdateAddsAndDeletesTheAllUsersShortcuts) {
    Installed();
    assistant::AssistantData data = Record(eLauncherCmd_IconUpdate);
    data.iconStartMenu = true;
    data.icons = {{L"Editor", L"tools\\editor.exe", true}, {L"Game", L"Launcher.exe", false}};
    Outcome outcome = Run(eLauncherCmd_IconUpdate, data);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.progress.front(), 50);
    EXPECT_EQ(outcome.progress.back(), 100);
    plat::ShellLink link;
    ASSERT_TRUE(plat::LoadShellLink(Path(L"share/applications/Game Online/Editor.desktop"), &link));
    EXPECT_EQ(link.target, Folder() + L"/tools/editor.exe");
    EXPECT_TRUE(Exists(L"share/applications/Editor.desktop"));
    EXPECT_FALSE(Exists(L"share/applications/Game Online/Game.desktop"));
    EXPECT_FALSE(Exists(L"share/applications/Game.desktop"));
}

TEST_F(AssistantCommandTest, UninstallRemovesExactlyWhatWasRegistered) {
    Installed();
    PlantCanary();
    WriteTestFile(Folder() + L"/applist.dat", AppListRecord(L"Editor", L"tools\\editor.exe"));
    WriteTestFile(Path(L"desktop/Game.desktop"), "[Desktop Entry]\nExec=x\n");
    WriteTestFile(Path(L"desktop/Editor.desktop"), "[Desktop Entry]\nExec=x\n");
    WriteTestFile(Path(L"desktop/Unrelated.desktop"), "[Desktop Entry]\nExec=x\n");
    ASSERT_TRUE(assistant::CreateShortcut(Folder() + L"/tools/editor.exe", L"", L"Editor",
                                          plat::kCsidlCommonStartMenu, L"", 0, false));
    ASSERT_TRUE(assistant::CreateShortcut(Folder() + L"/tools/editor.exe", L"", L"Editor",
                                          plat::kCsidlCommonPrograms, L"Game Online", 0, false));
    ASSERT_TRUE(assistant::CreateShortcut(Folder() + L"/Launcher.exe", L"/uninstall",
                                          L"Uninstall Game", plat::kCsidlCommonPrograms,
                                          L"Game Online", 1, false));
    WriteTestFile(Path(L"games/Neighbour/keep.txt"), "neighbour");

    Outcome outcome = Run(eLauncherCmd_Uninstall, Record(eLauncherCmd_Uninstall));
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.progress.back(), 100);
    EXPECT_FALSE(Exists(L"games/Game"));
    ExpectCanaryUntouched();
    EXPECT_EQ(ReadTestFile(Path(L"games/Neighbour/keep.txt")), "neighbour");
    EXPECT_EQ(ListEntry(0), L"");
    EXPECT_FALSE(plat::RegistryKeyExists(plat::RegistryRoot::LocalMachine,
                                         std::wstring(kUninstallRoot) + L"Game Online 0"));
    EXPECT_FALSE(Exists(L"desktop/Game.desktop"));
    EXPECT_FALSE(Exists(L"desktop/Editor.desktop"));
    EXPECT_TRUE(Exists(L"desktop/Unrelated.desktop"));
    EXPECT_FALSE(Exists(L"share/applications/Editor.desktop"));
    EXPECT_FALSE(Exists(L"share/applications/Game Online"));
}

TEST_F(AssistantCommandTest, UninstallOfWhatIsNoInstallationChangesNothing) {
    // Not listed: nothing is removed and the answer says so.
    WriteTestFile(Path(L"games/Loose/Launcher.exe"), "x");
    assistant::AssistantData loose = Record(eLauncherCmd_Uninstall);
    loose.installFolder = Path(L"games/Loose");
    EXPECT_EQ(Run(eLauncherCmd_Uninstall, loose).result, assistant::kCntFoundDir);
    EXPECT_TRUE(Exists(L"games/Loose/Launcher.exe"));

    // Listed, but it holds no launcher: not deleted either.
    ASSERT_EQ(Run(eLauncherCmd_Install, Record(eLauncherCmd_Install)).result, 0);
    WriteTestFile(Folder() + L"/precious.txt", "x");
    EXPECT_EQ(Run(eLauncherCmd_Uninstall, Record(eLauncherCmd_Uninstall)).result,
              assistant::kShortInstallationPath);
    EXPECT_TRUE(Exists(L"games/Game/precious.txt"));
    EXPECT_EQ(ListEntry(0), Folder());
}

TEST_F(AssistantCommandTest, KillProcessEndsTheClientOfThisInstallationOnly) {
    Installed();
    fs::create_directories(Narrow(L"elsewhere"));
    for (const std::wstring& copy : {Folder() + L"/client.exe", Path(L"elsewhere/client.exe")}) {
        fs::copy_file(plat::WideToUtf8(ChildPath()), plat::WideToUtf8(copy));
        fs::permissions(plat::WideToUtf8(copy), fs::perms::owner_all);
    }
    plat::Process client, other;
    plat::ProcessStartInfo info;
    info.commandLine = plat::BuildCommandLine(Folder() + L"/client.exe", L"sleep 60000");
    ASSERT_TRUE(client.Start(info));
    info.commandLine = plat::BuildCommandLine(Path(L"elsewhere/client.exe"), L"sleep 60000");
    ASSERT_TRUE(other.Start(info));

    // The path reaches the client through a link: it is the resolved path
    // that counts.
    fs::create_directory_symlink(Narrow(L"games"), Narrow(L"alias"));
    assistant::AssistantData data = Record(eLauncherCmd_KillProcess);
    data.temp = Path(L"alias/Game/client.exe");
    EXPECT_EQ(Run(eLauncherCmd_KillProcess, data).result, 0);
    EXPECT_TRUE(client.Wait(windowtest::kWatchdogMs));
    EXPECT_FALSE(other.Wait(0));
    other.Terminate(0);
    other.Wait(-1);
}

TEST_F(AssistantCommandTest, InstallKBRunsThePackageBesideTheAssistantAndReportsItsEnd) {
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

TEST_F(AssistantCommandTest, ACancelStopsTheCommandInProgress) {
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

TEST_F(AssistantCommandTest, SetLongNameMovesTheInstallationAndRegistersItAnew) {
    Installed();
    assistant::AssistantData data = Record(eLauncherCmd_SetLongName);
    data.temp = L"\"" + Path(L"games/Moved") + L"\" \"game\" \"Game Online\" \"\" \"Game\" \"x\" 0";
    Outcome outcome = Run(eLauncherCmd_SetLongName, data);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_FALSE(Exists(L"games/Game"));
    EXPECT_EQ(ReadTestFile(Path(L"games/Moved/data/pack1.dat")), "data");
    EXPECT_EQ(ListEntry(0), Path(L"games/Moved"));
    std::wstring value;
    ASSERT_TRUE(
        ReadValue(std::wstring(kUninstallRoot) + L"Game Online 0", L"InstallLocation", &value));
    EXPECT_EQ(value, Path(L"games/Moved"));
    // The shortcuts point into the new folder; none is left for the old one.
    plat::ShellLink link;
    ASSERT_TRUE(plat::LoadShellLink(Path(L"share/applications/Game Online/Game.desktop"), &link));
    EXPECT_EQ(link.target, Path(L"games/Moved/Launcher.exe"));
    std::string log = LauncherLog();
    for (const char* line :
         {"SetLongName - begin", "sInstallFolderDst = ", "RenameInstallDirectoryes: index = -1",
          "MoveFiles from ", "result ok", "deleteAllShortcut", "SetLongName - end"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
}

TEST_F(AssistantCommandTest, SetLongNameWaitsForAProgramStillRunningFromTheFolder) {
    Installed();
    // A program of the folder that ends 1.5 s later, as the launcher that
    // started the move does.
    const std::wstring program = Path(L"games/Game/Bin/helper.exe");
    fs::create_directories(plat::WideToUtf8(Path(L"games/Game/Bin")));
    fs::copy_file(ASSISTANT_CHILD_PATH, plat::WideToUtf8(program));
    plat::ProcessStartInfo info;
    info.commandLine = L"\"" + program + L"\" hold 1500";
    plat::Process holder;
    ASSERT_TRUE(holder.Start(info));
    for (int i = 0; i < 400 && !plat::IsImageInUse(program); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(plat::IsImageInUse(program));
    assistant::AssistantData data = Record(eLauncherCmd_SetLongName);
    data.temp = L"\"" + Path(L"games/Moved") + L"\" \"game\" \"Game Online\" \"\" \"Game\" \"x\" 0";
    Outcome outcome = Run(eLauncherCmd_SetLongName, data);
    holder.Wait(10000);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_FALSE(Exists(L"games/Game"));
    EXPECT_EQ(ReadTestFile(Path(L"games/Moved/data/pack1.dat")), "data");
    std::string log = LauncherLog();
    EXPECT_NE(log.find("a program still runs from the folder, waiting for it"), std::string::npos)
        << log;
}

TEST_F(AssistantCommandTest, SetLongNameRefusesAFilledDestinationBeforeChangingAnything) {
    Installed();
    WriteTestFile(Path(L"games/Busy/mine.txt"), "mine");
    assistant::AssistantData data = Record(eLauncherCmd_SetLongName);
    data.temp = L"\"" + Path(L"games/Busy") +
                L"\" \"game\" \"Game Online\" \"Software\\Demo\\Game\" \"Game\" \"x\" 0";
    EXPECT_EQ(Run(eLauncherCmd_SetLongName, data).result, assistant::kCntCreateDir);
    EXPECT_EQ(ReadTestFile(Path(L"games/Busy/mine.txt")), "mine");
    EXPECT_TRUE(Exists(L"games/Game/Launcher.exe"));
    EXPECT_EQ(ListEntry(0), Folder());
    EXPECT_TRUE(plat::RegistryKeyExists(plat::RegistryRoot::LocalMachine,
                                        std::wstring(kUninstallRoot) + L"Game Online 0"));
}

} // namespace
