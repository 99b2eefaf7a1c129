#include "update/ArchivePath.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

// Checks every name of a "|" separated list.
void ExpectSafe(const std::string& names, bool safe) {
    std::istringstream in(names);
    for (std::string name; std::getline(in, name, '|');)
        EXPECT_EQ(update::IsSafeArchivePath(name), safe) << name;
}

TEST(ArchivePathTest, OnlyNamesBelowTheFolderAreSafe) {
    ExpectSafe(R"(a|bin\game.exe|bin/game.exe|bin\|d\..x\.hidden|a..b|file.|ä\x)", true);
    ExpectSafe(R"(..|..\x|a\..\..\x|a/../x|a\..|.|a\.\b|...|a\.. \b|\abs|/abs|\\server\share)",
               false);
    ExpectSafe(R"(C:\x|C:x|a\b:stream|a\\b|a//b|\|a\\| )", false);
    EXPECT_FALSE(update::IsSafeArchivePath(""));
    EXPECT_FALSE(update::IsSafeArchivePath(std::string("ok\0\\..\\x", 8)));
}

} // namespace
