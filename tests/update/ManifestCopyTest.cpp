#include "update/ManifestCopy.h"

#include "log/LogImplW.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace update;
using testsupport::ReadTestFile;
using testsupport::TempDir;
using testsupport::WriteTestFile;

class ManifestCopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(log_.Open(dir_.File(L"launcher.log")));
        log_.SetUtf8(true);
    }

    std::string LogText() {
        log_.Close();
        return ReadTestFile(dir_.File(L"launcher.log"));
    }

    TempDir dir_;
    CLogImplW log_;
};

TEST_F(ManifestCopyTest, SavesAndLoadsTheTextByteForByte) {
    const std::string text("<u>\r\n\0binary\xFF</u>", 17);
    const std::wstring folder = dir_.Path();
    EXPECT_EQ(ManifestCopyPath(folder), dir_.File(L"update.xml"));

    WriteTestFile(ManifestCopyPath(folder), "an older and longer manifest text");
    ASSERT_TRUE(SaveManifestCopy(folder, text, &log_));
    EXPECT_EQ(ReadTestFile(dir_.File(L"update.xml")), text);

    std::string loaded = "stale";
    ASSERT_TRUE(LoadManifestCopy(folder, &loaded, &log_));
    EXPECT_EQ(loaded, text);
    EXPECT_EQ(LogText(), "Save update.xml\r\nLoad old update.xml\r\n");
}

TEST_F(ManifestCopyTest, NothingIsSavedWithoutFolderOrText) {
    EXPECT_FALSE(SaveManifestCopy(dir_.Path(), "", &log_));
    EXPECT_FALSE(SaveManifestCopy(L"/ab", "text", &log_));
    EXPECT_FALSE(SaveManifestCopy(L"", "text", nullptr));

    std::string loaded = "stale";
    EXPECT_FALSE(LoadManifestCopy(dir_.Path(), &loaded, nullptr));
    EXPECT_EQ(loaded, "");
    EXPECT_EQ(LogText(), "");
}

} // namespace
