#include "E2eSupport.h"
#include "config/ArchiveHelperRar.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Every RAR archive embedded in the built launcher, found by its marker
// block and read with the launcher's own reader.
std::vector<std::vector<std::string>> EmbeddedArchives() {
    config::InitArchiveLocale();
    std::string image = testsupport::ReadTestFile(e2e::LauncherPath());
    const std::string marker("Rar!\x1A\x07\x00", 7);
    std::vector<std::vector<std::string>> archives;
    for (std::size_t at = image.find(marker); at != std::string::npos;
         at = image.find(marker, at + 1)) {
        config::CArchiveHelperRar reader;
        if (reader.OpenArchive(image.data() + at, image.size() - at))
            archives.push_back(reader.MemberNames());
    }
    return archives;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    for (const std::string& each : names) {
        if (each == name)
            return true;
    }
    return false;
}

TEST(EmbeddedArchiveTest, LauncherCarriesTheDistributionAndTheActionTool) {
    std::vector<std::vector<std::string>> archives = EmbeddedArchives();
    ASSERT_EQ(archives.size(), 2u);
    const std::vector<std::string>* distribution = nullptr;
    const std::vector<std::string>* actionTool = nullptr;
    for (const auto& names : archives)
        (Contains(names, "config.xml") ? distribution : actionTool) = &names;
    ASSERT_NE(distribution, nullptr);
    ASSERT_NE(actionTool, nullptr);

    EXPECT_EQ(*actionTool, std::vector<std::string>{"sed.exe"});
    bool themeConfig = false;
    for (const std::string& name : *distribution) {
        // Language sources stay out; members use "\" separators.
        EXPECT_NE(name.rfind("lang\\", 0), 0u) << name;
        EXPECT_EQ(name.find('/'), std::string::npos) << name;
        themeConfig = themeConfig || (name.rfind("theme_", 0) == 0 && name.size() > 11 &&
                                      name.ends_with("\\config.xml"));
    }
    EXPECT_TRUE(themeConfig);
}

} // namespace
