#include "publish/Publisher.h"

#include "config/ArchiveHelperRar.h"
#include "config/LauncherChecksum.h"
#include "config/Sha256.h"
#include "config/StubFields.h"
#include "platform/FileSystem.h"
#include "platform/FileVersionBlock.h"
#include "platform/Unicode.h"
#include "publish/PublishRarWriter.h"
#include "support/TempDir.h"
#include "update/Manifest.h"
#include "update/ManifestTransport.h"
#include "update/ReleaseSignature.h"
#include "update/ZipFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>

namespace {

using namespace publish;
using namespace update;
using testsupport::ReadTestFile;
using testsupport::WriteTestFile;

std::uint32_t ZlibCrc(const std::string& bytes) {
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// Bytes that deflate barely shrinks, so a file spans several read blocks.
std::string Noise(std::size_t size, std::uint32_t seed) {
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 24);
    }
    return bytes;
}

// A launcher stand-in: a stub field block between noise, so that its
// checksum differs from a plain CRC-32 of the file.
std::string LauncherImage() {
    const config::StubField& field = config::StubFieldTable()[0];
    std::string block = config::StubMarker(field);
    block.resize(field.size, 'v');
    return Noise(3000, 7) + block + Noise(500, 8);
}

// The generated client: relative path ("\" separated) -> contents.
const std::map<std::string, std::string>& ClientFiles() {
    static const std::map<std::string, std::string> files = {
        {"Bin\\Game.exe", Noise(700 * 1024, 1)},
        {"Bin\\sub\\data.pak", std::string(100000, 'p') + "end"},
        {"Bin\\trace.log", "ignored by extension"},
        {"Cache\\user.cfg", "ignored by path"},
        {"Data\\maps\\a.map", "map a"},
        {"Data\\maps\\deep\\b.map", Noise(3000, 2)},
        {"Data\\empty.dat", ""},
        {"Editor\\editor.exe", Noise(2000, 3)},
        {"Editor\\readme.txt", "read me"},
        {"Tools64\\tool.exe", "sixty-four"},
        {"Launcher.exe", "an old launcher in the client folder"},
    };
    return files;
}

// Which package installs which client file.
const std::map<std::string, std::set<std::string>> kPackageFiles = {
    {"base.pkg", {"Bin\\Game.exe", "Bin\\sub\\data.pak", "Data\\empty.dat"}},
    {"maps.pkg", {"Data\\maps\\a.map", "Data\\maps\\deep\\b.map"}},
    {"editor.pkg", {"Editor\\editor.exe", "Editor\\readme.txt"}},
    {"tools.pkg", {"Tools64\\tool.exe"}},
    {"patch.pkg", {"Bin\\Game.exe"}},
};

const char kDescription[] = R"(# test client
[client]
version = 1.2.3
modification = build 42

[launcher]
file = build/Launcher.exe
version = 1.0.0.2
url = http://cdn.example.com/Launcher.exe

[ignore]
file = *\*.log
file = Cache/user.cfg

[package base.pkg]
type = full
files = Bin
files = Data\*.dat

[package maps.pkg]
type = full
format = rar
files = data/MAPS

[package editor.pkg]
type = ext
files = Editor\**
info.en.name = Editor
info.en.exec = Editor\editor.exe
info.de.name = Karteneditor
info.de.exec = Editor\editor.exe
info.de.cmdl = -fenster
info.de.help = Zeile1\nZeile2
info.de.sel = false

[package tools.pkg]
type = int
platform = 64
compression = store
files = Tools64
info.de.name = Werkzeug
info.de.exec = Tools64\tool.exe

[package patch.pkg]
type = increment
files = bin\game.exe
)";

class PublishTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { config::InitArchiveLocale(); }

    void SetUp() override {
        for (const auto& [path, contents] : ClientFiles())
            WriteTestFile(ClientPath(path), contents);
        WriteTestFile(dir_.File(L"build/Launcher.exe"), LauncherImage());
    }

    std::wstring ClientPath(const std::string& path) const {
        return plat::JoinPath(dir_.File(L"client"), plat::NativePath(plat::Utf8ToWide(path)));
    }
    std::wstring OutPath(const std::string& name) const {
        return plat::JoinPath(dir_.File(L"out"), plat::Utf8ToWide(name));
    }

    // Publishes with the given description; the message on failure.
    bool Publish(const std::string& description, std::string* error,
                 const std::wstring& output = L"",
                 const std::function<void(PublishOptions&)>& tweak = {},
                 update::ReleaseStamp* stamp = nullptr) {
        WriteTestFile(dir_.File(L"publish.ini"), description);
        PublishOptions options;
        options.descriptionPath = dir_.File(L"publish.ini");
        options.clientFolder = dir_.File(L"client");
        options.outputFolder = output.empty() ? dir_.File(L"out") : output;
        options.rarWriter = [] { return std::make_unique<publish::CPublishRarWriter>(); };
        if (tweak)
            tweak(options);
        CPublisher publisher(options);
        const bool ok = publisher.Run(error);
        if (stamp)
            *stamp = publisher.Stamp();
        return ok;
    }

    testsupport::TempDir dir_;
};

TEST_F(PublishTest, ManifestDescribesEveryPackageAndFile) {
    std::string error;
    ASSERT_TRUE(Publish(kDescription, &error)) << error;

    CManifestDocument document;
    ASSERT_TRUE(document.Parse(ReadTestFile(OutPath("update.xml"))));
    EXPECT_EQ(document.ClientVersion(), L"1.2.3");
    EXPECT_EQ(document.Modification(), L"build 42");

    const std::string launcher = LauncherImage();
    LauncherInfo info;
    ASSERT_TRUE(document.ReadLauncherInfo(&info));
    EXPECT_EQ(info.version, L"1.0.0.2");
    EXPECT_EQ(info.size, launcher.size());
    EXPECT_TRUE(info.hasCrc);
    EXPECT_EQ(info.crc,
              config::LauncherChecksumOfImage(launcher, config::kWalkSkipRepeatedBoundary));
    EXPECT_NE(info.crc, ZlibCrc(launcher));
    EXPECT_EQ(info.url, L"http://cdn.example.com/Launcher.exe");

    ManifestReadContext context;
    context.machinePlatform = kPlatform64;
    context.language = "de";
    NewManifestTables tables;
    ASSERT_TRUE(ReadNewManifest(document, context, &tables));

    // Packages: their server files with the CRC and size of what was written.
    ASSERT_EQ(tables.packages.size(), kPackageFiles.size());
    for (const auto& [name, files] : kPackageFiles) {
        const ManifestPackage& package = tables.packages.at(plat::Utf8ToWide(name));
        const std::string bytes = ReadTestFile(OutPath(name));
        EXPECT_EQ(package.crc, ZlibCrc(bytes)) << name;
        EXPECT_EQ(package.size, bytes.size()) << name;
    }
    EXPECT_EQ(tables.packages.at(L"tools.pkg").platform, kPlatform64);
    EXPECT_EQ(tables.packages.at(L"editor.pkg").type, kPackageExt);

    // Files: every packed file once, with its package; ignored files, the
    // client's own launcher and the increment's repeats are not extra entries.
    std::size_t installed = 0;
    for (const auto& [name, files] : kPackageFiles) {
        if (name == "patch.pkg")
            continue;
        for (const std::string& path : files) {
            ++installed;
            const std::wstring key = LowerManifestPath(plat::Utf8ToWide(path));
            ASSERT_EQ(tables.files.count(key), 1u) << path;
            const ManifestFile& file = tables.files.at(key);
            EXPECT_EQ(file.package, plat::Utf8ToWide(name)) << path;
            EXPECT_EQ(file.crc, ZlibCrc(ClientFiles().at(path))) << path;
            EXPECT_EQ(file.size, ClientFiles().at(path).size()) << path;
        }
    }
    EXPECT_EQ(tables.files.size(), installed);
    EXPECT_EQ(tables.files.at(L"editor\\readme.txt").appKey, L"Editor\\editor.exe");

    ASSERT_EQ(tables.increments.size(), 1u);
    EXPECT_EQ(tables.increments[0].file, L"patch.pkg");
    ASSERT_EQ(tables.increments[0].files.size(), 1u);
    EXPECT_EQ(tables.increments[0].files.at(L"bin\\game.exe").crc,
              ZlibCrc(ClientFiles().at("Bin\\Game.exe")));

    // The German texts of both applications.
    ASSERT_EQ(tables.externalApps.size(), 1u);
    EXPECT_EQ(tables.externalApps[0].name, L"Karteneditor");
    EXPECT_EQ(tables.externalApps[0].cmdl, L"-fenster");
    EXPECT_EQ(tables.externalApps[0].help, L"Zeile1\nZeile2");
    EXPECT_FALSE(tables.externalApps[0].selected);
    ASSERT_EQ(tables.internalApps.size(), 1u);
    EXPECT_EQ(tables.internalApps[0].exec, L"Tools64\\tool.exe");

    EXPECT_EQ(tables.ignoredNames, std::set<std::wstring>{L"*.log"});
    EXPECT_EQ(tables.ignoredPaths, std::set<std::wstring>{L"cache\\user.cfg"});
}

// A signed release: the manifest names every package's and the launcher's
// SHA-256, a sequence and an expiry, the packed manifest carries the
// signature of the exact bytes of "update.xml", and a reader without a key
// finds the same packages as in an unsigned release.
TEST_F(PublishTest, ASignedReleaseCarriesDigestsAStampAndTheSignatureOfItsManifest) {
    config::Ed25519PrivateKey secret{};
    config::Ed25519PublicKey key{};
    ASSERT_TRUE(config::GenerateEd25519(&secret, &key));
    constexpr std::int64_t kNow = 1796000000;
    auto signing = [&](PublishOptions& options) {
        options.signingKey = secret;
        options.now = kNow;
        options.validDays = 30;
    };
    std::string error;
    update::ReleaseStamp stamp;
    ASSERT_TRUE(Publish(kDescription, &error, L"", signing, &stamp)) << error;
    EXPECT_EQ(stamp.sequence, static_cast<std::uint64_t>(kNow));
    EXPECT_EQ(stamp.expires, kNow + 30 * 86400);

    const std::string text = ReadTestFile(OutPath("update.xml"));
    const std::string packed = ReadTestFile(OutPath("update.rxml"));
    std::string unpacked, signature;
    ASSERT_TRUE(UnpackManifest(packed, "update.xml", &unpacked));
    ASSERT_TRUE(UnpackManifest(packed, "update.xml.sig", &signature));
    EXPECT_EQ(unpacked, text);
    EXPECT_EQ(signature, ReadTestFile(OutPath("update.xml.sig")));
    update::ReleaseStamp read;
    EXPECT_EQ(update::JudgeManifest(key, text, signature, 0, kNow, &read),
              update::ManifestTrust::Trusted);
    EXPECT_EQ(read.sequence, stamp.sequence);
    EXPECT_EQ(read.expires, stamp.expires);

    for (const auto& [name, files] : kPackageFiles) {
        const std::string digest = config::ToHex(config::Sha256Of(ReadTestFile(OutPath(name))));
        EXPECT_NE(text.find("file=\"" + name + "\" crc="), std::string::npos) << name;
        EXPECT_NE(text.find("sha256=\"" + digest + "\""), std::string::npos) << name;
    }
    EXPECT_NE(
        text.find("launcherSha256=\"" + config::ToHex(config::Sha256Of(LauncherImage())) + "\""),
        std::string::npos);

    // The same packages for a launcher that reads no signature.
    ASSERT_TRUE(Publish(kDescription, &error, dir_.File(L"plain"))) << error;
    const std::string plain = ReadTestFile(dir_.File(L"plain/update.xml"));
    EXPECT_EQ(plain.find("sha256"), std::string::npos);
    EXPECT_EQ(plain.find("release"), std::string::npos);
    EXPECT_FALSE(plat::FileExists(dir_.File(L"plain/update.xml.sig")));
    std::string none;
    EXPECT_FALSE(
        UnpackManifest(ReadTestFile(dir_.File(L"plain/update.rxml")), "update.xml.sig", &none));
    CManifestDocument signedDoc, plainDoc;
    ASSERT_TRUE(signedDoc.Parse(text));
    ASSERT_TRUE(plainDoc.Parse(plain));
    ManifestReadContext context;
    context.machinePlatform = kPlatform64;
    NewManifestTables signedTables, plainTables;
    ASSERT_TRUE(ReadNewManifest(signedDoc, context, &signedTables));
    ASSERT_TRUE(ReadNewManifest(plainDoc, context, &plainTables));
    ASSERT_EQ(signedTables.packages.size(), plainTables.packages.size());
    for (const auto& [name, package] : plainTables.packages) {
        EXPECT_EQ(signedTables.packages.at(name).crc, package.crc);
        EXPECT_EQ(signedTables.packages.at(name).size, package.size);
    }

    // Published again within the same second: the sequence still grows.
    ASSERT_TRUE(Publish(kDescription, &error, L"", signing, &stamp)) << error;
    EXPECT_EQ(stamp.sequence, static_cast<std::uint64_t>(kNow) + 1);
    EXPECT_EQ(update::JudgeManifest(key, text, signature, stamp.sequence, kNow, nullptr),
              update::ManifestTrust::Rollback);
}

TEST_F(PublishTest, PackagesHoldTheClientFiles) {
    std::string error;
    ASSERT_TRUE(Publish(kDescription, &error)) << error;

    for (const auto& [name, files] : kPackageFiles) {
        const std::string bytes = ReadTestFile(OutPath(name));
        std::set<std::string> members;
        if (name == "maps.pkg") {
            config::CArchiveHelperRar rar;
            ASSERT_TRUE(rar.OpenArchive(bytes.data(), bytes.size())) << name;
            for (const std::string& member : rar.MemberNames()) {
                std::string contents;
                ASSERT_TRUE(rar.GetMember(member, &contents));
                EXPECT_EQ(contents, ClientFiles().at(member)) << member;
                members.insert(member);
            }
        } else {
            CZipFile zip;
            ASSERT_EQ(zip.Open(bytes.data(), bytes.size()), kZipOk) << name;
            for (std::size_t i = 0; i < zip.Count(); ++i) {
                const ZipEntry* entry = zip.Entry(i);
                EXPECT_EQ(entry->method, name == "tools.pkg" ? 0 : 8) << entry->name;
                std::string contents;
                ASSERT_EQ(zip.Extract(i, &contents), kZipOk) << entry->name;
                EXPECT_EQ(contents, ClientFiles().at(entry->name)) << entry->name;
                members.insert(entry->name);
            }
        }
        EXPECT_EQ(members, files) << name;
    }
    EXPECT_EQ(ReadTestFile(OutPath("Launcher.exe")), LauncherImage());

    // The packed manifest is the manifest, read the way the launcher reads it.
    const std::string packed = ReadTestFile(OutPath("update.rxml"));
    std::string manifest;
    ASSERT_TRUE(UnpackManifest(packed, "update.xml", &manifest));
    EXPECT_EQ(manifest, ReadTestFile(OutPath("update.xml")));
}

TEST_F(PublishTest, SameClientGivesIdenticalPackages) {
    std::string error;
    ASSERT_TRUE(Publish(kDescription, &error)) << error;
    ASSERT_TRUE(Publish(kDescription, &error, dir_.File(L"again"))) << error;
    for (const auto& [name, files] : kPackageFiles)
        EXPECT_EQ(ReadTestFile(OutPath(name)),
                  ReadTestFile(dir_.File(L"again/" + plat::Utf8ToWide(name))))
            << name;
    EXPECT_EQ(ReadTestFile(OutPath("update.xml")), ReadTestFile(dir_.File(L"again/update.xml")));
}

TEST_F(PublishTest, RefusesFileSetsTheLauncherCannotUse) {
    const std::string head = "[client]\nversion = 1\n[ignore]\nfile = *\\*.log\n";
    const struct {
        std::string packages;
        std::string message;
    } cases[] = {
        {"[package a.pkg]\ntype = full\nfiles = Bin\nfiles = Nothing\\*",
         "line 5: [package a.pkg]: \"Nothing\\*\" matches no file"},
        {"[package a.pkg]\ntype = full\nfiles = Bin\\*.log", "\"Bin\\*.log\" matches no file"},
        {"[package a.pkg]\ntype = full\nfiles = Bin\nexclude = **", "its excludes leave no file"},
        {"[package a.pkg]\ntype = full\nfiles = Bin\n[package b.pkg]\ntype = ext\nfiles = "
         "Bin\\sub\n"
         "info.en.name = Sub\ninfo.en.exec = Bin\\sub\\data.pak",
         "Bin\\sub\\data.pak is installed by package a.pkg already"},
        {"[package a.pkg]\ntype = full\nfiles = Bin\\sub\n[package p.pkg]\ntype = increment\n"
         "files = Bin\\Game.exe",
         "the increment lists Bin\\Game.exe, which no other package installs"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(Publish(head + c.packages, &error)) << c.packages;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
        EXPECT_FALSE(plat::FileExists(OutPath("update.xml"))) << c.packages;
    }

    // Packages of different platforms may install the same path.
    std::string error;
    EXPECT_TRUE(Publish(head + "[package a.pkg]\ntype = full\nplatform = 32\nfiles = Bin\n"
                               "[package b.pkg]\ntype = full\nplatform = 64\nfiles = Bin",
                        &error))
        << error;

    // The launcher's paths ignore letter case: two such files cannot both go.
    WriteTestFile(ClientPath("Bin\\game.EXE"), "twin");
    EXPECT_FALSE(Publish(head + "[package a.pkg]\ntype = full\nfiles = Bin", &error));
    EXPECT_NE(error.find("differ only in letter case"), std::string::npos) << error;
}

// What a folder holds, name by name.
std::map<std::string, std::string> FolderContents(const std::wstring& folder) {
    std::map<std::string, std::string> contents;
    for (const plat::FindEntry& entry : plat::FindFiles(plat::JoinPath(folder, L"*")))
        contents[plat::WideToUtf8(entry.name)] = ReadTestFile(plat::JoinPath(folder, entry.name));
    return contents;
}

// A RAR writer that fails when it completes its archive.
class CFailingRarWriter : public IPublishArchiveWriter {
public:
    bool Create(const std::wstring& path, std::string* error) override {
        return inner_.Create(path, error);
    }
    bool AddFile(const std::string& name, const std::wstring& source, PublishDigest* digest,
                 std::string* error) override {
        return inner_.AddFile(name, source, digest, error);
    }
    bool Finish(std::string* error) override {
        inner_.Finish(error);
        *error = "the disk is full";
        return false;
    }

private:
    CPublishRarWriter inner_;
};

TEST_F(PublishTest, AFailedRepublishLeavesThePreviousReleaseWhole) {
    std::string error;
    ASSERT_TRUE(Publish(kDescription, &error)) << error;
    const std::map<std::string, std::string> release1 = FolderContents(dir_.File(L"out"));
    ASSERT_EQ(release1.count("base.pkg"), 1u);

    // Release 2 changes the game; its second package (RAR) cannot be
    // completed, after the first was written.
    WriteTestFile(ClientPath("Bin\\Game.exe"), "release 2 of the game");
    WriteTestFile(dir_.File(L"publish.ini"), kDescription);
    PublishOptions options;
    options.descriptionPath = dir_.File(L"publish.ini");
    options.clientFolder = dir_.File(L"client");
    options.outputFolder = dir_.File(L"out");
    options.rarWriter = [] { return std::make_unique<CFailingRarWriter>(); };
    EXPECT_FALSE(CPublisher(options).Run(&error));
    EXPECT_NE(error.find("the disk is full"), std::string::npos) << error;
    // Not a byte of the output changed and nothing was left beside it.
    EXPECT_EQ(FolderContents(dir_.File(L"out")), release1);

    // A release that completes replaces everything at once.
    ASSERT_TRUE(Publish(kDescription, &error)) << error;
    const std::map<std::string, std::string> release2 = FolderContents(dir_.File(L"out"));
    EXPECT_EQ(release2.size(), release1.size());
    EXPECT_NE(release2.at("base.pkg"), release1.at("base.pkg"));
    EXPECT_NE(release2.at("update.xml"), release1.at("update.xml"));
    EXPECT_EQ(release2.at("maps.pkg"), release1.at("maps.pkg"));
}

TEST_F(PublishTest, SizesFrom2GiBOnAreWrittenInTheFormTheLauncherReads) {
    // Digests as the writers give them; no 4 GiB file is needed to check
    // what the manifest says about one.
    PublishDescription description;
    description.clientVersion = "1";
    description.hasLauncher = true;
    description.launcherVersion = "1.0.0.1";
    PublishPackage package;
    package.file = "big.pkg";
    package.type = kPackageFull;
    PublishedPackage published;
    published.package = &package;
    published.digest = {0x11111111u, 0x80000000u};
    published.files = {
        {"a.bin", {1u, 0x7FFFFFFFu}}, {"b.bin", {2u, 0x80000000u}}, {"c.bin", {3u, 0xFFFFFFFFu}}};
    PublishedLauncher launcher;
    launcher.size = 0xFFFFFFFFu;
    launcher.checksum = 5;
    const std::string text = BuildManifestText(description, {published}, &launcher);

    CManifestDocument document;
    ASSERT_TRUE(document.Parse(text)) << text;
    ManifestReadContext context;
    NewManifestTables tables;
    ASSERT_TRUE(ReadNewManifest(document, context, &tables));
    EXPECT_EQ(tables.packages.at(L"big.pkg").size, 0x80000000u);
    EXPECT_EQ(tables.files.at(L"a.bin").size, 0x7FFFFFFFu);
    EXPECT_EQ(tables.files.at(L"b.bin").size, 0x80000000u);
    EXPECT_EQ(tables.files.at(L"c.bin").size, 0xFFFFFFFFu);
    LauncherInfo info;
    ASSERT_TRUE(document.ReadLauncherInfo(&info));
    EXPECT_EQ(info.size, 0xFFFFFFFFu);
    EXPECT_EQ(ManifestSizeText(0x7FFFFFFFu), "2147483647");
    EXPECT_EQ(ManifestSizeText(0x80000000u), "0x80000000");
}

#ifndef _WIN32
// Links and pipes are made the Linux way; Wine cannot make links at all.
TEST_F(PublishTest, LinksSpecialFilesAndNamesWindowsCannotHoldAreRefused) {
    namespace fs = std::filesystem;
    const std::string head = "[client]\nversion = 1\n[package a.pkg]\ntype = full\nfiles = Odd\n";
    const fs::path odd = plat::WideToUtf8(ClientPath("Odd"));
    struct Case {
        const char* what;
        std::function<void()> make;
        std::string message;
    };
    const Case cases[] = {
        {"a link to a file outside", [&] { fs::create_symlink("/etc/hostname", odd / "hostname"); },
         "Odd\\hostname is a link"},
        {"a pipe", [&] { ASSERT_EQ(mkfifo((odd / "pipe").c_str(), 0600), 0); },
         "Odd\\pipe is no regular file"},
        {"links that loop",
         [&] {
             fs::create_directories(odd / "x");
             fs::create_symlink(".", odd / "x" / "x");
             fs::create_symlink("..", odd / "x" / "up");
         },
         "is a link"},
        {"a double quote", [&] { WriteTestFile(ClientPath("Odd\\a\"b.txt"), "q"); },
         "the character \" in \"a\"b.txt\""},
        {"a device name", [&] { WriteTestFile(ClientPath("Odd\\sub\\nul.txt"), "n"); },
         "\"nul.txt\" is a device name"},
        {"a trailing dot", [&] { WriteTestFile(ClientPath("Odd\\name."), "d"); },
         "ends in a dot or a blank"},
        {"a trailing blank", [&] { WriteTestFile(ClientPath("Odd\\dir \\f.txt"), "b"); },
         "\"dir \" ends in a dot or a blank"},
        {"a line break", [&] { WriteTestFile(ClientPath("Odd\\two\nlines"), "l"); },
         "cannot be the name of an archive member"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(odd);
        fs::create_directories(odd);
        WriteTestFile(ClientPath("Odd\\fine.txt"), "fine");
        c.make();
        std::string error;
        EXPECT_FALSE(Publish(head, &error));
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
        EXPECT_NE(error.find("[package a.pkg]"), std::string::npos) << error;
    }
    // Without them the folder publishes.
    fs::remove_all(odd);
    WriteTestFile(ClientPath("Odd\\fine.txt"), "fine");
    std::string error;
    EXPECT_TRUE(Publish(head, &error)) << error;
}
#endif

TEST_F(PublishTest, ReportsUnreadableInput) {
    std::string error;
    PublishOptions options;
    options.descriptionPath = dir_.File(L"missing.ini");
    options.clientFolder = dir_.File(L"client");
    options.outputFolder = dir_.File(L"out");
    EXPECT_FALSE(CPublisher(options).Run(&error));
    EXPECT_NE(error.find("cannot read the description"), std::string::npos) << error;
    EXPECT_NE(error.find("missing.ini"), std::string::npos) << error;

    const std::string minimal =
        "[client]\nversion = 1\n[package a.pkg]\ntype = full\nfiles = Bin\n";
    EXPECT_FALSE(Publish(minimal + "[launcher]\nfile = nowhere.exe\nversion = 2\n", &error));
    EXPECT_NE(error.find("cannot read the launcher"), std::string::npos) << error;
    EXPECT_NE(error.find("nowhere.exe"), std::string::npos) << error;

    options.descriptionPath = dir_.File(L"publish.ini");
    options.clientFolder = dir_.File(L"no-client");
    EXPECT_FALSE(CPublisher(options).Run(&error));
    EXPECT_NE(error.find("no-client does not exist"), std::string::npos) << error;

    // Without a RAR writer a RAR package fails and leaves nothing behind.
    options.clientFolder = dir_.File(L"client");
    WriteTestFile(options.descriptionPath,
                  "[client]\nversion = 1\n[package a.pkg]\ntype = full\nformat = rar\n"
                  "files = Bin\n");
    EXPECT_FALSE(CPublisher(options).Run(&error));
    EXPECT_NE(error.find("RAR packages cannot be written"), std::string::npos) << error;
    EXPECT_FALSE(plat::FileExists(OutPath("a.pkg")));
}

TEST_F(PublishTest, LauncherVersionComesFromTheFileAndMustAgreeWithTheDescription) {
    // A launcher of this build carries its file version.
    std::string image = LauncherImage() + plat::FileVersionMarker() + std::string(16, '\0');
    ASSERT_TRUE(plat::WriteFileVersionInImage(&image, {1, 0, 0, 2}));
    WriteTestFile(dir_.File(L"build/Launcher.exe"), image);
    std::string error;
    ASSERT_TRUE(Publish(kDescription, &error)) << error;

    std::string description = kDescription;
    const std::string line = "version = 1.0.0.2\n";
    description.replace(description.find(line), line.size(), "");
    ASSERT_TRUE(Publish(description, &error)) << error;
    CManifestDocument document;
    ASSERT_TRUE(document.Parse(ReadTestFile(OutPath("update.xml"))));
    LauncherInfo info;
    ASSERT_TRUE(document.ReadLauncherInfo(&info));
    EXPECT_EQ(info.version, L"1.0.0.2");

    // A launcher that would take itself for outdated at every start.
    ASSERT_TRUE(plat::WriteFileVersionInImage(&image, {1, 0, 0, 3}));
    WriteTestFile(dir_.File(L"build/Launcher.exe"), image);
    EXPECT_FALSE(Publish(kDescription, &error));
    EXPECT_NE(error.find("has the file version 1.0.0.3, not 1.0.0.2"), std::string::npos) << error;
    // Without a version in either place nothing is published.
    WriteTestFile(dir_.File(L"build/Launcher.exe"), LauncherImage());
    EXPECT_FALSE(Publish(description, &error));
    EXPECT_NE(error.find("[launcher] needs a version"), std::string::npos) << error;
}

TEST(PublishDescriptionTest, RefusesBadDescriptions) {
    const std::string client = "[client]\nversion = 1\n";
    const std::string package = "[package a.pkg]\ntype = full\nfiles = Bin\n";
    const struct {
        std::string text;
        std::string message;
    } cases[] = {
        {"version = 1\n", "line 1: \"version\" before the first section"},
        {client + "[clients]\n", "line 3: unknown section [clients]"},
        {client + "[client]\n", "line 3: section [client] is given twice"},
        {client + "version = 2\n", "line 3: \"version\" is given twice in [client]"},
        {client + "just text\n", "line 3: expected \"key = value\""},
        {client + package + "size = 10\n", "line 6: unknown key \"size\" in [package a.pkg]"},
        {client + "[package a.pkg]\ntype = Full\n", "line 4: unknown package type \"Full\""},
        {client + package + "platform = 86\n", "line 6: unknown platform \"86\""},
        {client + package + "format = 7z\n", "unknown format \"7z\""},
        {client + package + "[package A.pkg]\n", "line 6: package A.pkg is given twice (line 3)"},
        {client + "[package update.rxml]\n", "cannot be a package name"},
        {client + "[package sub/a.pkg]\n", "cannot be a package name"},
        // The launcher unpacks only names ending in ".pkg", in that case.
        {client + "[package base.zip]\n", "\"base.zip\": a package name must end in \".pkg\""},
        {client + "[package maps.rar]\n", "must end in \".pkg\""},
        {client + "[package base.PKG]\n", "must end in \".pkg\""},
        {client + "[package .pkg]\n", "must end in \".pkg\""},
        {client + "[package e.pkg]\ntype = ext\nfiles = Editor\n",
         "line 3: [package e.pkg]: an ext package needs info texts"},
        {"[client]\nmodification = x\n" + package, "[client] needs a version"},
        {client, "no [package] section"},
        {client + "[package a.pkg]\ntype = full\n", "line 3: [package a.pkg] lists no files"},
        {client + "[package a.pkg]\nfiles = Bin\n", "line 3: [package a.pkg] needs a type"},
        {client + package + "info.en.name = X\n", "info texts belong to ext and int packages"},
        {client + "[package a.pkg]\ntype = ext\nfiles = B\ninfo.en.sel = maybe\n",
         "line 6: \"info.en.sel\" must be true or false"},
        {client + "[package a.pkg]\ntype = ext\nfiles = B\ninfo.en.icon = x\n",
         "unknown info field \"icon\""},
        {client + "[package a.pkg]\ntype = full\nformat = rar\nfiles = B\ncompression = deflate\n",
         "line 7: [package a.pkg]: RAR packages are always stored"},
        {client + package + "[launcher]\nversion = 1.0.0.2\n", "[launcher] needs a file"},
        {client + package + "[ignore]\nfile =\n", "line 7: an ignore entry needs a file"},
    };
    for (const auto& c : cases) {
        PublishDescription description;
        std::string error;
        EXPECT_FALSE(ParsePublishDescription(c.text, &description, &error)) << c.text;
        EXPECT_NE(error.find(c.message), std::string::npos) << error << "\nwanted: " << c.message;
    }
}

TEST(PublishDescriptionTest, FormatComesFromTheDescriptionNotTheName) {
    PublishDescription description;
    std::string error;
    ASSERT_TRUE(ParsePublishDescription("\xEF\xBB\xBF[client]\r\nversion = 1\r\n"
                                        "[package a.pkg]\r\ntype = full\r\nfiles = a\r\n"
                                        "[package b.pkg]\ntype = full\nformat = zip\nfiles = b\n"
                                        "[package c.pkg]\ntype = add\nformat = rar\nfiles = c\n",
                                        &description, &error))
        << error;
    ASSERT_EQ(description.packages.size(), 3u);
    EXPECT_EQ(description.packages[0].format, PublishFormat::kZip);
    EXPECT_EQ(description.packages[1].format, PublishFormat::kZip);
    EXPECT_EQ(description.packages[2].format, PublishFormat::kRar);
    EXPECT_EQ(description.clientVersion, "1");
}

TEST(PublishFileSetTest, PatternsFollowTheDocumentedRules) {
    const struct {
        const char* pattern;
        const char* path;
        bool match;
    } cases[] = {
        {"Bin", "Bin\\a.exe", true},
        {"Bin", "bin\\sub\\b.dat", true},
        {"Bin", "Binary\\a.exe", false},
        {"Bin", "Bin", true},
        {"Bin\\*", "Bin\\a.exe", true},
        {"Bin\\*", "Bin\\sub\\b.dat", false},
        {"Bin\\**", "Bin\\sub\\b.dat", true},
        {"**\\*.dll", "a.DLL", true},
        {"**\\*.dll", "x\\y\\a.dll", true},
        {"**\\*.dll", "x\\a.dllx", false},
        {"Data/*.pak", "Data\\x.pak", true},
        {"Data\\?.pak", "Data\\xy.pak", false},
        {"Data\\maps\\", "Data\\maps\\a", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchPublishPattern(c.pattern, c.path), c.match) << c.pattern << " " << c.path;
}

TEST(PublishFileSetTest, IgnoreEntriesFollowTheLaunchersReading) {
    const std::vector<std::string> ignore = {"*\\*.log", "*\\ReadMe.txt", "Bin\\tmp.dat", "*\\"};
    EXPECT_TRUE(IsIgnoredPath(ignore, "logs\\trace.LOG"));
    EXPECT_TRUE(IsIgnoredPath(ignore, "trace.log"));
    EXPECT_FALSE(IsIgnoredPath(ignore, "trace.logx"));
    EXPECT_FALSE(IsIgnoredPath(ignore, "logs\\.log")); // a leading dot is no extension
    EXPECT_TRUE(IsIgnoredPath(ignore, "a\\b\\readme.TXT"));
    EXPECT_TRUE(IsIgnoredPath(ignore, "bin\\TMP.dat"));
    EXPECT_FALSE(IsIgnoredPath(ignore, "x\\Bin\\tmp.dat"));
    EXPECT_FALSE(IsIgnoredPath(ignore, "anything")); // "*\" alone is a path
}

} // namespace
