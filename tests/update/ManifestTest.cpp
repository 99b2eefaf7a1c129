#include "update/Manifest.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using namespace update;
using Names = std::set<std::wstring>;

class ManifestTest : public ::testing::Test {
protected:
    NewManifestTables ReadNew(const std::string& body) {
        NewManifestTables tables;
        EXPECT_TRUE(document_.Parse(Wrap(body)));
        EXPECT_TRUE(ReadNewManifest(document_, context_, &tables));
        return tables;
    }

    ManifestFileMap ReadOld(const std::string& body) {
        ManifestFileMap files{{L"stale", ManifestFile{}}};
        EXPECT_TRUE(document_.Parse(Wrap(body)));
        ReadOldManifest(document_, context_, &files);
        return files;
    }

    static std::string Wrap(const std::string& body) {
        return "<?xml version=\"1.0\"?><update clientVersion=\"2.5\">" + body + "</update>";
    }

    CManifestDocument document_;
    ManifestReadContext context_;
};

TEST_F(ManifestTest, PackagesAndFilesWithTheirNumbers) {
    NewManifestTables t = ReadNew(R"(
        <PACK type="full" file="Base.rar" crc="4294967295" size="1000">
          <FILE file="Bin\Game.EXE" crc="17" size="2048"/>
          <FILE file="bin\game.exe" crc="99" size="0x10"/>
          <FILE file="n" crc="  12abc" size="12abc"/><FILE file="m" crc="-1" size="-5"/>
        </PACK>
        <PACK type="int" file="tools.rar"><FILE crc="x1" size=" 3"/></PACK>)");
    ASSERT_EQ(t.packages.size(), 2u);
    EXPECT_EQ(t.packages.at(L"Base.rar").crc, 0xFFFFFFFFu);
    EXPECT_EQ(t.packages.at(L"Base.rar").size, 1000u);
    // Paths are lowercased and keep "\"; a later entry of a path wins.
    ASSERT_EQ(t.files.size(), 4u);
    const ManifestFile& game = t.files.at(L"bin\\game.exe");
    EXPECT_EQ(game.package, L"Base.rar");
    EXPECT_EQ(game.type, kPackageFull);
    EXPECT_EQ(game.crc, 99u);
    EXPECT_EQ(game.size, 16u);
    // Checksums are scanned like "%u"; sizes must be the whole text.
    EXPECT_EQ(t.files.at(L"n").crc, 12u);
    EXPECT_EQ(t.files.at(L"n").size, 0u);
    EXPECT_EQ(t.files.at(L"m").crc, 0xFFFFFFFFu);
    EXPECT_EQ(t.files.at(L"m").size, static_cast<std::uint32_t>(-5));
    // Without a file attribute the name is empty; bad numbers read as 0.
    EXPECT_EQ(t.files.at(L"").package, L"tools.rar");
    EXPECT_EQ(t.files.at(L"").crc + t.files.at(L"").size, 0u);
    EXPECT_EQ(document_.ClientVersion(), L"2.5");
    EXPECT_EQ(document_.Modification(), L"");
}

TEST_F(ManifestTest, OtherPlatformsAndUnknownTypesContributeNoFiles) {
    const std::string body = R"(
        <PACK type="full" platform="64" file="x64.rar"><FILE file="x64.dll"/></PACK>
        <PACK type="ext" platform="64" file="t64.rar"><INFO lang=""/><FILE file="t.exe"/></PACK>
        <PACK type="full" platform="32" file="x86.rar"><FILE file="x86.dll"/></PACK>
        <PACK type="full" platform="16" file="all.rar"><FILE file="all.dll"/></PACK>
        <PACK type="Full" file="cap.rar"><FILE file="cap.dat"/></PACK>)";
    NewManifestTables t32 = ReadNew(body);
    EXPECT_EQ(t32.packages.count(L"x64.rar") + t32.packages.count(L"t64.rar"), 0u);
    EXPECT_EQ(t32.files.size(), 2u);
    EXPECT_TRUE(t32.externalApps.empty());
    // A type in other letter case is a package of type none.
    EXPECT_EQ(t32.packages.at(L"cap.rar").type, kPackageNone);
    EXPECT_EQ(t32.files.count(L"cap.dat"), 0u);
    EXPECT_EQ(ReadOld(body).size(), 2u);

    context_.machinePlatform = kPlatform64;
    NewManifestTables t64 = ReadNew(body);
    EXPECT_EQ(t64.files.count(L"x64.dll") + t64.files.count(L"all.dll"), 2u);
    EXPECT_EQ(t64.files.count(L"x86.dll"), 0u);
    EXPECT_EQ(t64.externalApps.size(), 1u);
    EXPECT_EQ(ReadOld(body).count(L"x86.dll"), 0u);
}

TEST_F(ManifestTest, FirstInfoOfTheCurrentLanguageDescribesApplications) {
    const std::string body = R"(
        <PACK type="ext" file="editor.rar">
          <INFO lang="en"><NAME>Editor</NAME><EXEC>en.exe</EXEC></INFO>
          <INFO lang="de" sel="false"><NAME>Bearbeiter</NAME><EXEC>Editor\de.exe</EXEC>
            <CMDL>-fast</CMDL><HELP>Line1\nLine2\\n</HELP></INFO>
          <INFO lang="de"><NAME>Second</NAME></INFO>
          <FILE file="Editor\de.exe"/>
        </PACK>
        <PACK type="int" file="helper.rar">
          <INFO lang="de"><NAME>Hilfe</NAME><EXEC>help.exe</EXEC></INFO><FILE file="help.exe"/>
        </PACK>)";
    context_.language = "de";
    NewManifestTables de = ReadNew(body);
    ASSERT_EQ(de.externalApps.size(), 1u);
    const ExternalApp& app = de.externalApps[0];
    EXPECT_EQ(app.package + L"|" + app.name + L"|" + app.exec + L"|" + app.cmdl,
              L"editor.rar|Bearbeiter|Editor\\de.exe|-fast");
    EXPECT_EQ(app.help, L"Line1\nLine2\\\n");
    EXPECT_FALSE(app.selected);
    EXPECT_EQ(de.files.at(L"editor\\de.exe").appKey, L"Editor\\de.exe");
    ASSERT_EQ(de.internalApps.size(), 1u);
    EXPECT_EQ(de.internalApps[0].name + L"|" + de.internalApps[0].exec, L"Hilfe|help.exe");
    EXPECT_EQ(de.files.at(L"help.exe").appKey, L"");

    context_.language = "en";
    NewManifestTables en = ReadNew(body);
    ASSERT_EQ(en.externalApps.size(), 1u);
    EXPECT_TRUE(en.externalApps[0].selected);
    EXPECT_EQ(en.externalApps[0].help + en.externalApps[0].cmdl, L"");

    // No INFO of the language: no application, the files stay without a key.
    context_.language = "fr";
    NewManifestTables fr = ReadNew(body);
    EXPECT_TRUE(fr.externalApps.empty() && fr.internalApps.empty());
    EXPECT_EQ(fr.files.at(L"editor\\de.exe").appKey, L"");
}

TEST_F(ManifestTest, IgnoreEntriesSplitIntoNamesAndPaths) {
    NewManifestTables t = ReadNew(R"(
        <IGNORE><FILE file="*\*.log"/><FILE file="*\ReadMe.txt"/>
          <FILE file="Bin\tmp.dat"/><FILE file="*\"/></IGNORE>
        <IGNORE><FILE file="second.txt"/></IGNORE>)");
    EXPECT_EQ(t.ignoredNames, (Names{L"*.log", L"readme.txt"}));
    EXPECT_EQ(t.ignoredPaths, (Names{L"bin\\tmp.dat", L"*\\"}));

    // An entry without a name fails the reading; the tables stay as they were.
    for (const char* bad : {R"(<FILE file=""/>)", "<FILE/>"}) {
        NewManifestTables kept;
        kept.ignoredNames.insert(L"kept");
        ASSERT_TRUE(
            document_.Parse(Wrap(R"(<PACK file="a"/><IGNORE>)" + std::string(bad) + "</IGNORE>")));
        EXPECT_FALSE(ReadNewManifest(document_, context_, &kept)) << bad;
        EXPECT_EQ(kept.ignoredNames, Names{L"kept"});
        EXPECT_TRUE(kept.packages.empty());
    }
}

TEST_F(ManifestTest, AddAndIncrementPackagesInBothReadings) {
    const std::string body = R"(
        <PACK type="full" file="base.rar"><FILE file="A.dat" crc="1"/></PACK>
        <PACK type="int" file="int.rar"><FILE file="int.dat"/></PACK>
        <PACK type="ext" file="ext.rar"><FILE file="ext.dat"/></PACK>
        <PACK type="increment" file="inc.rar" size="77">
          <FILE file="a.dat" crc="2"/><FILE file="b.dat"/></PACK>
        <PACK type="add" file="add1.rar"><FILE file="add1.dat"/></PACK>
        <PACK type="add" file="add2.rar"><FILE file="add2.dat"/></PACK>)";
    // Without a set no add package counts as installed.
    EXPECT_EQ(ReadOld(body).size(), 2u);
    const Names installed{L"add2.rar"};
    context_.installedAddPackages = &installed;
    ManifestFileMap old = ReadOld(body);
    EXPECT_EQ(old.size(), 3u);
    EXPECT_EQ(old.at(L"add2.dat").type, kPackageAdd);

    NewManifestTables t = ReadNew(body);
    ASSERT_EQ(t.increments.size(), 1u);
    const IncrementPackage& inc = t.increments[0];
    EXPECT_TRUE(inc.usable);
    EXPECT_EQ(inc.file, L"inc.rar");
    EXPECT_EQ(inc.size, 77u);
    EXPECT_EQ(inc.files.size(), 2u);
    EXPECT_EQ(inc.files.at(L"a.dat").crc, 2u);
    // The increment's files stay in its own set; uninstalled add files nowhere.
    EXPECT_EQ(t.files.at(L"a.dat").crc, 1u);
    EXPECT_EQ(t.files.count(L"b.dat") + t.files.count(L"add1.dat"), 0u);
    EXPECT_EQ(t.files.size(), 4u);

    // Download-only keeps only the add and increment files.
    context_.downloadOnly = true;
    NewManifestTables only = ReadNew(body);
    EXPECT_EQ(only.files.size(), 1u);
    EXPECT_EQ(only.files.count(L"add2.dat"), 1u);
    EXPECT_EQ(only.increments.at(0).files.size(), 2u);
}

TEST_F(ManifestTest, LauncherInformationNeedsVersionAndNumericSize) {
    LauncherInfo info;
    for (const char* absent : {R"(launcherVersion="1" launcherSize="abc")", R"(launcherSize="1")",
                               R"(launcherVersion="1")"}) {
        ASSERT_TRUE(document_.Parse(std::string("<u ") + absent + "/>"));
        EXPECT_FALSE(document_.ReadLauncherInfo(&info)) << absent;
    }
    ASSERT_TRUE(document_.Parse(R"(<u launcherVersion="1.0.0.2" launcherSize="0x100"
        launcherCRC="3735928559" launcherUrl="http://h/L.exe"/>)"));
    ASSERT_TRUE(document_.ReadLauncherInfo(&info));
    EXPECT_EQ(info.version + L"|" + info.url, L"1.0.0.2|http://h/L.exe");
    EXPECT_EQ(info.size, 256u);
    EXPECT_TRUE(info.hasCrc);
    EXPECT_EQ(info.crc, 3735928559u);

    ASSERT_TRUE(document_.Parse(R"(<u launcherVersion="2" launcherSize="5" launcherCRC=""/>)"));
    ASSERT_TRUE(document_.ReadLauncherInfo(&info));
    EXPECT_FALSE(info.hasCrc);
    EXPECT_EQ(info.url, L"");
}

TEST_F(ManifestTest, UnreadableDocumentsAreRefused) {
    NewManifestTables tables;
    for (const char* text : {"", "<update><PACK></update>", "<!-- only a comment -->"}) {
        EXPECT_FALSE(document_.Parse(text)) << text;
        EXPECT_FALSE(ReadNewManifest(document_, context_, &tables)) << text;
        EXPECT_EQ(document_.ClientVersion(), L"");
    }
    ASSERT_TRUE(document_.Parse("<any modification=\"v\xC3\xA9\"/>"));
    EXPECT_EQ(document_.Modification(), L"v\u00E9");
}

} // namespace
