// Signed releases with the real launchers: one built with the tests' release
// key installs a release signed with it, and refuses a release whose
// manifest changed after signing or that is not signed at all, without
// fetching a package; a launcher without a key installs the signed release
// as any other.

#include "E2eSupport.h"
#include "config/Ed25519.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "publish/Publisher.h"
#include "support/ScopedEnv.h"
#include "support/TestData.h"
#include "support/TestHttpServer.h"
#include "support/ZipWriter.h"

#include <gtest/gtest.h>

namespace {

class SignedReleaseE2eTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::WriteTestFile(client.File(L"DemoGame.exe"),
                                   testsupport::NoiseBytes(200000, 1));
        testsupport::WriteTestFile(client.File(L"Data/pak1.pak"),
                                   testsupport::NoiseBytes(500000, 2));
        std::string keyText;
        ASSERT_TRUE(plat::ReadWholeFile(plat::Utf8ToWide(RELEASE_KEY_PATH), &keyText));
        ASSERT_TRUE(config::ParsePrivateKeyFile(keyText, &key));
        ASSERT_TRUE(server.Start());
    }

    // Publishes the client, signed or not, and serves it under "/demo/".
    void Publish(bool sign) {
        testsupport::WriteTestFile(root.File(L"release.txt"),
                                   "[client]\nversion = 1.0.1\n"
                                   "[package base.pkg]\ntype = full\nfiles = DemoGame.exe\n"
                                   "[package data.pkg]\ntype = full\nfiles = Data\n");
        publish::PublishOptions options;
        options.descriptionPath = root.File(L"release.txt");
        options.clientFolder = client.Path();
        options.outputFolder = root.File(sign ? L"signed" : L"plain");
        if (sign)
            options.signingKey = key;
        publish::CPublisher publisher(options);
        std::string error;
        ASSERT_TRUE(publisher.Run(&error)) << error;
        for (const char* name : {"update.rxml", "base.pkg", "data.pkg"})
            server.ServeFile(std::string("/demo/") + name, Published(sign, name));
    }
    std::string Published(bool sign, const std::string& name) const {
        return testsupport::ReadTestFile(
            root.File((sign ? L"signed/" : L"plain/") + plat::Utf8ToWide(name)));
    }

    // A portable installation of the given launcher pointed at the server;
    // its run's log.
    std::string Install(const std::wstring& launcherPath, testsupport::TempDir& game) {
        const std::wstring launcher = plat::JoinPath(game.Path(), L"Launcher.exe");
        EXPECT_TRUE(plat::CopyFile(launcherPath, launcher, false));
        testsupport::WriteTestFile(game.File(L"guest.dat"), "");
        EXPECT_EQ(e2e::Run(e2e::StubpatchPath(),
                           {launcher, L"--set", plat::Utf8ToWide("SERVER_URL=" + server.Url("")),
                            L"--set", L"UPDATE_PATH=/demo/"}),
                  0u);
        EXPECT_EQ(e2e::Run(launcher, {}, game.Path()), 0u);
        auto logs = plat::FindFiles(game.File(L"*.Launcher.exe.log"));
        return logs.size() == 1 ? testsupport::ReadTestFile(game.File(logs[0].name))
                                : std::string();
    }
    std::size_t PackageRequests() const {
        std::size_t count = 0;
        for (const auto& request : server.Requests())
            count += request.target.find(".pkg") != std::string::npos;
        return count;
    }
    bool Installed(testsupport::TempDir& game) const {
        return testsupport::ReadTestFile(game.File(L"Data/pak1.pak")) ==
               testsupport::ReadTestFile(client.File(L"Data/pak1.pak"));
    }

    testsupport::TempDir home, client, root;
    testsupport::ScopedEnv hkcu{"LAUNCHER_REGISTRY_HKCU", home.NarrowPath() + "hkcu"};
    testsupport::ScopedEnv hklm{"LAUNCHER_REGISTRY_HKLM", home.NarrowPath() + "hklm"};
    testsupport::ScopedEnv noProxy{"no_proxy", "*"};
    testsupport::ScopedEnv noProxyUpper{"NO_PROXY", nullptr};
    testsupport::TestHttpServer server;
    config::Ed25519PrivateKey key{};
};

TEST_F(SignedReleaseE2eTest, TheKeyedLauncherInstallsOnlyWhatTheKeySigned) {
    Publish(true);
    const std::wstring keyed = plat::Utf8ToWide(SIGNED_LAUNCHER_EXE_PATH);
    {
        testsupport::TempDir game;
        std::string log = Install(keyed, game);
        EXPECT_NE(log.find("Releases must be signed with the key of config.xml"), std::string::npos)
            << log;
        EXPECT_NE(log.find("Manifest signature OK, release "), std::string::npos) << log;
        EXPECT_TRUE(Installed(game)) << log;
        EXPECT_TRUE(plat::FileExists(game.File(L"update.seq")));
    }
    // A byte of the manifest changed after signing.
    std::string xml = Published(true, "update.xml");
    xml[xml.find("1.0.1")] = '2';
    testsupport::ZipWriter tampered;
    tampered.Add("update.xml", xml);
    tampered.Add("update.xml.sig", Published(true, "update.xml.sig"));
    server.ServeFile("/demo/update.rxml", tampered.Finish());
    const std::size_t before = PackageRequests();
    {
        testsupport::TempDir game;
        std::string log = Install(keyed, game);
        EXPECT_NE(log.find("Manifest refused: signature does not match"), std::string::npos) << log;
        EXPECT_FALSE(Installed(game));
    }
    // An unsigned release.
    Publish(false);
    {
        testsupport::TempDir game;
        std::string log = Install(keyed, game);
        EXPECT_NE(log.find("Manifest refused: not signed"), std::string::npos) << log;
        EXPECT_FALSE(Installed(game));
    }
    EXPECT_EQ(PackageRequests(), before);
    // The launcher without a key takes the signed release as any other.
    Publish(true);
    testsupport::TempDir game;
    std::string log = Install(e2e::LauncherPath(), game);
    EXPECT_TRUE(Installed(game)) << log;
    EXPECT_EQ(log.find("Manifest signature"), std::string::npos);
}

} // namespace
