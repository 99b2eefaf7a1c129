// Native path spelling on this system: one root, one separator, case kept.

#include "platform/PathRules.h"

#include <gtest/gtest.h>

namespace {

TEST(PathRulesPosixTest, RootsSeparatorsAndKeys) {
    EXPECT_EQ(plat::AbsoluteRootLength(L"/srv/Game"), 1u);
    EXPECT_EQ(plat::AbsoluteRootLength(L"srv/Game"), 0u);
    EXPECT_EQ(plat::AbsoluteRootLength(L"C:\\Games"), 0u);
    EXPECT_FALSE(plat::IsPathSeparator(L'\\'));
    EXPECT_TRUE(plat::HasReservedPathCharacter(L"a\\b"));
    EXPECT_FALSE(plat::HasReservedPathCharacter(L"Game: Online?"));
    EXPECT_EQ(plat::PathKey(L"/srv/Game//"), L"/srv/Game");
    EXPECT_EQ(plat::PathKey(L"/"), L"/");
    EXPECT_NE(plat::PathKey(L"/srv/game"), plat::PathKey(L"/srv/Game"));
}

} // namespace
