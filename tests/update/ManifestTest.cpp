#include "update/Manifest.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using namespace update;
using Names = std::set<std::wstring>;

class ManifestTest : public ::testing::Test {
protected:
    // Parses the text and reads it as the fresh manifest.
    NewManifestTables ReadNew(const std::string& text) {
        NewManifestTables tables;
        EXPECT_TRUE(document_.Parse(text));
        EXPECT_TRUE(ReadNewManifest(document_, context_, &tables));
        return tables;
    }

    ManifestFileMap ReadOld(const std::string& text) {
        ManifestFileMap files;
        EXPECT_TRUE(document_.Parse(text));
        ReadOldManifest(document_, context_, &files);
        return files;
    }

    static std::string Wrap(const std::string& body) {
        return "<?xml version=\"1.0\"?><update clientVersion=\"2.5.1\">" + body + "</update>";
    }

    CManifestDocument document_;
    ManifestReadContext context_;
    Names installed_;
};

TEST_F(ManifestTest, ReadsPackagesAndLowercasedFiles) {
    NewManifestTables t = ReadNew(Wrap(R"(
        <PACK type="full" file="Base.rar" crc="4294967295" size="1000">
          <FILE file="Bin\Game.EXE" crc="17" size="2048"/>
          <FILE file="Data\A.pak" crc="18" size="0x10"/>
          <FILE file="bin\game.exe" crc="99" size="7"/>
        </PACK>
        <PACK type="int" file="tools.rar"><FILE/></PACK>
        <PACK file="odd.rar"><FILE file="odd.txt"/></PACK>)"));

    ASSERT_EQ(t.packages.size(), 3u);
    const ManifestPackage& base = t.packages.at(L"Base.rar");
    EXPECT_EQ(base.type, kPackageFull);
    EXPECT_EQ(base.platform, kPlatformAny);
    EXPECT_EQ(base.crc, 0xFFFFFFFFu);
    EXPECT_EQ(base.size, 1000u);
    // A package without a type attribute has type none and installs nothing.
    EXPECT_EQ(t.packages.at(L"odd.rar").type, kPackageNone);

    ASSERT_EQ(t.files.size(), 3u);
    // Paths keep "\" and are lowercased; a later entry of the same path wins.
    const ManifestFile& game = t.files.at(L"bin\\game.exe");
    EXPECT_EQ(game.package, L"Base.rar");
    EXPECT_EQ(game.crc, 99u);
    EXPECT_EQ(game.size, 7u);
    EXPECT_EQ(t.files.at(L"data\\a.pak").size, 16u);
    // A FILE without attributes is stored under an empty name with zeros.
    const ManifestFile& empty = t.files.at(L"");
    EXPECT_EQ(empty.package, L"tools.rar");
    EXPECT_EQ(empty.type, kPackageInt);
    EXPECT_EQ(empty.crc, 0u);
    EXPECT_EQ(document_.ClientVersion(), L"2.5.1");
    EXPECT_EQ(document_.Modification(), L"");
}

TEST_F(ManifestTest, NumbersFollowTheirOwnReadingRules) {
    // Integers must be the whole text (else the default stays); checksums are
    // scanned as "%u" up to the first non-digit.
    NewManifestTables t = ReadNew(Wrap(R"(
        <PACK type="full" file="p" crc="  12abc" size="12abc">
          <FILE file="a" crc="-1" size="-5"/>
          <FILE file="b" crc="" size=" 3"/>
          <FILE file="c" crc="x1" size="0x"/>
        </PACK>)"));
    EXPECT_EQ(t.packages.at(L"p").crc, 12u);
    EXPECT_EQ(t.packages.at(L"p").size, 0u);
    EXPECT_EQ(t.files.at(L"a").crc, 0xFFFFFFFFu);
    EXPECT_EQ(t.files.at(L"a").size, static_cast<std::uint32_t>(-5));
    for (const wchar_t* name : {L"b", L"c"}) {
        EXPECT_EQ(t.files.at(name).crc, 0u) << name;
        EXPECT_EQ(t.files.at(name).size, 0u) << name;
    }
}

TEST_F(ManifestTest, PackagesOfTheOtherPlatformAreInvisible) {
    const std::string text = Wrap(R"(
        <PACK type="full" platform="64" file="x64.rar"><FILE file="x64.dll"/></PACK>
        <PACK type="ext" platform="64" file="tool64.rar">
          <INFO lang="en"><EXEC>t.exe</EXEC></INFO><FILE file="t.exe"/>
        </PACK>
        <PACK type="full" platform="32" file="x86.rar"><FILE file="x86.dll"/></PACK>
        <PACK type="full" platform="16" file="all.rar"><FILE file="all.dll"/></PACK>)");
    context_.language = "en";

    context_.machinePlatform = kPlatform32;
    NewManifestTables t32 = ReadNew(text);
    EXPECT_EQ(t32.packages.size(), 2u);
    EXPECT_EQ(t32.packages.count(L"x64.rar"), 0u);
    EXPECT_EQ(t32.files.count(L"x64.dll"), 0u);
    EXPECT_TRUE(t32.externalApps.empty());
    EXPECT_EQ(t32.packages.at(L"all.rar").platform, kPlatformAny);
    EXPECT_EQ(ReadOld(text).count(L"x64.dll"), 0u);

    context_.machinePlatform = kPlatform64;
    NewManifestTables t64 = ReadNew(text);
    EXPECT_EQ(t64.packages.at(L"x64.rar").platform, kPlatform64);
    EXPECT_EQ(t64.files.count(L"x64.dll"), 1u);
    EXPECT_EQ(t64.files.count(L"x86.dll"), 0u);
    EXPECT_EQ(t64.externalApps.size(), 1u);
    EXPECT_EQ(ReadOld(text).count(L"x86.dll"), 0u);
}

TEST_F(ManifestTest, TypeTextIsCaseSensitive) {
    const std::string text = Wrap(R"(
        <PACK type="Full" file="cap.rar" size="5"><FILE file="cap.dat"/></PACK>)");
    NewManifestTables t = ReadNew(text);
    ASSERT_EQ(t.packages.count(L"cap.rar"), 1u);
    EXPECT_EQ(t.packages.at(L"cap.rar").type, kPackageNone);
    EXPECT_TRUE(t.files.empty());
    EXPECT_TRUE(ReadOld(text).empty());
}

TEST_F(ManifestTest, InfoOfTheCurrentLanguageDescribesApplications) {
    const std::string text = Wrap(R"(
        <PACK type="ext" file="editor.rar">
          <INFO lang="en"><NAME>Editor</NAME><EXEC>en.exe</EXEC></INFO>
          <INFO lang="de" sel="false"><NAME>Bearbeiter</NAME><EXEC>Editor\de.exe</EXEC>
            <CMDL>-fast</CMDL><HELP>Line1\nLine2\\n</HELP></INFO>
          <INFO lang="de"><NAME>Second</NAME></INFO>
          <FILE file="Editor\de.exe" crc="1"/>
        </PACK>
        <PACK type="int" file="helper.rar">
          <INFO lang="de"><NAME>Hilfe</NAME><EXEC>help.exe</EXEC><HELP>ignored</HELP></INFO>
          <FILE file="help.exe"/>
        </PACK>
        <PACK type="full" file="base.rar"><INFO lang="de"><NAME>No</NAME></INFO></PACK>)");

    context_.language = "de";
    NewManifestTables de = ReadNew(text);
    ASSERT_EQ(de.externalApps.size(), 1u);
    const ExternalApp& app = de.externalApps[0];
    EXPECT_EQ(app.package, L"editor.rar");
    EXPECT_EQ(app.name, L"Bearbeiter");
    EXPECT_EQ(app.exec, L"Editor\\de.exe");
    EXPECT_EQ(app.cmdl, L"-fast");
    EXPECT_EQ(app.help, L"Line1\nLine2\\\n");
    EXPECT_FALSE(app.selected);
    EXPECT_EQ(de.files.at(L"editor\\de.exe").appKey, L"Editor\\de.exe");
    ASSERT_EQ(de.internalApps.size(), 1u);
    EXPECT_EQ(de.internalApps[0].package, L"helper.rar");
    EXPECT_EQ(de.internalApps[0].name, L"Hilfe");
    EXPECT_EQ(de.internalApps[0].exec, L"help.exe");
    // Files of an int package carry no application key.
    EXPECT_EQ(de.files.at(L"help.exe").appKey, L"");

    context_.language = "en";
    NewManifestTables en = ReadNew(text);
    ASSERT_EQ(en.externalApps.size(), 1u);
    EXPECT_TRUE(en.externalApps[0].selected);
    EXPECT_EQ(en.externalApps[0].help, L"");
    EXPECT_EQ(en.externalApps[0].cmdl, L"");
    EXPECT_TRUE(en.internalApps.empty());

    // No INFO of the language: no application, the files remain keyless.
    context_.language = "fr";
    NewManifestTables fr = ReadNew(text);
    EXPECT_TRUE(fr.externalApps.empty());
    EXPECT_TRUE(fr.internalApps.empty());
    ASSERT_EQ(fr.files.count(L"editor\\de.exe"), 1u);
    EXPECT_EQ(fr.files.at(L"editor\\de.exe").appKey, L"");
}

TEST_F(ManifestTest, IgnoreEntriesSplitIntoNamesAndPaths) {
    NewManifestTables t = ReadNew(Wrap(R"(
        <IGNORE>
          <FILE file="*\*.log"/><FILE file="*\ReadMe.txt"/>
          <FILE file="Bin\tmp.dat"/><FILE file="*\"/>
        </IGNORE>
        <IGNORE><FILE file="second.txt"/></IGNORE>)"));
    EXPECT_EQ(t.ignoredNames, (Names{L"*.log", L"readme.txt"}));
    EXPECT_EQ(t.ignoredPaths, (Names{L"bin\\tmp.dat", L"*\\"}));

    // An entry without a usable name fails the whole reading and leaves the
    // tables as they were.
    for (const char* bad : {R"(<FILE file=""/>)", "<FILE/>"}) {
        NewManifestTables kept;
        kept.ignoredNames.insert(L"kept");
        ASSERT_TRUE(document_.Parse(
            Wrap(R"(<PACK type="full" file="a"/><IGNORE>)" + std::string(bad) + "</IGNORE>")));
        EXPECT_FALSE(ReadNewManifest(document_, context_, &kept)) << bad;
        EXPECT_EQ(kept.ignoredNames, Names{L"kept"});
        EXPECT_TRUE(kept.packages.empty());
    }
}

TEST_F(ManifestTest, OldReadingKeepsInstalledContentOnly) {
    const std::string text = Wrap(R"(
        <PACK type="full" file="base.rar"><FILE file="Base.dat" crc="1" size="2"/></PACK>
        <PACK type="int" file="int.rar"><FILE file="int.dat"/></PACK>
        <PACK type="ext" file="ext.rar"><FILE file="ext.dat"/></PACK>
        <PACK type="increment" file="inc.rar"><FILE file="inc.dat"/></PACK>
        <PACK type="add" file="add1.rar"><FILE file="add1.dat"/></PACK>
        <PACK type="add" file="add2.rar"><FILE file="add2.dat"/></PACK>)");
    installed_ = {L"add2.rar"};
    context_.installedAddPackages = &installed_;

    ManifestFileMap old = ReadOld(text);
    ASSERT_EQ(old.size(), 3u);
    EXPECT_EQ(old.at(L"base.dat").package, L"base.rar");
    EXPECT_EQ(old.at(L"base.dat").crc, 1u);
    EXPECT_EQ(old.at(L"base.dat").size, 2u);
    EXPECT_EQ(old.at(L"int.dat").type, kPackageInt);
    EXPECT_EQ(old.at(L"add2.dat").type, kPackageAdd);

    // Without a set nothing counts as installed.
    context_.installedAddPackages = nullptr;
    EXPECT_EQ(ReadOld(text).count(L"add2.dat"), 0u);

    // A document that did not parse gives an empty map.
    CManifestDocument unloaded;
    ManifestFileMap files{{L"stale", ManifestFile{}}};
    ReadOldManifest(unloaded, context_, &files);
    EXPECT_TRUE(files.empty());
}

TEST_F(ManifestTest, AddAndIncrementPackagesInTheFreshManifest) {
    const std::string text = Wrap(R"(
        <PACK type="full" file="base.rar"><FILE file="a.dat" crc="1"/></PACK>
        <PACK type="increment" file="inc.rar" size="77">
          <FILE file="A.dat" crc="2"/><FILE file="b.dat" crc="3"/>
        </PACK>
        <PACK type="add" file="add1.rar"><FILE file="add1.dat"/></PACK>
        <PACK type="add" file="add2.rar"><FILE file="add2.dat"/></PACK>)");
    installed_ = {L"add2.rar"};
    context_.installedAddPackages = &installed_;

    NewManifestTables t = ReadNew(text);
    ASSERT_EQ(t.increments.size(), 1u);
    const IncrementPackage& inc = t.increments[0];
    EXPECT_TRUE(inc.usable);
    EXPECT_EQ(inc.file, L"inc.rar");
    EXPECT_EQ(inc.size, 77u);
    ASSERT_EQ(inc.files.size(), 2u);
    EXPECT_EQ(inc.files.at(L"a.dat").crc, 2u);
    EXPECT_EQ(inc.files.at(L"a.dat").type, kPackageIncrement);
    // The increment's files stay out of the file map.
    EXPECT_EQ(t.files.at(L"a.dat").crc, 1u);
    EXPECT_EQ(t.files.count(L"b.dat"), 0u);
    EXPECT_EQ(t.files.count(L"add1.dat"), 0u);
    EXPECT_EQ(t.files.at(L"add2.dat").package, L"add2.rar");

    // Download-only: only add and increment files are kept.
    context_.downloadOnly = true;
    NewManifestTables only = ReadNew(text);
    EXPECT_EQ(only.files.size(), 1u);
    EXPECT_EQ(only.files.count(L"add2.dat"), 1u);
    EXPECT_EQ(only.increments.at(0).files.size(), 2u);
    EXPECT_EQ(only.packages.size(), 4u);
}

TEST_F(ManifestTest, LauncherInformationNeedsVersionAndNumericSize) {
    struct Case {
        const char* attributes;
        bool present;
    };
    for (const Case& c :
         {Case{R"(launcherVersion="1.0.0.2" launcherSize="0x100")", true},
          Case{R"(launcherVersion="1.0.0.2" launcherSize="abc")", false},
          Case{R"(launcherSize="100")", false}, Case{R"(launcherVersion="1.0.0.2")", false}}) {
        ASSERT_TRUE(document_.Parse(std::string("<u ") + c.attributes + "/>"));
        LauncherInfo info;
        EXPECT_EQ(document_.ReadLauncherInfo(&info), c.present) << c.attributes;
    }

    ASSERT_TRUE(document_.Parse(R"(<u launcherVersion="1.0.0.2" launcherSize="0x100"
        launcherCRC="3735928559" launcherUrl="http://h/L.exe" modification="m1"/>)"));
    LauncherInfo info;
    ASSERT_TRUE(document_.ReadLauncherInfo(&info));
    EXPECT_EQ(info.version, L"1.0.0.2");
    EXPECT_EQ(info.size, 256u);
    EXPECT_TRUE(info.hasCrc);
    EXPECT_EQ(info.crc, 3735928559u);
    EXPECT_EQ(info.url, L"http://h/L.exe");
    EXPECT_EQ(document_.Modification(), L"m1");

    ASSERT_TRUE(document_.Parse(R"(<u launcherVersion="2" launcherSize="5" launcherCRC=""/>)"));
    ASSERT_TRUE(document_.ReadLauncherInfo(&info));
    EXPECT_FALSE(info.hasCrc);
    EXPECT_EQ(info.url, L"");
}

TEST_F(ManifestTest, UnreadableDocumentsAreRefused) {
    NewManifestTables tables;
    for (const char* text : {"", "<update><PACK></update>", "<!-- only a comment -->", "text"}) {
        EXPECT_FALSE(document_.Parse(text)) << text;
        EXPECT_FALSE(document_.IsLoaded());
        EXPECT_FALSE(ReadNewManifest(document_, context_, &tables)) << text;
        EXPECT_EQ(document_.ClientVersion(), L"");
    }
    // The root's name does not matter, and non-ASCII text arrives as wide.
    ASSERT_TRUE(document_.Parse("<anything clientVersion=\"v\xC3\xA9\"/>"));
    EXPECT_EQ(document_.ClientVersion(), L"v\u00E9");
}

TEST(PackageTypeTest, TextsRoundTripAndUnknownTextsAreNone) {
    for (int type = kPackageFull; type < kPackageNone; ++type) {
        auto t = static_cast<PackageType>(type);
        EXPECT_EQ(ParsePackageType(PackageTypeName(t)), t);
    }
    for (const char* text : {"", "FULL", "increments", "full "})
        EXPECT_EQ(ParsePackageType(text), kPackageNone) << text;
    EXPECT_EQ(ParsePackagePlatform("64"), kPlatform64);
    EXPECT_EQ(ParsePackagePlatform("32"), kPlatform32);
    EXPECT_EQ(ParsePackagePlatform("064"), kPlatformAny);
    EXPECT_EQ(LowerManifestPath(L"Bin\\\u00C4B.TXT"), L"bin\\\u00C4b.txt");
}

} // namespace
