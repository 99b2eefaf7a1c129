// The new launcher's download task: the address with the stub fields' query
// arguments, and a launcher download resumed from what an earlier run left.

#include "LogicFixture.h"

#include "base/Crc32.h"
#include "config/Ed25519.h"
#include "config/LauncherChecksum.h"
#include "platform/FileSystem.h"
#include "platform/FileVersionBlock.h"
#include "publish/Publisher.h"
#include "support/ForgedBytes.h"
#include "support/TestData.h"

#include <filesystem>
#include <map>
#include <optional>

namespace {

using logictest::ConfigXml;
using testsupport::ReadTestFile;
using testsupport::WriteTestFile;
namespace fs = std::filesystem;

std::map<std::string, std::string>& Fields() {
    static std::map<std::string, std::string> fields;
    return fields;
}

// Answers from the test's field values, and checks each name is read under
// its own resource id.
std::string ReadField(const char* name, int id) {
    static const std::map<std::string, int> ids = {
        {"LANGUAGE", 134}, {"AFFILIATE_ID", 135}, {"REFERRER_ID", 136}, {"PROMOCODE", 137}};
    auto known = ids.find(name);
    if (known == ids.end() || known->second != id)
        return "wrong-field";
    auto value = Fields().find(name);
    return value == Fields().end() ? std::string() : value->second;
}

TEST(LauncherUrlTest, FieldsWithValuesBecomeQueryArgumentsInTheirOrder) {
    Fields() = {{"PROMOCODE", "WINTER"},
                {"LANGUAGE", "de"},
                {"REFERRER_ID", "a b&c=d"},
                {"AFFILIATE_ID", "77"}};
    EXPECT_EQ(
        logic::LauncherUrlWithArguments("http://cdn.example.com/game/Launcher.exe", ReadField),
        "http://cdn.example.com/game/Launcher.exe?LANG=de&CAMPAIGNID=77&"
        "REFERRED_BY=a%20b%26c%3Dd&PROMOCODE=WINTER");
    // Empty fields add nothing; an address with a query of its own goes on
    // with "&".
    Fields() = {{"LANGUAGE", ""}, {"REFERRER_ID", "friend"}};
    EXPECT_EQ(logic::LauncherUrlWithArguments("/game/Launcher.exe?build=3", ReadField),
              "/game/Launcher.exe?build=3&REFERRED_BY=friend");
    Fields().clear();
    EXPECT_EQ(logic::LauncherUrlWithArguments("/game/Launcher.exe", ReadField),
              "/game/Launcher.exe");
}

// A launcher run on the fixture's installation while the server publishes a
// new launcher: a small script that records how it was started, so the
// restart through "Launcher.tmp.exe" never runs a copy of the test program.
class LauncherTaskTest : public logictest::LogicTest {
protected:
    void SetUp() override {
        LogicTest::SetUp();
        ASSERT_TRUE(server.Start());
        RecordExecutableFolderAsInstalled();
        testsupport::WriteTestFile(client.File(L"Bin/game.exe"), testsupport::NoiseBytes(50000, 1));
        next = logictest::RecordingProgram(dir.NarrowPath() + "started",
                                           testsupport::NoiseBytes(30000, 9));
        testsupport::WriteTestFile(dir.File(L"next/Launcher.exe"), next);
        testsupport::WriteTestFile(
            dir.File(L"release.txt"),
            "[client]\nversion = 1.0.0\n[launcher]\nfile = " + dir.NarrowPath() +
                "next/Launcher.exe\nversion = 9.0.0.1\n"
                "[package base.pkg]\ntype = full\nfiles = Bin\n");
        Publish();
    }

    // Publishes the release (signed with `key` when given) and serves it.
    void Publish(const std::optional<config::Ed25519PrivateKey>& key = std::nullopt) {
        publish::PublishOptions options;
        options.descriptionPath = dir.File(L"release.txt");
        options.clientFolder = client.Path();
        options.outputFolder = published.Path();
        options.signingKey = key;
        publish::CPublisher publisher(options);
        std::string error;
        ASSERT_TRUE(publisher.Run(&error)) << error;
        for (const auto& entry : plat::FindFiles(published.File(L"*")))
            server.ServeFile("/game/" + plat::WideToUtf8(entry.name),
                             ReadTestFile(published.File(entry.name)));
    }

    // One run; `moreCommon` adds to the configuration's common section.
    std::string RunUpdate(const std::string& moreCommon = {}) {
        CLogic logic;
        LogicFailure failure;
        EXPECT_TRUE(Start(logic, ConfigXml({}, "<URL>" + server.Url("") + "</URL>", {}, moreCommon),
                          &failure))
            << failure.text;
        CRecordingWizardView view([](int id) { return L"text" + std::to_wstring(id); }, &log);
        view.SetBoxAnswer(
            [&] { plat::PostMessage(logic.DialogWindow(), eWindowsMessage_Exit, 0, 0); });
        view.SetAnswers(WizardAnswers{}, [&](int) {
            plat::PostMessage(logic.DialogWindow(), eWindowsMessage_Exit, 0, 0);
        });
        logic.SetWizardView(&view);
        EXPECT_TRUE(logic.Run(&failure));
        logic.Uninit();
        return LogText();
    }
    std::wstring TempFile() const {
        return installDir.File(L"tmp/Launcher.exe.9.0.0.1." + std::to_wstring(next.size()));
    }
    std::vector<std::string> LauncherRanges() const {
        std::vector<std::string> ranges;
        for (const auto& request : server.Requests())
            if (request.target.substr(0, request.target.find('?')) == "/game/Launcher.exe")
                ranges.push_back(request.Header("Range"));
        return ranges;
    }
    std::string Started() { return logictest::RecordedStart(dir.NarrowPath() + "started"); }

    testsupport::TempDir client, published;
    testsupport::TestHttpServer server;
    std::string next;
};

TEST_F(LauncherTaskTest, APartialLauncherResumesAtItsLengthAndTheLauncherRestartsThroughIt) {
    const std::size_t half = next.size() / 2;
    WriteTestFile(TempFile(), next.substr(0, half));
    std::string text = RunUpdate();
    std::vector<std::string> ranges = LauncherRanges();
    ASSERT_EQ(ranges.size(), 1u) << text;
    EXPECT_EQ(ranges[0].rfind("bytes=" + std::to_string(half) + "-", 0), 0u) << ranges[0];
    EXPECT_NE(text.find("Add task for unpacker: Launcher.exe"), std::string::npos) << text;
    EXPECT_EQ(ReadTestFile(installDir.File(L"Launcher.tmp.exe")), next);
    // The client waits for the new launcher: no package was fetched.
    for (const auto& request : server.Requests())
        EXPECT_EQ(request.target.find(".pkg"), std::string::npos) << request.target;
    EXPECT_EQ(Started(), "--launcher-command-line\n/restart\n") << text;
    EXPECT_NE(text.find("Create process Launcher.tmp.exe from Launcher.exe"), std::string::npos)
        << text;
}

TEST_F(LauncherTaskTest, ALauncherFileLongerThanTheLauncherStartsOverFromNothing) {
    WriteTestFile(TempFile(), next + "tail");
    std::string text = RunUpdate();
    std::vector<std::string> ranges = LauncherRanges();
    ASSERT_EQ(ranges.size(), 1u) << text;
    EXPECT_EQ(ranges[0].rfind("bytes=0-", 0), 0u) << ranges[0];
    EXPECT_EQ(ReadTestFile(installDir.File(L"Launcher.tmp.exe")), next);
    EXPECT_EQ(Started(), "--launcher-command-line\n/restart\n") << text;
}

// With a release key, the new launcher must match the SHA-256 its signed
// release names: a file the launcher checksum cannot tell from the published
// one is refused, deleted and never run; the published file itself goes on
// to replace the launcher.
TEST_F(LauncherTaskTest, ASignedReleaseRefusesALauncherItsChecksumCannotTellApart) {
    config::Ed25519PrivateKey secret{};
    config::Ed25519PublicKey key{};
    ASSERT_TRUE(config::GenerateEd25519(&secret, &key));
    Publish(secret);
    const std::string keyConfig =
        "<network><releaseKey ed25519='" + config::ToHex(key) + "'/></network>";
    const std::string forged = testsupport::SameCrcOtherBytes(next);
    ASSERT_NE(forged, next);
    ASSERT_EQ(config::LauncherChecksumOfImage(forged, config::kWalkSkipRepeatedBoundary),
              config::LauncherChecksumOfImage(next, config::kWalkSkipRepeatedBoundary));
    server.ServeFile("/game/Launcher.exe", forged);

    std::string text = RunUpdate(keyConfig);
    EXPECT_NE(text.find("The new launcher is refused: the SHA-256 differs from the signed "
                        "release's"),
              std::string::npos)
        << text;
    EXPECT_FALSE(plat::FileExists(installDir.File(L"Launcher.tmp.exe")));
    EXPECT_FALSE(plat::FileExists(TempFile()));
    EXPECT_EQ(Started(), "") << text;

    // The published file itself passes and replaces the launcher.
    server.ServeFile("/game/Launcher.exe", next);
    text = RunUpdate(keyConfig);
    EXPECT_EQ(ReadTestFile(installDir.File(L"Launcher.tmp.exe")), next);
    EXPECT_EQ(Started(), "--launcher-command-line\n/restart\n") << text;
}

} // namespace
