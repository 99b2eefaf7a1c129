// The launcher replacing itself with a newer one from a real nginx, and what
// a kill or a damaged download leaves behind.

#include "E2eSupport.h"
#include "assistant/InstallDirList.h"
#include "platform/FileSystem.h"
#include "platform/FileVersionBlock.h"
#include "platform/Registry.h"
#include "publish/Publisher.h"
#include "support/NginxServer.h"
#include "support/ScopedEnv.h"
#include "support/TestData.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace {

constexpr plat::FileVersion kNewVersion{9, 0, 0, 1};
constexpr const char* kNewVersionText = "9.0.0.1";

class SelfUpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::WriteTestFile(client.File(L"DemoGame.exe"),
                                   testsupport::NoiseBytes(200000, 7));
        testsupport::WriteTestFile(client.File(L"Docs/readme.txt"), "The demo game.\n");
        launcher = e2e::CopyLauncher(game);
        original = testsupport::ReadTestFile(launcher);
        testsupport::WriteTestFile(game.File(L"guest.dat"), "");
        folder = game.Path();
    }

    std::wstring Installed(const std::wstring& name) const { return folder + name; }
    std::string PublishedLauncher() const {
        return testsupport::ReadTestFile(root.File(L"demo/Launcher.exe"));
    }

    // Points a launcher file at the server.
    void Personalise(const std::wstring& file, const std::string& server) {
        ASSERT_EQ(e2e::Run(e2e::StubpatchPath(),
                           {file, L"--set", plat::Utf8ToWide("SERVER_URL=" + server), L"--set",
                            L"UPDATE_PATH=/demo/"}),
                  0u);
    }

    // The client and a new launcher (the second build, whose configuration
    // carries change actions, with a newer version, personalised for
    // `server`) under "demo/" of the server folder.
    void Publish(const std::string& server, bool withLauncher = true) {
        std::string launcherSection;
        if (withLauncher) {
            const std::wstring next = root.File(L"next/Launcher.exe");
            std::filesystem::create_directories(plat::WideToUtf8(root.File(L"next")));
            std::filesystem::copy_file(LAUNCHER_NEXT_PATH, plat::WideToUtf8(next),
                                       std::filesystem::copy_options::overwrite_existing);
            ASSERT_TRUE(plat::WriteFileVersionInFile(next, kNewVersion));
            Personalise(next, server);
            launcherSection =
                std::string("[launcher]\nfile = next/Launcher.exe\nversion = ") + kNewVersionText;
        }
        testsupport::WriteTestFile(root.File(L"release.txt"),
                                   "[client]\nversion = 1.0.1\n" + launcherSection +
                                       "\n[ignore]\nfile = Config\\user.cfg\n"
                                       "file = Config\\settings.cfg\n"
                                       "[package base.pkg]\ntype = full\nfiles = DemoGame.exe\n"
                                       "files = Docs\n");
        publish::PublishOptions options;
        options.descriptionPath = root.File(L"release.txt");
        options.clientFolder = client.Path();
        options.outputFolder = root.File(L"demo");
        publish::CPublisher publisher(options);
        std::string error;
        ASSERT_TRUE(publisher.Run(&error)) << error;
        Personalise(launcher, server);
        original = testsupport::ReadTestFile(launcher);
    }

    // A journal without a recorded client version (the test client carries
    // none) and the given action ids.
    static std::string JournalWith(std::initializer_list<std::uint32_t> ids) {
        std::string bytes(16, '\0');
        for (std::uint32_t id : ids) {
            for (int shift = 0; shift < 32; shift += 8)
                bytes += static_cast<char>((id >> shift) & 0xFF);
        }
        return bytes;
    }
    bool ClientInstalled() const {
        return testsupport::ReadTestFile(Installed(L"DemoGame.exe")) ==
                   testsupport::ReadTestFile(client.File(L"DemoGame.exe")) &&
               testsupport::ReadTestFile(Installed(L"Docs/readme.txt")) == "The demo game.\n";
    }
    bool AnyLauncherRunning() const {
        return plat::IsProgramRunning(Installed(L"Launcher.exe")) ||
               plat::IsProgramRunning(Installed(L"Launcher.tmp.exe"));
    }
    // Waits until no launcher of the folder has run for half a second.
    void WaitForTheLaunchers() {
        int quiet = 0;
        for (int i = 0; i < 1200 && quiet < 5; ++i) {
            quiet = AnyLauncherRunning() ? 0 : quiet + 1;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        ASSERT_EQ(quiet, 5) << "a launcher is still running";
    }
    void RemoveLogs() {
        for (const auto& entry : plat::FindFiles(Installed(L"*.log")))
            plat::DeleteFile(Installed(entry.name));
    }
    // Every launcher log of the folder, one after the other.
    std::string Logs() const {
        std::string all;
        for (const auto& entry : plat::FindFiles(Installed(L"*.log")))
            all += "=== " + plat::WideToUtf8(entry.name) + "\n" +
                   testsupport::ReadTestFile(Installed(entry.name));
        return all;
    }
    std::string RunChain(const std::wstring& program, const std::vector<std::wstring>& args = {}) {
        RemoveLogs();
        EXPECT_NE(e2e::Run(program, args, folder), ~0u);
        WaitForTheLaunchers();
        return Logs();
    }
    std::wstring LauncherTempFile() const {
        return Installed(L"tmp/Launcher.exe." + plat::Utf8ToWide(kNewVersionText) + L"." +
                         std::to_wstring(PublishedLauncher().size()));
    }
    bool Runnable(const std::wstring& path) const {
        auto perms = std::filesystem::status(plat::WideToUtf8(path)).permissions();
        return (perms & std::filesystem::perms::owner_exec) != std::filesystem::perms::none;
    }
    void ExpectNewLauncherInPlace(const std::string& log) {
        plat::FileVersion version;
        ASSERT_TRUE(plat::ReadFileVersionOfFile(Installed(L"Launcher.exe"), &version)) << log;
        EXPECT_EQ(plat::FileVersionText(version), kNewVersionText) << log;
        EXPECT_TRUE(testsupport::ReadTestFile(Installed(L"Launcher.exe")) == PublishedLauncher());
        EXPECT_TRUE(Runnable(Installed(L"Launcher.exe")));
        EXPECT_FALSE(plat::FileExists(Installed(L"Launcher.tmp.exe"))) << log;
        EXPECT_TRUE(plat::FindFiles(Installed(L".Launcher.exe.*")).empty());
    }

    testsupport::TempDir home, client, root, game;
    // The installation folder the helpers look into, with a trailing
    // separator: the game folder unless a test moves it.
    std::wstring folder;
    testsupport::ScopedEnv hkcu{"LAUNCHER_REGISTRY_HKCU", home.NarrowPath() + "hkcu"};
    testsupport::ScopedEnv hklm{"LAUNCHER_REGISTRY_HKLM", home.NarrowPath() + "hklm"};
    // Shortcuts, the temporary copies and the state the launchers write
    // stay inside the test.
    testsupport::ScopedEnv data{"XDG_DATA_HOME", home.NarrowPath() + "data"};
    testsupport::ScopedEnv desktop{"XDG_DESKTOP_DIR", home.NarrowPath() + "desktop"};
    testsupport::ScopedEnv common{"LAUNCHER_COMMON_DATA_DIR", home.NarrowPath() + "share"};
    testsupport::ScopedEnv temp{"LAUNCHER_TEMP_DIR", home.NarrowPath() + "temp"};
    testsupport::ScopedEnv state{"XDG_STATE_HOME", home.NarrowPath() + "state"};
    testsupport::ScopedEnv noProxy{"no_proxy", "*"};
    testsupport::ScopedEnv noProxyUpper{"NO_PROXY", nullptr};
    std::wstring launcher;
    std::string original;
};

TEST_F(SelfUpdateTest, CutDownloadResumesThenTheLauncherReplacesItselfAndUpdates) {
    testsupport::TestHttpServer server;
    ASSERT_TRUE(server.Start());
    Publish(server.Url(""));
    for (const char* name : {"update.rxml", "base.pkg"})
        server.ServeFile(std::string("/demo/") + name,
                         testsupport::ReadTestFile(root.File(L"demo/" + plat::Utf8ToWide(name))));
    // The first answer for the launcher breaks off at 60 %.
    const std::string next = PublishedLauncher();
    const std::size_t cut = next.size() * 6 / 10;
    std::vector<std::string> ranges;
    server.On("/demo/Launcher.exe", [&](const testsupport::ReceivedRequest& request) {
        ranges.push_back(request.Header("Range"));
        std::size_t first = std::strtoull(ranges.back().c_str() + 6, nullptr, 10);
        testsupport::Reply reply = testsupport::Reply::Text(206, next.substr(first));
        reply.headers.push_back({"Content-Range", "bytes " + std::to_string(first) + "-" +
                                                      std::to_string(next.size() - 1) + "/" +
                                                      std::to_string(next.size())});
        if (ranges.size() == 1)
            reply.cutAfter = cut;
        return reply;
    });
    // A file of the user's that the new launcher's rename action renames.
    testsupport::WriteTestFile(Installed(L"Config/user.cfg"), "volume=7\n");
    std::string log = RunChain(launcher);
    EXPECT_NE(log.find("A new launcher is ready on the server"), std::string::npos) << log;
    ASSERT_GE(ranges.size(), 2u) << log;
    EXPECT_EQ(ranges[1].rfind("bytes=" + std::to_string(cut) + "-", 0), 0u) << ranges[1];
    EXPECT_NE(log.find("Runned temp copy of launcher"), std::string::npos) << log;
    EXPECT_NE(log.find("delete Launcher.tmp.exe"), std::string::npos) << log;
    EXPECT_NE(log.find("Launch step reached"), std::string::npos) << log;
    ExpectNewLauncherInPlace(log);
    EXPECT_TRUE(ClientInstalled()) << log;
    EXPECT_EQ(testsupport::ReadTestFile(Installed(L"Config/settings.cfg")), "volume=7\n") << log;
    EXPECT_FALSE(plat::FileExists(Installed(L"Config/user.cfg")));
    // The folder move does not cover this portable folder: recorded at once;
    // then the rename.
    const std::string journal = JournalWith({2002, 2001});
    EXPECT_EQ(testsupport::ReadTestFile(Installed(L"changes.dat")), journal);

    // The next start finds its own version current, and the action, applied
    // once, leaves a new file of the old name alone.
    const std::size_t requests = ranges.size();
    testsupport::WriteTestFile(Installed(L"Config/user.cfg"), "volume=3\n");
    log = RunChain(launcher);
    EXPECT_EQ(testsupport::ReadTestFile(Installed(L"Config/user.cfg")), "volume=3\n") << log;
    EXPECT_EQ(testsupport::ReadTestFile(Installed(L"Config/settings.cfg")), "volume=7\n");
    EXPECT_EQ(testsupport::ReadTestFile(Installed(L"changes.dat")), journal);
    EXPECT_EQ(ranges.size(), requests);
    EXPECT_EQ(log.find("A new launcher is ready on the server"), std::string::npos) << log;
    EXPECT_EQ(log.find("Runned temp copy of launcher"), std::string::npos) << log;
    EXPECT_NE(log.find("Launch step reached"), std::string::npos) << log;
}

TEST_F(SelfUpdateTest, LauncherWithAWrongChecksumIsDeletedAndNeverRun) {
    testsupport::NginxServer nginx;
    ASSERT_TRUE(nginx.Start(root.NarrowPath()));
    Publish(nginx.BaseUrl());
    // The server's file is spoiled after publishing: same size, other bytes.
    std::string spoiled = PublishedLauncher();
    spoiled[spoiled.size() / 2] ^= 0x5A;
    testsupport::WriteTestFile(root.File(L"demo/Launcher.exe"), spoiled);
    std::string log = RunChain(launcher);
    EXPECT_NE(log.find("The new launcher is refused: the checksum differs"), std::string::npos)
        << log;
    EXPECT_NE(log.find("    .. warning: crc or size is not correct"), std::string::npos) << log;
    EXPECT_EQ(testsupport::ReadTestFile(launcher), original);
    EXPECT_FALSE(plat::FileExists(Installed(L"Launcher.tmp.exe")));
    EXPECT_EQ(log.find("Runned temp copy of launcher"), std::string::npos) << log;
    // The refused bytes are gone; a fresh task waits at offset 0.
    EXPECT_TRUE(plat::FindFiles(Installed(L"tmp/Launcher.exe.*")).empty() ||
                std::filesystem::file_size(plat::WideToUtf8(LauncherTempFile())) == 0);
}

TEST_F(SelfUpdateTest, EveryStateAKillCanLeaveStartsALauncher) {
    testsupport::NginxServer nginx;
    ASSERT_TRUE(nginx.Start(root.NarrowPath()));
    Publish(nginx.BaseUrl());
    const std::string next = PublishedLauncher();

    // Killed while copying over "Launcher.exe": the old launcher, the new
    // copy and a partial file beside them. The old launcher starts, cleans
    // up and updates itself once more.
    testsupport::WriteTestFile(Installed(L"Launcher.tmp.exe"), next);
    std::filesystem::permissions(plat::WideToUtf8(Installed(L"Launcher.tmp.exe")),
                                 std::filesystem::perms::owner_all);
    testsupport::WriteTestFile(Installed(L".Launcher.exe.4242-0.part"), next.substr(0, 1000));
    std::string log = RunChain(launcher);
    EXPECT_NE(log.find("Launch step reached"), std::string::npos) << log;
    ExpectNewLauncherInPlace(log);

    // Killed after the copy, before "Launcher.exe" started: the copy is
    // left; the new "Launcher.exe" starts and deletes it.
    testsupport::WriteTestFile(Installed(L"Launcher.tmp.exe"), next);
    log = RunChain(launcher);
    EXPECT_NE(log.find("delete Launcher.tmp.exe"), std::string::npos) << log;
    EXPECT_EQ(log.find("Runned temp copy of launcher"), std::string::npos) << log;
    ExpectNewLauncherInPlace(log);

    // The old launcher killed right after it started the copy: the copy,
    // started on its own, still replaces "Launcher.exe".
    testsupport::WriteTestFile(launcher, original);
    std::filesystem::permissions(plat::WideToUtf8(launcher), std::filesystem::perms::owner_all);
    testsupport::WriteTestFile(Installed(L"Launcher.tmp.exe"), next);
    std::filesystem::permissions(plat::WideToUtf8(Installed(L"Launcher.tmp.exe")),
                                 std::filesystem::perms::owner_all);
    log = RunChain(Installed(L"Launcher.tmp.exe"), {L"/restart"});
    EXPECT_NE(log.find("Runned temp copy of launcher"), std::string::npos) << log;
    ExpectNewLauncherInPlace(log);
}

TEST_F(SelfUpdateTest, AFolderMoveActionMovesAPortableInstallationOnce) {
    testsupport::ScopedEnv elevation("LAUNCHER_TEST_ELEVATION", "1");
    testsupport::NginxServer nginx;
    ASSERT_TRUE(nginx.Start(root.NarrowPath()));
    // A portable installation still named after the beta.
    testsupport::TempDir parent;
    const std::wstring beta = parent.File(L"Demo Game Beta");
    const std::wstring moved = parent.File(L"Demo Game");
    std::filesystem::create_directories(plat::WideToUtf8(beta));
    std::filesystem::copy_file(LAUNCHER_EXE_PATH, plat::WideToUtf8(beta + L"/Launcher.exe"));
    testsupport::WriteTestFile(beta + L"/guest.dat", "");
    folder = beta + L"/";
    launcher = Installed(L"Launcher.exe");
    Publish(nginx.BaseUrl());
    testsupport::WriteTestFile(Installed(L"Config/user.cfg"), "volume=7\n");

    // The old launcher replaces itself; the new one updates the client and
    // moves the folder through a copy of itself and the assistant; the
    // moved folder's launcher then applies the rename.
    const std::string journal = JournalWith({2002, 2001});
    EXPECT_NE(e2e::Run(launcher, {}, beta), ~0u);
    bool recorded = false;
    for (int i = 0; i < 1200 && !recorded; ++i) {
        recorded = testsupport::ReadTestFile(moved + L"/changes.dat") == journal;
        if (!recorded)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    folder = moved + L"/";
    WaitForTheLaunchers();
    std::string log = Logs();
    for (const auto& entry : plat::FindFiles(home.File(L"temp/*.log")))
        log += "=== temp/" + plat::WideToUtf8(entry.name) + "\n" +
               testsupport::ReadTestFile(home.File(L"temp/" + entry.name));
    ASSERT_TRUE(recorded) << log;
    EXPECT_FALSE(std::filesystem::exists(plat::WideToUtf8(beta))) << log;
    EXPECT_NE(log.find("Runned temp copy of launcher"), std::string::npos) << log;
    EXPECT_NE(log.find("The move is recorded in changes.dat (action 2002)"), std::string::npos)
        << log;
    ExpectNewLauncherInPlace(log);
    EXPECT_TRUE(ClientInstalled()) << log;
    EXPECT_TRUE(plat::FileExists(Installed(L"guest.dat")));
    EXPECT_EQ(testsupport::ReadTestFile(Installed(L"Config/settings.cfg")), "volume=7\n") << log;
    EXPECT_FALSE(plat::FileExists(Installed(L"Config/user.cfg")));

    // A second start from the new folder repeats neither action.
    testsupport::WriteTestFile(Installed(L"Config/user.cfg"), "volume=3\n");
    log = RunChain(Installed(L"Launcher.exe"));
    EXPECT_EQ(log.find("Start the move"), std::string::npos) << log;
    EXPECT_NE(log.find("Launch step reached"), std::string::npos) << log;
    EXPECT_EQ(testsupport::ReadTestFile(Installed(L"Config/user.cfg")), "volume=3\n") << log;
    EXPECT_EQ(testsupport::ReadTestFile(Installed(L"changes.dat")), journal);
    std::vector<std::string> children;
    for (const auto& entry : std::filesystem::directory_iterator(parent.NarrowPath()))
        children.push_back(entry.path().filename().string());
    EXPECT_EQ(children, std::vector<std::string>{"Demo Game"});
}

// A standard installation still registered under the beta's identity: its
// launcher hands the folder to a copy of itself, which moves it through the
// assistant to the product's name; the launcher of the moved folder then
// installs the client there.
TEST_F(SelfUpdateTest, AnInstallationRegisteredAsTheBetaMovesToTheProductsName) {
    testsupport::ScopedEnv elevation("LAUNCHER_TEST_ELEVATION", "1");
    testsupport::NginxServer nginx;
    ASSERT_TRUE(nginx.Start(root.NarrowPath()));
    testsupport::TempDir parent;
    const std::wstring beta = parent.File(L"Demo Game Beta");
    const std::wstring moved = parent.File(L"Demo Game");
    std::filesystem::create_directories(plat::WideToUtf8(beta));
    std::filesystem::copy_file(LAUNCHER_EXE_PATH, plat::WideToUtf8(beta + L"/Launcher.exe"));
    folder = beta + L"/";
    launcher = Installed(L"Launcher.exe");
    const std::wstring betaRegPath = L"Software\\LauncherDemo\\DemoGameBeta";
    {
        plat::RegistryKey key;
        ASSERT_TRUE(key.Create(plat::RegistryRoot::LocalMachine, betaRegPath));
        assistant::CInstallDirList list(betaRegPath);
        ASSERT_TRUE(list.Add(beta));
    }
    Publish(nginx.BaseUrl(), false);

    EXPECT_NE(e2e::Run(launcher, {}, beta), ~0u);
    folder = moved + L"/";
    bool installed = false;
    for (int i = 0; i < 1200 && !installed; ++i) {
        installed = ClientInstalled();
        if (!installed)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    WaitForTheLaunchers();
    std::string log = Logs();
    for (const auto& entry : plat::FindFiles(home.File(L"temp/*.log")))
        log += "=== temp/" + plat::WideToUtf8(entry.name) + "\n" +
               testsupport::ReadTestFile(home.File(L"temp/" + entry.name));
    ASSERT_TRUE(installed) << log;
    EXPECT_FALSE(std::filesystem::exists(plat::WideToUtf8(beta))) << log;
    EXPECT_EQ(testsupport::ReadTestFile(Installed(L"Launcher.exe")), original);
    assistant::CInstallDirList current(L"Software\\LauncherDemo\\DemoGame");
    EXPECT_GE(current.Find(moved), 0) << log;
    // A second start from the moved folder stays there.
    log = RunChain(Installed(L"Launcher.exe"));
    EXPECT_EQ(log.find("Start the move"), std::string::npos) << log;
    EXPECT_NE(log.find("Launch step reached"), std::string::npos) << log;
}

} // namespace
