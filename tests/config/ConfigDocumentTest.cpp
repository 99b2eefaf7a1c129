#include "config/ConfigDocument.h"

#include <gtest/gtest.h>

using namespace config;

namespace {

const char* kConfig = R"(<?xml version="1.0" encoding="utf-8"?>
<config>
  <common>
    <regPath>Software\Demo</regPath>
    <shortName>Demo</shortName>
    <log><logLauncher enable="true"/></log>
    <silentDownload value="0"/>
    <progressFromZero value="maybe"/>
    <shortcut file="DemoLauncher"/>
    <migrations>
      <migration><shortName>Old</shortName><fullName>Old Game</fullName><regPath>Software\Old</regPath></migration>
      <anything><shortName>Half</shortName><fullName>No regPath</fullName></anything>
      <other><shortName>S</shortName><fullName>F</fullName><regPath>R</regPath><iconName>i.ico</iconName></other>
    </migrations>
  </common>
  <themes>
    <theme name="first" path="theme_first"/>
    <theme name="nopath"/>
    <theme name="second" path="theme_second"/>
  </themes>
  <launch><Process>client.exe</Process><ProcessArgs></ProcessArgs></launch>
</config>)";

TEST(ConfigDocument, KeysReadWithTheirDefaults) {
    CConfigDocument doc;
    ASSERT_TRUE(doc.Parse(kConfig));
    std::string value;
    EXPECT_TRUE(doc.Read(keys::kRegPath, &value));
    EXPECT_EQ(value, "Software\\Demo");
    EXPECT_FALSE(doc.Read(keys::kFullName, &value));
    EXPECT_EQ(doc.Read(keys::kUrlLicense), "/client/license");
    EXPECT_TRUE(doc.Read(keys::kLogLauncher));
    EXPECT_FALSE(doc.Read(keys::kLogHttp));
    EXPECT_FALSE(doc.Read(keys::kSilentDownload));
    EXPECT_FALSE(doc.Read(keys::kProgressFromZero)); // not a boolean: default
    EXPECT_TRUE(doc.Read(keys::kIconCreatePrograms));
    EXPECT_EQ(ShortcutFileName(doc.Read(keys::kShortcutFile)), "DemoLauncher.exe");
    EXPECT_EQ(ShortcutFileName("Launcher.exe"), "Launcher.exe");

    // Present but empty arguments: the command is exactly the process.
    EXPECT_TRUE(doc.Read(keys::kProcessArgs, &value));
    EXPECT_EQ(ClientCommand(doc.Read(keys::kProcess), value), "client.exe");
    EXPECT_EQ(ClientCommand("client.exe", "-x 1"), "client.exe -x 1");
}

TEST(ConfigDocument, ThemeChoice) {
    CConfigDocument doc;
    ASSERT_TRUE(doc.Parse(kConfig));
    auto themes = ReadThemes(doc);
    ASSERT_EQ(themes.size(), 3u);
    std::string path;
    EXPECT_TRUE(SelectThemePath(themes, "second", &path));
    EXPECT_EQ(path, "theme_second");
    EXPECT_TRUE(SelectThemePath(themes, "", &path));
    EXPECT_EQ(path, "theme_first");
    // A registry name whose theme has no path ends the walk on the first.
    EXPECT_TRUE(SelectThemePath(themes, "nopath", &path));
    EXPECT_EQ(path, "theme_first");
    EXPECT_FALSE(SelectThemePath({{"a", "", false}}, "", &path));
}

TEST(ConfigDocument, MigrationsDropIncompleteEntries) {
    CConfigDocument doc;
    ASSERT_TRUE(doc.Parse(kConfig));
    auto migrations = ReadMigrations(doc);
    ASSERT_EQ(migrations.size(), 2u);
    EXPECT_EQ(migrations[0].regPath, "Software\\Old");
    EXPECT_EQ(migrations[1].iconName, "i.ico");

    CConfigDocument wrongFirst;
    ASSERT_TRUE(
        wrongFirst.Parse("<c><common><migrations><x><shortName>a</shortName><fullName>b</fullName>"
                         "<regPath>c</regPath></x></migrations></common></c>"));
    EXPECT_TRUE(ReadMigrations(wrongFirst).empty());
}

TEST(ConfigDocument, BrokenDocumentsFail) {
    CConfigDocument doc;
    std::string error;
    EXPECT_FALSE(doc.Parse("<config><common></config>", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(doc.IsLoaded());
    EXPECT_FALSE(doc.Parse(""));
    EXPECT_FALSE(doc.Parse("<!-- only a comment -->"));
    // Readers on an unloaded document give defaults.
    EXPECT_EQ(doc.Read(keys::kUrlLicense), "/client/license");
    EXPECT_TRUE(doc.Read(keys::kSilentDownload));
}

} // namespace
