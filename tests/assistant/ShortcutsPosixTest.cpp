// Shortcuts as freedesktop desktop entries: where they go, what they
// record, the folder settings of a programs subfolder, and which entries a
// deletion matches.

#include "assistant/Shortcuts.h"

#include "platform/ShellFolders.h"
#include "platform/ShellLink.h"
#include "platform/Unicode.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

using testsupport::ReadTestFile;
using testsupport::ScopedEnv;
using testsupport::WriteTestFile;
namespace fs = std::filesystem;

// The shell folders moved into the test's own folder.
class DesktopEntryShortcutsTest : public ::testing::Test {
protected:
    std::wstring Desktop(const std::wstring& name) const { return dir_.File(L"desktop/" + name); }
    std::wstring UserMenu(const std::wstring& name) const {
        return dir_.File(L"data/applications/" + name);
    }
    std::wstring CommonMenu(const std::wstring& name) const {
        return dir_.File(L"share/applications/" + name);
    }
    bool Exists(const std::wstring& path) const { return fs::exists(plat::WideToUtf8(path)); }

    testsupport::TempDir dir_;
    ScopedEnv desktop_{"XDG_DESKTOP_DIR", dir_.NarrowPath() + "desktop"};
    ScopedEnv data_{"XDG_DATA_HOME", dir_.NarrowPath() + "data"};
    ScopedEnv common_{"LAUNCHER_COMMON_DATA_DIR", dir_.NarrowPath() + "share"};
};

TEST_F(DesktopEntryShortcutsTest, AShortcutRecordsItsTargetArgumentsAndWorkingFolder) {
    ASSERT_TRUE(assistant::CreateShortcut(L"/srv/Game/Launcher.exe", L"/uninstall \"x\"", L"Game",
                                          plat::kCsidlCommonPrograms, L"Game Online", 1, false));
    std::wstring path = CommonMenu(L"Game Online/Game.desktop");
    EXPECT_EQ(assistant::ShortcutPath(L"/srv/Game/Launcher.exe", L"Game",
                                      plat::kCsidlCommonPrograms, L"Game Online"),
              path);
    plat::ShellLink link;
    ASSERT_TRUE(plat::LoadShellLink(path, &link));
    EXPECT_EQ(link.target, L"/srv/Game/Launcher.exe");
    EXPECT_EQ(link.arguments, L"/uninstall \"x\"");
    EXPECT_EQ(link.workingFolder, L"/srv/Game");
    EXPECT_EQ(link.iconIndex, 1);
    EXPECT_FALSE(Exists(CommonMenu(L"Game Online/.directory")));

    // A target with "\" takes the text before its last "\" as working folder.
    ASSERT_TRUE(assistant::CreateShortcut(L"C:\\Games\\Game.exe", L"", L"Win", plat::kCsidlDesktop,
                                          L"", 0, false));
    ASSERT_TRUE(plat::LoadShellLink(Desktop(L"Win.desktop"), &link));
    EXPECT_EQ(link.workingFolder, L"C:\\Games");
}

TEST_F(DesktopEntryShortcutsTest, EmptyOrPathLikeNamesCreateNothing) {
    EXPECT_FALSE(assistant::CreateShortcut(L"/srv/Game/Launcher.exe", L"", L"", plat::kCsidlDesktop,
                                           L"", 0, false));
    EXPECT_FALSE(assistant::CreateShortcut(L"", L"", L"Game", plat::kCsidlDesktop, L"", 0, false));
    EXPECT_FALSE(assistant::CreateShortcut(L"/srv/Game/Launcher.exe", L"", L"../escape",
                                           plat::kCsidlDesktop, L"", 0, false));
    EXPECT_FALSE(assistant::CreateShortcut(L"/srv/Game/Launcher.exe", L"", L"Game",
                                           plat::kCsidlDesktop, L"..", 0, false));
    EXPECT_FALSE(assistant::CreateShortcut(L"/srv/Game/Launcher.exe", L"", L"Game",
                                           plat::kCsidlCommonDesktopDirectory, L"", 0, false));
    EXPECT_FALSE(Exists(dir_.File(L"escape.desktop")));
    EXPECT_EQ(assistant::ShortcutPath(L"/x", L"", plat::kCsidlDesktop, L""), L"");
}

TEST_F(DesktopEntryShortcutsTest, AProgramsSubfolderGoesWithItsLastShortcut) {
    const std::wstring target = L"/srv/Game/Launcher.exe";
    ASSERT_TRUE(assistant::CreateShortcut(target, L"", L"Game", plat::kCsidlCommonPrograms,
                                          L"Game Online", 0, true));
    ASSERT_TRUE(assistant::CreateShortcut(L"/srv/Game/editor.exe", L"", L"Editor",
                                          plat::kCsidlCommonPrograms, L"Game Online", 0, false));
    EXPECT_NE(ReadTestFile(CommonMenu(L"Game Online/.directory"))
                  .find("Icon=" + plat::WideToUtf8(target)),
              std::string::npos);

    ASSERT_TRUE(
        assistant::DeleteShortcut(target, L"Game", plat::kCsidlCommonPrograms, L"Game Online"));
    // Another shortcut is left: the subfolder and its settings stay.
    EXPECT_TRUE(Exists(CommonMenu(L"Game Online/.directory")));
    ASSERT_TRUE(assistant::DeleteShortcut(L"/srv/Game/editor.exe", L"Editor",
                                          plat::kCsidlCommonPrograms, L"Game Online"));
    EXPECT_FALSE(Exists(CommonMenu(L"Game Online")));
}

TEST_F(DesktopEntryShortcutsTest, DeletingEveryShortcutOfATargetMatchesItsWrittenForms) {
    const std::wstring target = L"/srv/Game/Launcher.exe";
    ASSERT_TRUE(assistant::CreateShortcut(L"\"/srv//Game\\Launcher.exe\"", L"", L"Quoted",
                                          plat::kCsidlDesktop, L"", 0, false));
    ASSERT_TRUE(assistant::CreateShortcut(L"/SRV/game/launcher.exe", L"", L"Case",
                                          plat::kCsidlStartMenu, L"", 0, false));
    ASSERT_TRUE(assistant::CreateShortcut(target, L"", L"Game", plat::kCsidlCommonPrograms,
                                          L"Old Name", 0, true));
    ASSERT_TRUE(assistant::CreateShortcut(target, L"", L"Game", plat::kCsidlPrograms, L"Old Name",
                                          0, false));
    ASSERT_TRUE(assistant::CreateShortcut(L"/srv/Other/Launcher.exe", L"", L"Other",
                                          plat::kCsidlDesktop, L"", 0, false));
    // Somebody else's entry and a file that is no shortcut are left alone.
    WriteTestFile(Desktop(L"foreign.desktop"), "[Desktop Entry]\nExec=/usr/bin/foreign\n");
    WriteTestFile(Desktop(L"broken.desktop"), "not an entry");

    EXPECT_TRUE(assistant::DeleteAllShortcuts(target, L"Old Name"));
    EXPECT_FALSE(Exists(Desktop(L"Quoted.desktop")));
    EXPECT_FALSE(Exists(UserMenu(L"Case.desktop")));
    EXPECT_FALSE(Exists(CommonMenu(L"Old Name")));
    EXPECT_FALSE(Exists(UserMenu(L"Old Name")));
    EXPECT_TRUE(Exists(Desktop(L"Other.desktop")));
    EXPECT_TRUE(Exists(Desktop(L"foreign.desktop")));
    EXPECT_TRUE(Exists(Desktop(L"broken.desktop")));
    EXPECT_EQ(assistant::NormalizeShortcutTarget(L"\"C:\\\\Games//X\\\\\\a.exe\""),
              L"C:/Games/X/a.exe");
}

TEST_F(DesktopEntryShortcutsTest, TheUninstallShortcutIsNamedAfterTheInstallation) {
    ASSERT_TRUE(assistant::CreateShortcut(L"/srv/Game/Launcher.exe", L"/uninstall",
                                          L"Uninstall Game", plat::kCsidlPrograms, L"Game", 1,
                                          false));
    EXPECT_TRUE(
        assistant::DeleteUninstallShortcut(L"/srv/Game/Launcher.exe", L"Game", L"Game", false));
    EXPECT_FALSE(Exists(UserMenu(L"Game")));
    EXPECT_EQ(assistant::UninstallShortcutName(L"Game (2)"), L"Uninstall Game (2)");
}

} // namespace
