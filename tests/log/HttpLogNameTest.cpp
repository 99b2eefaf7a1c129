#include "log/HttpLogName.h"

#include <gtest/gtest.h>

TEST(HttpLogName, ForbiddenCharactersBecomeDashes) {
    EXPECT_EQ(httplog::SanitizeLogName("a\"b/c:d<e>f\\g|h"), "a-b-c-d-e-f-g-h");
    EXPECT_EQ(httplog::SanitizeLogName(std::string("t\x01\x1e\x1f", 4)), "t--\x1f");
    EXPECT_EQ(httplog::SanitizeLogName("caf\xC3\xA9 ok.*?"), "caf-- ok.*?");
}

TEST(HttpLogName, NamesComeFromTheContextOrItsNumber) {
    EXPECT_EQ(httplog::MakeLogName("Update/Main", 3), "Httx.Update-Main");
    EXPECT_EQ(httplog::MakeLogName("", 3), "Httx.Context3");
    EXPECT_EQ(httplog::MakeLogFileName(4242u, "Httx.Main"), "4242.Httx.Main.log");
    EXPECT_EQ(httplog::MakeLogFileName(7u, "Httx.a:b"), "7.Httx.a-b.log");
}
