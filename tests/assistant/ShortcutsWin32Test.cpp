// Shortcuts as shell links in the all-users menus (moved into the test's
// folder): where they go, what they record, the programs subfolder's
// settings, the names refused, and which links a deletion matches.

#include "assistant/Shortcuts.h"

#include "platform/ShellFolders.h"
#include "platform/ShellLink.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

using testsupport::ScopedEnv;
namespace fs = std::filesystem;

const wchar_t kTarget[] = L"C:\\srv\\Game\\Launcher.exe";

class ShortcutsWin32Test : public ::testing::Test {
protected:
    static std::wstring In(int csidl, const std::wstring& name) {
        std::wstring folder;
        EXPECT_TRUE(plat::GetSpecialFolderPath(csidl, &folder));
        return folder + L"\\" + name;
    }
    static std::wstring Programs(const std::wstring& name) {
        return In(plat::kCsidlCommonPrograms, name);
    }

    testsupport::TempDir dir_;
    ScopedEnv common_{"LAUNCHER_COMMON_DATA_DIR", dir_.NarrowPath() + "share"};
};

TEST_F(ShortcutsWin32Test, ALinkRecordsItsTargetArgumentsWorkingFolderAndIcon) {
    ASSERT_TRUE(assistant::CreateShortcut(kTarget, L"/uninstall \"x\"", L"Game",
                                          plat::kCsidlCommonPrograms, L"Game Online", 1, true));
    const std::wstring path = Programs(L"Game Online\\Game.lnk");
    EXPECT_EQ(assistant::ShortcutPath(kTarget, L"Game", plat::kCsidlCommonPrograms, L"Game Online"),
              path);
    plat::ShellLink link;
    ASSERT_TRUE(plat::LoadShellLink(path, &link));
    EXPECT_EQ(link.target, kTarget);
    EXPECT_EQ(link.arguments, L"/uninstall \"x\"");
    EXPECT_EQ(link.workingFolder, L"C:\\srv\\Game");
    EXPECT_EQ(link.iconIndex, 1);
    EXPECT_TRUE(fs::exists(Programs(L"Game Online\\desktop.ini")));
}

TEST_F(ShortcutsWin32Test, NamesThatWouldLeaveTheFolderCreateNothing) {
    for (const wchar_t* name :
         {L"..\\..\\escape", L"sub\\Game", L"sub/Game", L"..", L"x:stream", L"what?", L""})
        EXPECT_FALSE(assistant::CreateShortcut(kTarget, L"", name, plat::kCsidlCommonStartMenu, L"",
                                               0, false))
            << testing::PrintToString(std::wstring(name));
    EXPECT_FALSE(assistant::CreateShortcut(kTarget, L"", L"Game", plat::kCsidlCommonStartMenu,
                                           L"..\\..", 0, false));
    EXPECT_FALSE(
        assistant::CreateShortcut(L"", L"", L"Game", plat::kCsidlCommonStartMenu, L"", 0, false));
    // Nothing at all was written below the moved machine folders.
    std::size_t files = 0;
    if (fs::exists(dir_.Path()))
        for (const auto& entry : fs::recursive_directory_iterator(dir_.Path()))
            files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 0u);
}

TEST_F(ShortcutsWin32Test, AProgramsSubfolderGoesWithItsLastShortcut) {
    ASSERT_TRUE(assistant::CreateShortcut(kTarget, L"", L"Game", plat::kCsidlCommonPrograms,
                                          L"Game Online", 0, true));
    ASSERT_TRUE(assistant::CreateShortcut(L"C:\\srv\\Game\\editor.exe", L"", L"Editor",
                                          plat::kCsidlCommonPrograms, L"Game Online", 0, false));
    ASSERT_TRUE(
        assistant::DeleteShortcut(kTarget, L"Game", plat::kCsidlCommonPrograms, L"Game Online"));
    EXPECT_FALSE(fs::exists(Programs(L"Game Online\\Game.lnk")));
    EXPECT_TRUE(fs::exists(Programs(L"Game Online\\desktop.ini")));
    ASSERT_TRUE(assistant::DeleteShortcut(L"C:\\srv\\Game\\editor.exe", L"Editor",
                                          plat::kCsidlCommonPrograms, L"Game Online"));
    EXPECT_FALSE(fs::exists(Programs(L"Game Online")));
}

TEST_F(ShortcutsWin32Test, DeletingEveryShortcutOfATargetMatchesItsWrittenForms) {
    ASSERT_TRUE(assistant::CreateShortcut(L"\"C:\\srv\\\\Game\\Launcher.exe\"", L"", L"Quoted",
                                          plat::kCsidlCommonStartMenu, L"", 0, false));
    ASSERT_TRUE(assistant::CreateShortcut(L"c:/SRV/game/launcher.exe", L"", L"Case",
                                          plat::kCsidlCommonStartMenu, L"", 0, false));
    ASSERT_TRUE(assistant::CreateShortcut(kTarget, L"", L"Game", plat::kCsidlCommonPrograms,
                                          L"Old Name", 0, true));
    ASSERT_TRUE(assistant::CreateShortcut(L"C:\\srv\\Other\\Launcher.exe", L"", L"Other",
                                          plat::kCsidlCommonStartMenu, L"", 0, false));
    // A file that is no link is left alone.
    testsupport::WriteTestFile(In(plat::kCsidlCommonStartMenu, L"broken.lnk"), "not a link");

    EXPECT_TRUE(assistant::DeleteAllShortcuts(kTarget, L"Old Name"));
    EXPECT_FALSE(fs::exists(In(plat::kCsidlCommonStartMenu, L"Quoted.lnk")));
    EXPECT_FALSE(fs::exists(In(plat::kCsidlCommonStartMenu, L"Case.lnk")));
    EXPECT_FALSE(fs::exists(Programs(L"Old Name")));
    EXPECT_TRUE(fs::exists(In(plat::kCsidlCommonStartMenu, L"Other.lnk")));
    EXPECT_TRUE(fs::exists(In(plat::kCsidlCommonStartMenu, L"broken.lnk")));
}

} // namespace
