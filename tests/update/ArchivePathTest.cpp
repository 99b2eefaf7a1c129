#include "update/ArchivePath.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ArchivePathTest, RelativeNamesBelowTheFolderAreSafe) {
    for (const char* name : {"a", "bin\\game.exe", "bin/game.exe", "bin\\", "data\\..x\\.hidden",
                             "a..b", "file.", "\xC3\xA4\\x"})
        EXPECT_TRUE(update::IsSafeArchivePath(name)) << name;
}

TEST(ArchivePathTest, EscapingAndOddNamesAreRefused) {
    for (const char* name : {"",
                             "..",
                             "..\\x",
                             "a\\..\\..\\x",
                             "a/../x",
                             "a\\..",
                             ".",
                             "a\\.\\b",
                             "...",
                             "a\\.. \\b",
                             "\\abs",
                             "/abs",
                             "\\\\server\\share\\x",
                             "C:\\x",
                             "C:x",
                             "a\\b:stream",
                             "a\\\\b",
                             "a//b",
                             "\\",
                             "a\\\\",
                             " "})
        EXPECT_FALSE(update::IsSafeArchivePath(name)) << name;
    EXPECT_FALSE(update::IsSafeArchivePath(std::string("a\0\\..\\x", 7)));
    EXPECT_FALSE(update::IsSafeArchivePath(std::string("ok\0", 3)));
}

} // namespace
