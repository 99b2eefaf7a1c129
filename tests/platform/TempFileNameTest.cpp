// Unique temporary names, made at once in the folder.

#include "platform/TempFileName.h"

#include "platform/FileSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

TEST(TempFileNameTest, EveryNameIsNewAndMadeAtOnce) {
    testsupport::TempDir dir;
    std::wstring first, second;
    ASSERT_TRUE(plat::MakeTempFileName(dir.File(L""), L"UNS", &first));
    ASSERT_TRUE(plat::MakeTempFileName(dir.File(L""), L"UNS", &second));
    EXPECT_NE(first, second);
    for (const std::wstring& name : {first, second}) {
        EXPECT_TRUE(plat::FileExists(name));
        std::wstring file = plat::FileNameOf(name);
        EXPECT_EQ(file.substr(0, 3), L"UNS");
        EXPECT_EQ(file.substr(file.size() - 4), L".tmp");
    }
    EXPECT_FALSE(plat::MakeTempFileName(dir.File(L"missing"), L"UNS", &first));
}

} // namespace
