// Native path spelling on Windows: drive and share roots, both separators,
// letters compared without regard to case, and the names Windows refuses.

#include "platform/PathRules.h"

#include <gtest/gtest.h>

namespace {

TEST(PathRulesWin32Test, DriveAndShareRootsButNoDevices) {
    EXPECT_EQ(plat::AbsoluteRootLength(L"C:\\Games"), 3u);
    EXPECT_EQ(plat::AbsoluteRootLength(L"d:/Games"), 3u);
    EXPECT_EQ(plat::AbsoluteRootLength(L"C:Games"), 0u);
    EXPECT_EQ(plat::AbsoluteRootLength(L"\\Games"), 0u);
    EXPECT_EQ(plat::AbsoluteRootLength(L"\\\\server\\share\\Games"), 15u);
    EXPECT_EQ(plat::AbsoluteRootLength(L"\\\\server\\share"), 14u);
    for (const wchar_t* notAFolder :
         {L"\\\\?\\C:\\Games", L"\\\\.\\pipe\\name", L"\\\\server", L"\\\\server\\",
          L"\\\\server\\\\share", L"\\\\\\server\\share"})
        EXPECT_EQ(plat::AbsoluteRootLength(notAFolder), 0u);
}

TEST(PathRulesWin32Test, SpellingsOfOneFolderShareAKey) {
    EXPECT_EQ(plat::PathKey(L"c:/games/Game\\"), plat::PathKey(L"C:\\GAMES\\game"));
    EXPECT_EQ(plat::PathKey(L"c:\\"), plat::PathKey(L"C:/"));
    EXPECT_EQ(plat::PathKey(L"C:\\").size(), 3u);
    EXPECT_EQ(plat::PathKey(L"C:\\Игры"), plat::PathKey(L"c:\\игры"));
    EXPECT_NE(plat::PathKey(L"C:\\Games"), plat::PathKey(L"C:\\Games2"));
}

TEST(PathRulesWin32Test, NamesWindowsRefuses) {
    for (const wchar_t* name : {L"a:b", L"a*b", L"a?b", L"a\"b", L"a<b", L"a>b", L"a|b"})
        EXPECT_TRUE(plat::HasReservedPathCharacter(name));
    EXPECT_FALSE(plat::HasReservedPathCharacter(L"Game Online (2) [x] #1"));
}

TEST(PathRulesWin32Test, TheSystemFoldersAreFound) {
    plat::SystemFolderRules rules = plat::GetSystemFolderRules();
    ASSERT_FALSE(rules.systemTrees.empty());
    EXPECT_EQ(plat::AbsoluteRootLength(rules.systemTrees.front()), 3u);
    ASSERT_EQ(rules.homeHolders.size(), 1u);
    EXPECT_GT(rules.homeHolders.front().size(), 3u);
}

} // namespace
