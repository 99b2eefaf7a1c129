// Shell links (".lnk"), folder icons (desktop.ini) and the special folders
// as the Windows shell keeps them.

#include "platform/ShellFolders.h"
#include "platform/ShellLink.h"

#include "WindowsLinks.h"

#include "platform/FileSystem.h"
#include "platform/TextCase.h"
#include "platform/Unicode.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

using testsupport::ReadTestFile;
using testsupport::TempDir;
using testsupport::WriteTestFile;
namespace fs = std::filesystem;

TEST(ShellLinkWin32, AShortcutKeepsItsTargetArgumentsAndIcon) {
    TempDir dir;
    WriteTestFile(dir.File(L"Game\\Launcher.exe"), "MZ");
    plat::ShellLink link;
    link.displayName = L"Play the game";
    link.target = dir.File(L"Game\\Launcher.exe");
    link.arguments = L"/fast \"a b\" \\\"x\\\"";
    link.workingFolder = dir.File(L"Game");
    link.iconFile = dir.File(L"Game\\Launcher.exe");
    link.iconIndex = 2;
    const std::wstring path = dir.File(std::wstring(L"Play") + plat::kShortcutExtension);
    ASSERT_TRUE(plat::SaveShellLink(path, link));
    EXPECT_EQ(std::wstring(plat::kShortcutExtension), L".lnk");

    plat::ShellLink loaded;
    ASSERT_TRUE(plat::LoadShellLink(path, &loaded));
    EXPECT_TRUE(plat::EqualsNoCase(loaded.target, link.target)) << plat::WideToUtf8(loaded.target);
    EXPECT_EQ(loaded.arguments, link.arguments);
    EXPECT_TRUE(plat::EqualsNoCase(loaded.workingFolder, link.workingFolder));
    EXPECT_TRUE(plat::EqualsNoCase(loaded.iconFile, link.iconFile));
    EXPECT_EQ(loaded.iconIndex, 2);
    EXPECT_EQ(loaded.displayName, L"Play the game");
    // No temporary file is left beside it.
    EXPECT_EQ(plat::FindFiles(dir.File(L"*")).size(), 2u);
}

TEST(ShellLinkWin32, WhatIsNoShortcutIsRefused) {
    TempDir dir;
    WriteTestFile(dir.File(L"fake.lnk"), "not a shell link at all");
    plat::ShellLink loaded;
    EXPECT_FALSE(plat::LoadShellLink(dir.File(L"fake.lnk"), &loaded));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidData);
    EXPECT_FALSE(plat::LoadShellLink(dir.File(L"missing.lnk"), &loaded));
    EXPECT_EQ(plat::GetLastError(), plat::kErrFileNotFound);
}

TEST(ShellLinkWin32, ALinkWhereTheShortcutGoesIsReplacedNotFollowed) {
    TempDir dir;
    WriteTestFile(dir.File(L"canary.txt"), "canary");
    if (!platformtest::MakeWindowsLink(dir.File(L"canary.txt"), dir.File(L"Play.lnk"), false))
        GTEST_SKIP() << "this account may not make links";
    plat::ShellLink link;
    link.target = dir.File(L"canary.txt");
    ASSERT_TRUE(plat::SaveShellLink(dir.File(L"Play.lnk"), link));
    EXPECT_FALSE(plat::IsLink(dir.File(L"Play.lnk")));
    EXPECT_EQ(ReadTestFile(dir.File(L"canary.txt")), "canary");
}

TEST(ShellLinkWin32, AFolderIconIsNamedInDesktopIni) {
    TempDir dir;
    ASSERT_TRUE(plat::CreateDirectory(dir.File(L"Game")));
    ASSERT_TRUE(plat::SetFolderIcon(dir.File(L"Game"), L"C:\\Game\\Launcher.exe", 1));
    const std::wstring ini = dir.File(L"Game\\") + plat::kFolderSettingsFile;
    std::string bytes = ReadTestFile(ini);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE")); // UTF-16 with its mark
    std::wstring text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                            (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    EXPECT_NE(text.find(L"[.ShellClassInfo]"), std::wstring::npos);
    EXPECT_NE(text.find(L"IconResource=C:\\Game\\Launcher.exe,1"), std::wstring::npos);
    EXPECT_TRUE(plat::GetFileAttributes(ini) & plat::kAttrHidden);
    constexpr std::uint32_t kAttrSystem = 0x4;
    EXPECT_TRUE(plat::GetFileAttributes(dir.File(L"Game")) & kAttrSystem);
    // A second icon replaces the first.
    ASSERT_TRUE(plat::SetFolderIcon(dir.File(L"Game"), L"C:\\Other.ico", 0));
    EXPECT_NE(ReadTestFile(ini).find('O'), std::string::npos);
    ASSERT_TRUE(plat::SetFileAttributes(dir.File(L"Game"), 0));
}

TEST(SpecialFoldersWin32, EveryFolderTheLauncherUsesIsKnown) {
    for (int id : {plat::kCsidlDesktop, plat::kCsidlPrograms, plat::kCsidlStartMenu,
                   plat::kCsidlCommonStartMenu, plat::kCsidlCommonPrograms,
                   plat::kCsidlCommonDesktopDirectory, plat::kCsidlProgramFiles}) {
        std::wstring path;
        ASSERT_TRUE(plat::GetSpecialFolderPath(id, &path)) << id;
        ASSERT_GE(path.size(), 3u) << id;
        EXPECT_EQ(path[1], L':') << plat::WideToUtf8(path);
        EXPECT_NE(path.back(), L'\\') << plat::WideToUtf8(path);
    }
    std::wstring programs, startMenu;
    ASSERT_TRUE(plat::GetSpecialFolderPath(plat::kCsidlCommonPrograms, &programs));
    ASSERT_TRUE(plat::GetSpecialFolderPath(plat::kCsidlCommonStartMenu, &startMenu));
    EXPECT_EQ(plat::FolderOf(programs), startMenu + L"\\");
    std::wstring none;
    EXPECT_FALSE(plat::GetSpecialFolderPath(5, &none));
    EXPECT_EQ(plat::GetLastError(), plat::kErrFileNotFound);
    EXPECT_FALSE(plat::GetUserSettingsFolders().empty());
    EXPECT_FALSE(plat::GetHomeFolders().empty());
}

TEST(SpecialFoldersWin32, TestsMayMoveTheMachinePlaces) {
    TempDir dir;
    testsupport::ScopedEnv programs("LAUNCHER_PROGRAM_FILES", dir.NarrowPath() + "opt\\");
    testsupport::ScopedEnv common("LAUNCHER_COMMON_DATA_DIR", dir.NarrowPath() + "share");
    std::wstring path;
    ASSERT_TRUE(plat::GetSpecialFolderPath(plat::kCsidlProgramFiles, &path));
    EXPECT_EQ(path, dir.File(L"opt"));
    ASSERT_TRUE(plat::GetSpecialFolderPath(plat::kCsidlCommonPrograms, &path));
    EXPECT_EQ(path, dir.File(L"share\\Microsoft\\Windows\\Start Menu\\Programs"));
    // A relative value moves nothing.
    testsupport::ScopedEnv relative("LAUNCHER_PROGRAM_FILES", "opt");
    ASSERT_TRUE(plat::GetSpecialFolderPath(plat::kCsidlProgramFiles, &path));
    EXPECT_NE(path, L"opt");
}

} // namespace
