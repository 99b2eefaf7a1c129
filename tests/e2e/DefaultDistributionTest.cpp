#include "E2eSupport.h"
#include "config/ArchiveHelperRar.h"
#include "config/LauncherConfiguration.h"
#include "platform/FileSystem.h"
#include "support/ScopedEnv.h"

#include <gtest/gtest.h>

namespace {

// Opens the embedded archive of the built launcher that holds `member`.
bool OpenEmbeddedArchiveWith(const std::string& member, config::CArchiveHelperRar* reader) {
    config::InitArchiveLocale();
    std::string image = testsupport::ReadTestFile(e2e::LauncherPath());
    const std::string marker("Rar!\x1A\x07\x00", 7);
    std::string bytes;
    for (std::size_t at = image.find(marker); at != std::string::npos;
         at = image.find(marker, at + 1)) {
        if (reader->OpenArchive(image.data() + at, image.size() - at) &&
            reader->GetMember(member, &bytes))
            return true;
    }
    return false;
}

class DefaultDistributionTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    testsupport::ScopedEnv hkcu{"LAUNCHER_REGISTRY_HKCU", dir.NarrowPath() + "hkcu"};
    testsupport::ScopedEnv hklm{"LAUNCHER_REGISTRY_HKLM", dir.NarrowPath() + "hklm"};
};

TEST_F(DefaultDistributionTest, EmbeddedConfigurationThemeAndLanguagesLoad) {
    config::CArchiveHelperRar archive;
    ASSERT_TRUE(OpenEmbeddedArchiveWith("config.xml", &archive));
    config::LauncherConfiguration loaded;
    std::string error;
    ASSERT_TRUE(config::LoadLauncherConfiguration(archive, &loaded, &error)) << error;
    EXPECT_TRUE(loaded.logLauncher);
    EXPECT_TRUE(loaded.themeDoc.IsLoaded());

    auto& languages = loaded.languages;
    ASSERT_EQ(languages.Entries().size(), 3u);
    EXPECT_EQ(languages.DefaultCode(), "en");
    EXPECT_EQ(languages.GetString(1), L"Game Launcher");
    EXPECT_EQ(languages.GetString(119), L"");
    std::wstring englishCancel = languages.GetString(48);
    for (const char* code : {"de", "ru"}) {
        ASSERT_TRUE(languages.SelectCode(code)) << code;
        EXPECT_NE(languages.GetString(48), englishCancel) << code;
        EXPECT_EQ(languages.GetString(110), L"uninstall.dat") << code;
    }
}

TEST_F(DefaultDistributionTest, NormalRunOpensTheLogAndReportsWhatIsMissing) {
    std::wstring launcher = e2e::CopyLauncher(dir);
    EXPECT_EQ(e2e::Run(launcher, {}, dir.Path()), 0u);
    auto logs = plat::FindFiles(dir.Path() + L"*.Launcher.exe.log");
    ASSERT_EQ(logs.size(), 1u);
    std::string log = testsupport::ReadTestFile(dir.File(logs[0].name));
    EXPECT_EQ(
        log.rfind(
            "=============================== launcher started ===============================\r\n",
            0),
        0u);
    EXPECT_NE(log.find("g_rc = CLogic::rcNone\r\n"), std::string::npos);
    EXPECT_NE(log.find("Installer Error: CLogic::init: the launcher logic is not built yet\r\n"),
              std::string::npos);
    EXPECT_NE(log.find("Launcher finished\r\n"), std::string::npos);

    // A second start moves nothing (no dated folder) and takes a new name.
    EXPECT_EQ(e2e::Run(launcher, {}, dir.Path()), 0u);
    EXPECT_EQ(plat::FindFiles(dir.Path() + L"*.Launcher.exe.log").size(), 2u);
}

} // namespace
