#pragma once
// The fixture of the update-run tests: a client published into a server
// folder, a portable installation with a copy of the real launcher, and the
// launcher's own registry folders in the test's home. Test thread only.

#include "E2eSupport.h"
#include "base/Crc32.h"
#include "platform/FileSystem.h"
#include "publish/Publisher.h"
#include "support/ScopedEnv.h"
#include "support/TestData.h"
#include "support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace e2e {

// The real launcher updating a portable installation from a published client.
class UpdateRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteClient("DemoGame.exe", testsupport::NoiseBytes(600000, 1));
        WriteClient("Bin/module.dll", testsupport::NoiseBytes(300000, 2));
        WriteClient("Data/pak1.pak", testsupport::NoiseBytes(10 * 1024 * 1024, 3));
        WriteClient("Docs/readme.txt", "The demo game.\n");
        launcher = e2e::CopyLauncher(game);
        testsupport::WriteTestFile(game.File(L"guest.dat"), "");
    }

    void WriteClient(const std::string& relative, const std::string& bytes) {
        testsupport::WriteTestFile(client.File(plat::Utf8ToWide(relative)), bytes);
    }
    std::wstring Installed(const std::string& relative) const {
        return game.File(plat::Utf8ToWide(relative));
    }
    std::string Published(const std::string& name) const {
        return testsupport::ReadTestFile(root.File(L"demo/" + plat::Utf8ToWide(name)));
    }
    bool ClientInstalled() const {
        for (const char* name :
             {"DemoGame.exe", "Bin/module.dll", "Data/pak1.pak", "Docs/readme.txt"}) {
            if (testsupport::ReadTestFile(Installed(name)) !=
                testsupport::ReadTestFile(client.File(plat::Utf8ToWide(name))))
                return false;
        }
        return true;
    }

    // Three full packages and an increment for the game executable, under
    // "demo/" of the server folder.
    void Publish() {
        testsupport::WriteTestFile(
            root.File(L"release.txt"),
            "[client]\nversion = 1.0.1\n"
            "[package base.pkg]\ntype = full\nfiles = DemoGame.exe\nfiles = Bin\n"
            "[package data.pkg]\ntype = full\ncompression = store\nfiles = Data\n"
            "[package docs.pkg]\ntype = full\nfiles = Docs\n"
            "[package patch.pkg]\ntype = increment\nfiles = DemoGame.exe\n");
        publish::PublishOptions options;
        options.descriptionPath = root.File(L"release.txt");
        options.clientFolder = client.Path();
        options.outputFolder = root.File(L"demo");
        publish::CPublisher publisher(options);
        std::string error;
        ASSERT_TRUE(publisher.Run(&error)) << error;
    }
    void ServePublished(testsupport::TestHttpServer& server) {
        for (const char* name : {"update.rxml", "base.pkg", "data.pkg", "docs.pkg", "patch.pkg"})
            server.ServeFile(std::string("/demo/") + name, Published(name));
    }

    // Points the launcher copy at the servers (comma-separated).
    void Personalise(const std::string& servers) {
        ASSERT_EQ(e2e::Run(e2e::StubpatchPath(),
                           {launcher, L"--set", plat::Utf8ToWide("SERVER_URL=" + servers), L"--set",
                            L"UPDATE_PATH=/demo/"}),
                  0u);
    }

    // Runs the launcher in its folder; the log of this run.
    std::string RunLauncher() {
        RemoveLogs();
        EXPECT_EQ(e2e::Run(launcher, {}, game.Path()), 0u);
        return LauncherLog();
    }
    // Starts the launcher and waits (up to 15 s) until `reached` holds.
    bool StartLauncherUntil(plat::Process* run, const std::function<bool()>& reached) {
        RemoveLogs();
        plat::ProcessStartInfo info;
        info.commandLine = plat::BuildCommandLine(launcher, L"");
        info.workingFolder = game.Path();
        if (!run->Start(info))
            return false;
        for (int i = 0; i < 3000 && !reached(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return reached();
    }
    void RemoveLogs() {
        for (const auto& entry : plat::FindFiles(game.File(L"*.log")))
            plat::DeleteFile(game.File(entry.name));
    }
    std::string LauncherLog() const {
        auto logs = plat::FindFiles(game.File(L"*.Launcher.exe.log"));
        return logs.size() == 1 ? testsupport::ReadTestFile(game.File(logs[0].name))
                                : std::string();
    }
    // The packages a run fetched, from its log, in order.
    static std::vector<std::string> Fetched(const std::string& log) {
        std::vector<std::string> names;
        const std::string task = "Add task for unpacker: ";
        for (std::size_t at = log.find(task); at != std::string::npos;
             at = log.find(task, at + 1)) {
            std::size_t end = log.find("\r\n", at);
            if (log.compare(end + 2, 25, "  .. from received file: ") == 0)
                names.push_back(log.substr(at + task.size(), end - at - task.size()));
        }
        return names;
    }

    // Installs into the empty folder, repairs two damaged files, a deleted
    // one and a stray, then updates a changed executable by its increment,
    // from the server the launcher was personalised with.
    void InstallRepairAndIncrement() {
        std::string log = RunLauncher();
        EXPECT_TRUE(ClientInstalled()) << log;
        EXPECT_EQ(Fetched(log), (std::vector<std::string>{"base.pkg", "data.pkg", "docs.pkg"}));
        EXPECT_NE(log.find("Launch step reached"), std::string::npos) << log;
        EXPECT_EQ(testsupport::ReadTestFile(Installed("update.xml")), Published("update.xml"));

        // Two damaged files of one package, a deleted one of another, a stray.
        testsupport::WriteTestFile(Installed("Data/pak1.pak"), "damaged");
        testsupport::WriteTestFile(Installed("Data/pak2.pak"), "unknown");
        ASSERT_TRUE(plat::DeleteFile(Installed("Docs/readme.txt")));
        testsupport::WriteTestFile(Installed("Bin/stray.tmp"), "stray");
        log = RunLauncher();
        EXPECT_TRUE(ClientInstalled()) << log;
        EXPECT_EQ(Fetched(log), (std::vector<std::string>{"data.pkg", "docs.pkg"}));
        EXPECT_FALSE(plat::FileExists(Installed("Bin/stray.tmp")));
        EXPECT_FALSE(plat::FileExists(Installed("Data/pak2.pak")));

        // Only the executable differs: its increment is cheaper than base.pkg.
        testsupport::WriteTestFile(Installed("DemoGame.exe"), "old build");
        log = RunLauncher();
        EXPECT_TRUE(ClientInstalled()) << log;
        EXPECT_EQ(Fetched(log), (std::vector<std::string>{"patch.pkg"}));
    }

    testsupport::TempDir home, client, root, game;
    testsupport::ScopedEnv hkcu{"LAUNCHER_REGISTRY_HKCU", home.NarrowPath() + "hkcu"};
    testsupport::ScopedEnv hklm{"LAUNCHER_REGISTRY_HKLM", home.NarrowPath() + "hklm"};
    // The launcher takes the environment's proxy: the machine's own stays
    // out of these runs.
    testsupport::ScopedEnv noProxy{"no_proxy", "*"};
    testsupport::ScopedEnv noProxyUpper{"NO_PROXY", nullptr};
    // No window: where a desktop exists the launcher would show one.
    testsupport::ScopedEnv headless{"LAUNCHER_PRESENTER", "headless"};
    std::wstring launcher;
};

} // namespace e2e
