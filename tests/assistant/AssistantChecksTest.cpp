#include "assistant/AssistantChecks.h"

#include "assistant/AssistantProtocol.h"
#include "platform/ProcessList.h"
#include "platform/Unicode.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

using assistant::FolderVerdict;
using testsupport::ScopedEnv;
namespace fs = std::filesystem;

assistant::AssistantData ValidRecord(int command) {
    assistant::AssistantData data;
    data.command = command;
    data.installFolder = L"/srv/games/Game";
    data.userName = L"ugo";
    data.shortName = L"game";
    data.fullName = L"Game Online";
    data.iconName = L"Game";
    data.regPath = L"Software\\Demo\\Game";
    data.helpLink = L"empty";
    data.lnkDesktopIcon = L"/home/ugo/Desktop";
    data.launcherName = L"Launcher.exe";
    data.temp = command == assistant::eLauncherCmd_SetLongName
                    ? L"\"/srv/games/New\" \"old\" \"Old Game\" \"Software\\Old\" \"Old\" \"x\" 0"
                    : L"/srv/games/Game/client.exe";
    data.icons = {{L"Game", L"Launcher.exe", true}, {L"Editor", L"tools\\editor.exe", false}};
    return data;
}

std::string Check(const assistant::AssistantData& data,
                  std::vector<std::string> unterminated = {}) {
    return assistant::CheckRecord(data.command, data, unterminated);
}

TEST(AssistantChecksTest, NamesAndPathsThatMayBeUsed) {
    EXPECT_TRUE(assistant::IsSafeName(L"Game Online (2)"));
    EXPECT_TRUE(assistant::IsSafeName(L"Game..."));
    for (const wchar_t* bad : {L"", L".", L"..", L"a/b", L"a\\b", L"tab\there", L"bell\x07"})
        EXPECT_FALSE(assistant::IsSafeName(bad)) << plat::WideToUtf8(bad);

    EXPECT_TRUE(assistant::IsSafeRegistryPath(L"Software\\Demo\\Game"));
    for (const wchar_t* bad :
         {L"", L"Software\\..\\Other", L"Software\\\\Demo", L"\\Software", L"Software/Demo",
          L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
          L"software\\microsoft\\windows\\currentversion\\uninstall\\Other 0"})
        EXPECT_FALSE(assistant::IsSafeRegistryPath(bad)) << plat::WideToUtf8(bad);

    EXPECT_TRUE(assistant::IsSafeAbsolutePath(L"/srv/games/Game"));
    for (const wchar_t* bad :
         {L"", L"srv/games", L"/srv/../etc", L"/srv/./x", L"/srv\\x", L"/srv/line\nbreak"})
        EXPECT_FALSE(assistant::IsSafeAbsolutePath(bad)) << plat::WideToUtf8(bad);

    EXPECT_TRUE(assistant::IsSafeRelativePath(L"tools\\editor.exe"));
    EXPECT_TRUE(assistant::IsSafeRelativePath(L"tools/editor.exe"));
    for (const wchar_t* bad : {L"", L"/etc/passwd", L"\\x", L"..\\x", L"a\\..\\..\\x", L"a//b"})
        EXPECT_FALSE(assistant::IsSafeRelativePath(bad)) << plat::WideToUtf8(bad);
}

TEST(AssistantChecksTest, AWellFormedRecordOfEachCommandPasses) {
    for (int command : {1, 3, 4, 5, 7, 8})
        EXPECT_EQ(Check(ValidRecord(command)), "") << command;
}

TEST(AssistantChecksTest, HostileRecordsAreRefused) {
    using Change = void (*)(assistant::AssistantData&);
    const Change changes[] = {
        [](assistant::AssistantData& d) { d.command = 4; },
        [](assistant::AssistantData& d) { d.installFolder = L"relative/Game"; },
        [](assistant::AssistantData& d) { d.installFolder = L"/srv/games/../../etc"; },
        [](assistant::AssistantData& d) { d.installFolder.clear(); },
        [](assistant::AssistantData& d) { d.fullName = L".."; },
        [](assistant::AssistantData& d) { d.fullName = L"Game/../../etc"; },
        [](assistant::AssistantData& d) { d.iconName = L"../Game"; },
        [](assistant::AssistantData& d) { d.iconName.clear(); },
        [](assistant::AssistantData& d) { d.launcherName = L"../../usr/bin/x"; },
        [](assistant::AssistantData& d) { d.regPath = L"Software\\..\\..\\Other"; },
        [](assistant::AssistantData& d) { d.helpLink = L"http://x/\r\nInjected"; },
        [](assistant::AssistantData& d) { d.lnkDesktopIcon = L"Desktop"; },
        [](assistant::AssistantData& d) { d.temp = L"client.exe"; },
        [](assistant::AssistantData& d) { d.icons[0].name = L".."; },
        [](assistant::AssistantData& d) { d.icons[1].exec = L"..\\..\\etc\\passwd"; },
        [](assistant::AssistantData& d) { d.icons[1].exec = L"/bin/sh"; },
    };
    for (std::size_t i = 0; i < std::size(changes); ++i) {
        assistant::AssistantData data = ValidRecord(assistant::eLauncherCmd_Uninstall);
        changes[i](data);
        int command = assistant::eLauncherCmd_Uninstall;
        EXPECT_NE(assistant::CheckRecord(command, data, {}), "") << "change " << i;
    }
    EXPECT_NE(Check(ValidRecord(1), {"chTemp"}), "");
    EXPECT_NE(Check(ValidRecord(1), {"an icon's Name"}), "");

    assistant::AssistantData move = ValidRecord(assistant::eLauncherCmd_SetLongName);
    move.temp = L"\"/srv/games/New\" \"old\"";
    EXPECT_NE(Check(move), "");
    move = ValidRecord(assistant::eLauncherCmd_SetLongName);
    move.temp = L"\"new\" \"old\" \"Old\" \"\" \"Old\"";
    EXPECT_NE(Check(move), "");
    move.temp = L"\"/srv/New\" \"old\" \"Old\" \"\" \"Old\"";
    EXPECT_EQ(Check(move), "");
}

TEST(AssistantChecksTest, TheMoveArgumentsAreTheFirstFiveQuotedValues) {
    assistant::MoveArguments args;
    ASSERT_TRUE(assistant::ParseMoveArguments(
        L"\"/srv/New Game\" \"game\" \"Game Online\" \"Software\\Demo\" \"Game\" \"x\" 0", &args));
    EXPECT_EQ(args.destination, L"/srv/New Game");
    EXPECT_EQ(args.oldShortName, L"game");
    EXPECT_EQ(args.oldFullName, L"Game Online");
    EXPECT_EQ(args.oldRegPath, L"Software\\Demo");
    EXPECT_EQ(args.oldIconName, L"Game");
    EXPECT_FALSE(assistant::ParseMoveArguments(L"\"a\" \"b\" \"c\" \"d\"", &args));
}

class WorkFolderTest : public ::testing::Test {
protected:
    std::wstring Path(const std::string& name) const {
        return plat::Utf8ToWide(dir_.NarrowPath() + name);
    }

    testsupport::TempDir dir_;
    ScopedEnv home_{"HOME", dir_.NarrowPath() + "home/ugo"};
    ScopedEnv data_{"XDG_DATA_HOME", dir_.NarrowPath() + "home/ugo/.local/share"};
    ScopedEnv desktop_{"XDG_DESKTOP_DIR", dir_.NarrowPath() + "home/ugo/Desktop"};
    ScopedEnv common_{"LAUNCHER_COMMON_DATA_DIR", dir_.NarrowPath() + "share"};
    ScopedEnv programs_{"LAUNCHER_PROGRAM_FILES", dir_.NarrowPath() + "opt"};
    ScopedEnv temp_{"LAUNCHER_TEMP_DIR", dir_.NarrowPath() + "temp"};
    ScopedEnv runtime_{"XDG_RUNTIME_DIR", dir_.NarrowPath() + "run"};
};

TEST_F(WorkFolderTest, RootsSystemHomesTemporaryAndShellFoldersAreRefused) {
    fs::create_directories(dir_.NarrowPath() + "run");
    fs::permissions(dir_.NarrowPath() + "run", fs::perms::owner_all);
    using V = FolderVerdict;
    const std::pair<std::wstring, V> cases[] = {
        {L"relative", V::NotAbsolute},
        {L"/", V::Root},
        {L"/opt", V::Root},
        {L"/usr", V::Root},
        {L"/usr/bin", V::System},
        {L"/usr/share/games/x", V::System},
        {L"/etc/Game", V::System},
        {L"/var/lib/Game", V::System},
        {L"/proc/1", V::System},
        {L"/usr/local/games", V::System},
        {L"/usr/local/games/Game", V::Acceptable},
        {L"/var/games/Game", V::Acceptable},
        {L"/home", V::Root},
        {L"/home/ugo", V::Home},
        {L"/root/Games", V::Acceptable},
        {L"/tmp", V::Root},
        {L"/var/tmp", V::System},
        {Path("temp"), V::Temporary},
        {Path("temp/LauncherAssistant"), V::Temporary},
        {Path("run/launcher"), V::Temporary},
        {Path("home/ugo/Desktop"), V::Special},
        {Path("home/ugo/.local"), V::Special},
        {Path("home/ugo/.local/share/applications"), V::Special},
        {Path("home/ugo/.config"), V::Special},
        {Path("share"), V::Special},
        {Path("opt"), V::Special},
        {Path("opt/Game"), V::Acceptable},
        {Path("home/ugo/Games/Game"), V::Acceptable},
        {L"/srv/games/Game", V::Acceptable},
    };
    for (const auto& [path, verdict] : cases)
        EXPECT_EQ(assistant::ClassifyWorkFolder(path), verdict) << plat::WideToUtf8(path);
}

TEST_F(WorkFolderTest, TheFolderIsJudgedWhereItReallyIs) {
    fs::create_directories(dir_.NarrowPath() + "games/Game");
    testsupport::WriteTestFile(Path("games/Game/Launcher.exe"), "x");
    fs::create_directory_symlink("/usr/share", dir_.NarrowPath() + "games/shared");
    fs::create_directory_symlink(dir_.NarrowPath() + "games/Game",
                                 dir_.NarrowPath() + "games/alias");

    plat::OpenFolder folder;
    std::string why;
    EXPECT_TRUE(
        assistant::OpenWorkFolder(Path("games/Game"), L"launcher.exe", true, &folder, &why));
    EXPECT_FALSE(
        assistant::OpenWorkFolder(Path("games/alias"), L"Launcher.exe", false, &folder, &why));
    EXPECT_FALSE(
        assistant::OpenWorkFolder(Path("games/shared/doc"), L"Launcher.exe", false, &folder, &why));
    EXPECT_NE(why.find("system"), std::string::npos) << why;
    fs::create_directories(dir_.NarrowPath() + "games/Other");
    EXPECT_TRUE(
        assistant::OpenWorkFolder(Path("games/Other"), L"Launcher.exe", false, &folder, &why));
    EXPECT_FALSE(
        assistant::OpenWorkFolder(Path("games/Other"), L"Launcher.exe", true, &folder, &why));
    EXPECT_NE(why.find("holds no Launcher.exe"), std::string::npos) << why;
    EXPECT_FALSE(folder.IsOpen());
}

} // namespace
