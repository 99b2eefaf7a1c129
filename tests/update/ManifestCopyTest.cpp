#include "update/ManifestCopy.h"

#include "log/LogImplW.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace update;
using testsupport::ReadTestFile;

TEST(ManifestCopyTest, SavesAndLoadsTheTextByteForByte) {
    testsupport::TempDir dir;
    CLogImplW log;
    ASSERT_TRUE(log.Open(dir.File(L"launcher.log")));
    log.SetUtf8(true);
    const std::string text("<u>\r\n\0binary\xFF</u>", 17);
    const std::wstring folder = dir.Path();

    // Nothing is saved without a text or with a folder text under 4 characters.
    EXPECT_FALSE(SaveManifestCopy(folder, "", &log));
    EXPECT_FALSE(SaveManifestCopy(L"/ab", text, &log));
    std::string loaded = "stale";
    EXPECT_FALSE(LoadManifestCopy(folder, &loaded, nullptr));
    EXPECT_EQ(loaded, "");

    testsupport::WriteTestFile(dir.File(L"update.xml"), "an older and longer manifest text");
    ASSERT_TRUE(SaveManifestCopy(folder, text, &log));
    EXPECT_EQ(ReadTestFile(dir.File(L"update.xml")), text);
    ASSERT_TRUE(LoadManifestCopy(folder, &loaded, &log));
    EXPECT_EQ(loaded, text);
    log.Close();
    EXPECT_EQ(ReadTestFile(dir.File(L"launcher.log")),
              "Save update.xml\r\nLoad old update.xml\r\n");
}

} // namespace
