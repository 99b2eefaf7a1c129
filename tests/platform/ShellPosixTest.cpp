// Special folders, shortcut files and folder icons as the XDG desktops keep
// them, and documents opened for a wait.

#include "platform/ShellFolders.h"
#include "platform/ShellLink.h"
#include "platform/ShellOpen.h"
#include "platform/TempFileName.h"

#include "ChildProgram.h"
#include "platform/FileSystem.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using testsupport::ReadTestFile;
using testsupport::ScopedEnv;
using testsupport::WriteTestFile;
namespace fs = std::filesystem;

std::wstring Folder(int id) {
    std::wstring path;
    return plat::GetSpecialFolderPath(id, &path) ? path : L"<none>";
}

TEST(SpecialFoldersTest, FoldersFollowTheXdgPlacesAndTheirMovingVariables) {
    testsupport::TempDir dir;
    std::string home = dir.NarrowPath() + "home";
    ScopedEnv homeEnv("HOME", home);
    ScopedEnv desktop("XDG_DESKTOP_DIR", nullptr);
    ScopedEnv config("XDG_CONFIG_HOME", nullptr);
    ScopedEnv data("XDG_DATA_HOME", nullptr);
    ScopedEnv common("LAUNCHER_COMMON_DATA_DIR", nullptr);
    ScopedEnv programs("LAUNCHER_PROGRAM_FILES", nullptr);

    EXPECT_EQ(Folder(plat::kCsidlDesktop), plat::Utf8ToWide(home + "/Desktop"));
    EXPECT_EQ(Folder(plat::kCsidlPrograms), plat::Utf8ToWide(home + "/.local/share/applications"));
    EXPECT_EQ(Folder(plat::kCsidlStartMenu), Folder(plat::kCsidlPrograms));
    EXPECT_EQ(Folder(plat::kCsidlCommonPrograms), L"/usr/local/share/applications");
    EXPECT_EQ(Folder(plat::kCsidlProgramFiles), L"/opt");
    EXPECT_EQ(Folder(plat::kCsidlCommonDesktopDirectory), L"<none>");
    EXPECT_EQ(Folder(12345), L"<none>");

    // The user's own name for the desktop folder.
    WriteTestFile(
        plat::Utf8ToWide(home + "/.config/user-dirs.dirs"),
        "# comment\nXDG_DOCUMENTS_DIR=\"$HOME/Docs\"\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
    EXPECT_EQ(Folder(plat::kCsidlDesktop), plat::Utf8ToWide(home + "/Schreibtisch"));
    {
        ScopedEnv moved("XDG_DESKTOP_DIR", dir.NarrowPath() + "desk/");
        EXPECT_EQ(Folder(plat::kCsidlDesktop), plat::Utf8ToWide(dir.NarrowPath() + "desk"));
    }
    ScopedEnv movedData("XDG_DATA_HOME", dir.NarrowPath() + "data");
    ScopedEnv movedCommon("LAUNCHER_COMMON_DATA_DIR", dir.NarrowPath() + "share");
    ScopedEnv movedPrograms("LAUNCHER_PROGRAM_FILES", dir.NarrowPath() + "opt");
    EXPECT_EQ(Folder(plat::kCsidlStartMenu),
              plat::Utf8ToWide(dir.NarrowPath() + "data/applications"));
    EXPECT_EQ(Folder(plat::kCsidlCommonStartMenu),
              plat::Utf8ToWide(dir.NarrowPath() + "share/applications"));
    EXPECT_EQ(Folder(plat::kCsidlProgramFiles), plat::Utf8ToWide(dir.NarrowPath() + "opt"));
    EXPECT_FALSE(plat::GetHomeFolders().empty());
}

TEST(ShellLinkTest, AShortcutKeepsItsTargetAndArgumentsExactly) {
    testsupport::TempDir dir;
    plat::ShellLink link;
    link.displayName = L" Uninstall Game (2)";
    link.target = dir.File(L"Game Folder/Launcher.exe");
    link.arguments = L"/uninstall \"/home/u/Desktop/Game 100% $HOME`x`.desktop\"";
    link.workingFolder = dir.File(L"Game Folder");
    link.iconIndex = 1;
    std::wstring path = dir.File(L"Uninstall Game (2).desktop");
    ASSERT_TRUE(plat::SaveShellLink(path, link));

    plat::ShellLink back;
    ASSERT_TRUE(plat::LoadShellLink(path, &back));
    EXPECT_EQ(back.displayName, link.displayName);
    EXPECT_EQ(back.target, link.target);
    EXPECT_EQ(back.arguments, link.arguments);
    EXPECT_EQ(back.workingFolder, link.workingFolder);
    EXPECT_EQ(back.iconFile, link.target);
    EXPECT_EQ(back.iconIndex, 1);

    // What the desktop reads: quoted where needed, field codes doubled.
    std::string text = ReadTestFile(path);
    EXPECT_NE(text.find("[Desktop Entry]\n"), std::string::npos);
    EXPECT_NE(text.find("Type=Application\n"), std::string::npos);
    EXPECT_NE(text.find("Exec=\"" + dir.NarrowPath() + "Game Folder/Launcher.exe\" /uninstall"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Game 100%% \\\\$HOME\\\\`x\\\\`.desktop"), std::string::npos) << text;
    struct stat st {};
    ASSERT_EQ(::stat(plat::WideToUtf8(path).c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR); // desktops run only entries that may be run
}

TEST(ShellLinkTest, EntriesMadeByOthersGiveTheirTargetFromExec) {
    testsupport::TempDir dir;
    std::wstring path = dir.File(L"other.desktop");
    WriteTestFile(path, "[Desktop Entry]\nName=Other\nExec=\"/opt/My Game/run.sh\" --x %U\n"
                        "[Desktop Action new]\nExec=/wrong\n");
    plat::ShellLink link;
    ASSERT_TRUE(plat::LoadShellLink(path, &link));
    EXPECT_EQ(link.target, L"/opt/My Game/run.sh");
    WriteTestFile(path, "no group here\nExec=/x\n");
    EXPECT_FALSE(plat::LoadShellLink(path, &link));
    WriteTestFile(path, "[Desktop Entry]\n" + std::string(70000, '#') + "\n");
    EXPECT_FALSE(plat::LoadShellLink(path, &link));
}

TEST(ShellLinkTest, ALinkWhereTheShortcutGoesIsReplacedNotFollowed) {
    testsupport::TempDir dir;
    WriteTestFile(dir.File(L"canary.txt"), "canary");
    fs::create_symlink(dir.NarrowPath() + "canary.txt", dir.NarrowPath() + "Game.desktop");
    plat::ShellLink link;
    link.target = L"/opt/Game/Launcher.exe";
    EXPECT_FALSE(plat::LoadShellLink(dir.File(L"Game.desktop"), &link));
    ASSERT_TRUE(plat::SaveShellLink(dir.File(L"Game.desktop"), link));
    EXPECT_EQ(ReadTestFile(dir.File(L"canary.txt")), "canary");
    EXPECT_FALSE(fs::is_symlink(dir.NarrowPath() + "Game.desktop"));
    link.target.clear();
    EXPECT_FALSE(plat::SaveShellLink(dir.File(L"Empty.desktop"), link));
}

TEST(ShellLinkTest, AFolderIconIsADirectoryEntryInTheFolder) {
    testsupport::TempDir dir;
    ASSERT_TRUE(plat::SetFolderIcon(dir.File(L""), L"/opt/Game/Launcher.exe", 0));
    std::string text = ReadTestFile(dir.File(plat::kFolderSettingsFile));
    EXPECT_NE(text.find("Type=Directory\n"), std::string::npos);
    EXPECT_NE(text.find("Icon=/opt/Game/Launcher.exe\n"), std::string::npos);
}

TEST(ShellOpenTest, AProgramIsRunAndWaitedFor) {
    testsupport::TempDir dir;
    std::wstring script = dir.File(L"KB2999226.msu");
    WriteTestFile(script, "#!/bin/sh\nexit 3010\n");
    fs::permissions(plat::WideToUtf8(script), fs::perms::owner_all);
    plat::Process process;
    ASSERT_TRUE(plat::OpenDocument(script, &process));
    ASSERT_TRUE(process.Wait(platformtest::kWatchdogMs));
    std::uint32_t code = 0;
    ASSERT_TRUE(process.GetExitCode(&code));
    EXPECT_EQ(code, 3010u % 256); // as a shell reports an exit status
    EXPECT_FALSE(plat::OpenDocument(dir.File(L"missing.msu"), &process));
    EXPECT_EQ(plat::GetLastError(), plat::kErrFileNotFound);
}

} // namespace
