#include "update/ManifestCopy.h"

#include "log/LogImplW.h"
#include "platform/Unicode.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

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

TEST(ManifestCopyTest, ALinkPlantedAsTheCopyIsReplacedNeverWrittenThrough) {
    namespace fs = std::filesystem;
    testsupport::TempDir dir, outside;
    testsupport::WriteTestFile(outside.File(L"precious.cfg"), "not the launcher's");
    const fs::path copy = plat::WideToUtf8(dir.File(L"update.xml"));
    fs::create_symlink(plat::WideToUtf8(outside.File(L"precious.cfg")), copy);

    ASSERT_TRUE(SaveManifestCopy(dir.Path(), "<update/>", nullptr));
    // The server's text is in a file of its own; what the link named is as
    // it was, and nothing but the copy is left in the folder.
    EXPECT_EQ(ReadTestFile(outside.File(L"precious.cfg")), "not the launcher's");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(copy)));
    EXPECT_EQ(ReadTestFile(dir.File(L"update.xml")), "<update/>");
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.NarrowPath()))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"update.xml"});
}

} // namespace
