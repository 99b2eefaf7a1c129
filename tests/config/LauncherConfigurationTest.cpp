#include "config/LauncherConfiguration.h"

#include "LangFixtures.h"
#include "platform/Registry.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

using namespace config;

namespace {

const char* kConfig = R"(<config>
  <common>
    <regPath>Software\Test\Game</regPath>
    <log><logLauncher enable="1"/></log>
    <multiRun value="1"/>
    <languages>
      <enable lang="en" file="en.lso" long="English" locale="" id="1" icon="0"/>
      <enable lang="de" file="de.lso" long="Deutsch" locale="" id="2" icon="1"/>
    </languages>
  </common>
  <themes>
    <theme name="dark" path="theme_dark"/>
    <theme name="light" path="theme_light"/>
  </themes>
</config>)";

class LauncherConfigurationTest : public ::testing::Test {
protected:
    void SetUp() override {
        archive.members["config.xml"] = kConfig;
        archive.members["en.lso"] = langtest::MakeTable("en", 5);
        archive.members["de.lso"] = langtest::MakeTable("de", 5);
        archive.members["theme_dark\\config.xml"] = "<config><common/></config>";
        archive.members["theme_light\\config.xml"] = "<config><common><x/></common></config>";
    }
    bool Load(std::string* error) { return LoadLauncherConfiguration(archive, &loaded, error); }

    testsupport::TempDir registry;
    testsupport::ScopedEnv hkcu{"LAUNCHER_REGISTRY_HKCU", registry.NarrowPath() + "hkcu"};
    testsupport::ScopedEnv hklm{"LAUNCHER_REGISTRY_HKLM", registry.NarrowPath() + "hklm"};
    langtest::MapMemberSource archive;
    LauncherConfiguration loaded;
};

TEST_F(LauncherConfigurationTest, LoadsEverythingPreinitNeeds) {
    std::string error;
    ASSERT_TRUE(Load(&error)) << error;
    EXPECT_EQ(loaded.regPath, "Software\\Test\\Game");
    EXPECT_TRUE(loaded.logLauncher);
    EXPECT_FALSE(loaded.logHttp);
    EXPECT_TRUE(loaded.multiRun);
    EXPECT_EQ(loaded.themeFolder, "theme_dark\\");
    EXPECT_TRUE(loaded.themeDoc.IsLoaded());
    EXPECT_EQ(loaded.languages.Entries().size(), 2u);
    EXPECT_NE(loaded.configCrc, 0u);
}

TEST_F(LauncherConfigurationTest, StoredThemeWins) {
    plat::RegistryKey key;
    ASSERT_TRUE(key.Create(plat::RegistryRoot::CurrentUser, L"Software\\Test\\Game\\Themes"));
    ASSERT_TRUE(key.WriteString(L"Theme", L"light"));
    std::string error;
    ASSERT_TRUE(Load(&error)) << error;
    EXPECT_EQ(loaded.themeFolder, "theme_light\\");
    EXPECT_NE(loaded.themeDoc.Root()->FirstChildElement("common")->FirstChildElement("x"), nullptr);
}

TEST_F(LauncherConfigurationTest, EachMissingPieceFailsWithItsReason) {
    struct Case {
        const char* member;
        const char* replacement; // nullptr removes the member
        const char* reason;
    } cases[] = {
        {"config.xml", nullptr, "config.xml is missing"},
        {"config.xml", "<config><common>", "config.xml: "},
        {"config.xml", "<config/>", "no common element"},
        {"config.xml", "<config><common/><themes><theme path='t'/></themes></config>", "regPath"},
        {"de.lso", "short", "languages: "},
        {"theme_dark\\config.xml", nullptr, "theme_dark\\config.xml is missing"},
        {"theme_dark\\config.xml", "<config", "theme_dark\\config.xml: "},
    };
    for (const Case& c : cases) {
        SetUp();
        if (c.replacement)
            archive.members[c.member] = c.replacement;
        else
            archive.members.erase(c.member);
        LauncherConfiguration fresh;
        std::string error;
        EXPECT_FALSE(LoadLauncherConfiguration(archive, &fresh, &error)) << c.member;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
}

TEST_F(LauncherConfigurationTest, NoThemeWithAPathFails) {
    archive.members["config.xml"] =
        "<config><common><regPath>R</regPath></common><themes><theme name='a'/></themes></config>";
    std::string error;
    EXPECT_FALSE(Load(&error));
    EXPECT_NE(error.find("no theme"), std::string::npos);
}

} // namespace
