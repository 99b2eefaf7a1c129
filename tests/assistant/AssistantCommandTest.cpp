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
        WriteTestFile(InFolder(L"Launcher.exe"), "launcher");
        WriteTestFile(InFolder(L"data/pack1.dat"), "data");
        WriteTestFile(InFolder(L"data/sub/pack2.dat"), "data");
    }

    // A read-only canary file outside the installation, and a link to its
    // folder inside it where this system lets the test make one (Wine makes
    // no links).
    void PlantCanary() {
        WriteTestFile(Path(L"canary/keep.txt"), "canary");
        fs::permissions(testsupport::FsPath(Path(L"canary/keep.txt")),
                        fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        std::error_code ec;
        fs::create_directory_symlink(testsupport::FsPath(Path(L"canary")),
                                     testsupport::FsPath(InFolder(L"data/link")), ec);
    }
    void ExpectCanaryUntouched() {
        EXPECT_EQ(ReadTestFile(Path(L"canary/keep.txt")), "canary");
        fs::perms perms = fs::status(testsupport::FsPath(Path(L"canary/keep.txt"))).permissions();
        EXPECT_EQ(perms & fs::perms::owner_write, fs::perms::none);
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
    EXPECT_EQ(value, L"\"" + InFolder(L"Launcher.exe") + L"\" /uninstall \"" +
                         Path(Lnk(L"desktop/Game")) + L"\"");
    ASSERT_TRUE(ReadValue(key, L"DisplayIcon", &value));
    EXPECT_EQ(value, L"\"" + InFolder(L"Launcher.exe") + L"\",0");
    ASSERT_TRUE(ReadValue(key, L"InstallLocation", &value));
    EXPECT_EQ(value, Folder());
    ASSERT_TRUE(ReadValue(key, L"HelpLink", &value));
    EXPECT_EQ(value, L"http://example.test/help");
    ASSERT_TRUE(ReadValue(key, L"URLInfoAbout", &value));
    EXPECT_EQ(value, L"empty");

    // The all-users shortcuts in the system's format; the desktop one is the
    // launcher's own business.
    plat::ShellLink link;
    ASSERT_TRUE(plat::LoadShellLink(CommonPrograms(Lnk(L"Game Online/Game")), &link));
    EXPECT_EQ(link.target, InFolder(L"Launcher.exe"));
    EXPECT_TRUE(
        ExistsAt(CommonPrograms(std::wstring(L"Game Online/") + plat::kFolderSettingsFile)));
    EXPECT_TRUE(ExistsAt(CommonStartMenu(Lnk(L"Game"))));
    EXPECT_FALSE(Exists(Lnk(L"desktop/Game")));
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
    WriteTestFile(InFolder(L"Launcher.exe"), "launcher");
    data.installFolder = Path(L"games/Second");
    ASSERT_EQ(Run(eLauncherCmd_Install, data).result, 0);
    EXPECT_EQ(ListEntry(1), Path(L"games/Second"));
    ASSERT_TRUE(ReadValue(std::wstring(kUninstallRoot) + L"Game Online 1", L"DisplayName", &value));
    EXPECT_EQ(value, L"Game Online (2)");
    EXPECT_TRUE(ExistsAt(CommonPrograms(Lnk(L"Game Online/Game (2)"))));
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
        WriteTestFile(folder + plat::PathSeparator() + L"file", "x");
        list.WriteString(i == 0 ? L"Directory" : L"Directory" + std::to_wstring(i), folder);
    }
    EXPECT_EQ(Run(eLauncherCmd_Install, Record(eLauncherCmd_Install)).result,
              assistant::kTooManyInstallations);
    EXPECT_FALSE(plat::RegistryKeyExists(plat::RegistryRoot::LocalMachine,
                                         std::wstring(kUninstallRoot) + L"Game Online 0"));
}

TEST_F(AssistantCommandTest, IconUpdateAddsAndDeletesTheAllUsersShortcuts) {
    Installed();
    assistant::AssistantData data = Record(eLauncherCmd_IconUpdate);
    data.iconStartMenu = true;
    data.icons = {{L"Editor", L"tools\\editor.exe", true}, {L"Game", L"Launcher.exe", false}};
    Outcome outcome = Run(eLauncherCmd_IconUpdate, data);
    EXPECT_EQ(outcome.result, 0);
    ASSERT_FALSE(outcome.progress.empty());
    EXPECT_EQ(outcome.progress.front(), 50);
    EXPECT_EQ(outcome.progress.back(), 100);
    plat::ShellLink link;
    ASSERT_TRUE(plat::LoadShellLink(CommonPrograms(Lnk(L"Game Online/Editor")), &link));
    EXPECT_EQ(link.target, InFolder(L"tools/editor.exe"));
    EXPECT_TRUE(ExistsAt(CommonStartMenu(Lnk(L"Editor"))));
    EXPECT_FALSE(ExistsAt(CommonPrograms(Lnk(L"Game Online/Game"))));
    EXPECT_FALSE(ExistsAt(CommonStartMenu(Lnk(L"Game"))));
}

TEST_F(AssistantCommandTest, UninstallRemovesExactlyWhatWasRegistered) {
    Installed();
    PlantCanary();
    WriteTestFile(InFolder(L"applist.dat"), AppListRecord(L"Editor", L"tools\\editor.exe"));
    WriteTestFile(Path(Lnk(L"desktop/Game")), "not the launcher's");
    WriteTestFile(Path(Lnk(L"desktop/Editor")), "not the launcher's");
    WriteTestFile(Path(Lnk(L"desktop/Unrelated")), "not the launcher's");
    ASSERT_TRUE(assistant::CreateShortcut(InFolder(L"tools/editor.exe"), L"", L"Editor",
                                          plat::kCsidlCommonStartMenu, L"", 0, false));
    ASSERT_TRUE(assistant::CreateShortcut(InFolder(L"tools/editor.exe"), L"", L"Editor",
                                          plat::kCsidlCommonPrograms, L"Game Online", 0, false));
    ASSERT_TRUE(assistant::CreateShortcut(InFolder(L"Launcher.exe"), L"/uninstall",
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
    EXPECT_FALSE(Exists(Lnk(L"desktop/Game")));
    EXPECT_FALSE(Exists(Lnk(L"desktop/Editor")));
    EXPECT_TRUE(Exists(Lnk(L"desktop/Unrelated")));
    EXPECT_FALSE(ExistsAt(CommonStartMenu(Lnk(L"Editor"))));
    EXPECT_FALSE(ExistsAt(CommonPrograms(L"Game Online")));
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
    WriteTestFile(InFolder(L"precious.txt"), "x");
    EXPECT_EQ(Run(eLauncherCmd_Uninstall, Record(eLauncherCmd_Uninstall)).result,
              assistant::kShortInstallationPath);
    EXPECT_TRUE(Exists(L"games/Game/precious.txt"));
    EXPECT_EQ(ListEntry(0), Folder());
}

TEST_F(AssistantCommandTest, KillProcessEndsTheClientOfThisInstallationOnly) {
    Installed();
    fs::create_directories(Narrow(L"elsewhere"));
    for (const std::wstring& copy : {InFolder(L"client.exe"), Path(L"elsewhere/client.exe")}) {
        fs::copy_file(testsupport::FsPath(ChildPath()), testsupport::FsPath(copy));
        fs::permissions(testsupport::FsPath(copy), fs::perms::owner_all);
    }
    plat::Process client, other;
    plat::ProcessStartInfo info;
    info.commandLine = plat::BuildCommandLine(InFolder(L"client.exe"), L"sleep 60000");
    ASSERT_TRUE(client.Start(info));
    info.commandLine = plat::BuildCommandLine(Path(L"elsewhere/client.exe"), L"sleep 60000");
    ASSERT_TRUE(other.Start(info));

    // The path reaches the client through a link: it is the resolved path
    // that counts. Where no link can be made (Wine), the folder's own path.
    std::error_code noLink;
    fs::create_directory_symlink(testsupport::FsPath(Path(L"games")),
                                 testsupport::FsPath(Path(L"alias")), noLink);
    assistant::AssistantData data = Record(eLauncherCmd_KillProcess);
    data.temp = noLink ? InFolder(L"client.exe") : Path(L"alias/Game/client.exe");
    EXPECT_EQ(Run(eLauncherCmd_KillProcess, data).result, 0);
    EXPECT_TRUE(client.Wait(windowtest::kWatchdogMs));
    EXPECT_FALSE(other.Wait(0));
    other.Terminate(0);
    other.Wait(-1);
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
    ASSERT_TRUE(plat::LoadShellLink(CommonPrograms(Lnk(L"Game Online/Game")), &link));
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
