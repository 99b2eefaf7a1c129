#include "update/CheckerRules.h"

#include <gtest/gtest.h>

namespace {

using namespace update;

TEST(CheckerRulesTest, ClientVersionsAgreeUpToTheSecondDot) {
    EXPECT_TRUE(ClientVersionsAgree(L"1.2.7", L"1.2.9"));
    EXPECT_TRUE(ClientVersionsAgree(L"1.2.", L"1.2.x"));
    EXPECT_FALSE(ClientVersionsAgree(L"1.3.0", L"1.2.9"));
    EXPECT_FALSE(ClientVersionsAgree(L"1.2", L"1.2"));
    EXPECT_FALSE(ClientVersionsAgree(L"1.20.1", L"1.2.1"));
    EXPECT_FALSE(ClientVersionsAgree(L"", L""));
}

} // namespace
