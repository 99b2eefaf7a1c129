// The real launcher and the demo build of the fake game client: a portable
// installation is updated, the client starts with its exact command line, a
// second launcher start brings it forward, and the uninstall through the
// temporary uninstaller removes exactly the installation. Hostile uninstall
// folders delete nothing.

#include "E2eSupport.h"
#include "assistant/ProcessKill.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "publish/Publisher.h"
#include "support/NginxServer.h"
#include "support/ScopedEnv.h"
#include "support/TestData.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

namespace {

// Polls for up to `ms` until `done` holds.
bool WaitUntil(const std::function<bool()>& done, int ms = 30000) {
    for (int waited = 0; waited < ms && !done(); waited += 20)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return done();
}

int Count(const std::string& text, const std::string& what) {
    int count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos;
         start = end + 1, end = text.find('\n', start))
        lines.push_back(text.substr(start, end - start));
    return lines;
}

class ClientLifecycleTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The launchers, their copies and the client of this test meet in a
        // runtime folder of their own (the uninstall mutex and the window
        // search of other tests' launchers never reach them).
        std::filesystem::create_directory(home.NarrowPath() + "runtime");
        std::filesystem::permissions(home.NarrowPath() + "runtime",
                                     std::filesystem::perms::owner_all);
        // The client is the demo build of the fake client under the name the
        // default distribution starts.
        ASSERT_TRUE(plat::CreateDirectory(client.File(L"Data")));
        std::filesystem::copy_file(DEMO_CLIENT_PATH, client.NarrowPath() + "DemoGame.exe");
        testsupport::WriteTestFile(client.File(L"Data/pak1.pak"),
                                   testsupport::NoiseBytes(200000, 7));
        testsupport::WriteTestFile(client.File(L"Docs/readme.txt"), "The demo game.\n");
        ASSERT_TRUE(plat::CreateDirectory(parent.File(L"game")));
        game = parent.File(L"game");
        launcher = plat::JoinPath(game, L"Launcher.exe");
        std::filesystem::copy_file(LAUNCHER_EXE_PATH, plat::WideToUtf8(launcher));
        testsupport::WriteTestFile(plat::JoinPath(game, L"guest.dat"), "");
        // Beside the installation: must survive its uninstall.
        testsupport::WriteTestFile(parent.File(L"neighbour.txt"), "not the game's");
    }
    void TearDown() override {
        // A client, launcher or assistant left by a failed test is ended.
        assistant::KillByPath(ClientPath());
        e2e::EndProcessesUnder(parent.Path());
        e2e::EndProcessesUnder(home.Path());
    }

    // Publishes under "varud-ezivoder/", the local-run marker of the update
    // address, and points the launcher there with the three stub extras.
    void PublishAndPersonalise(const std::string& extra = {}) {
        testsupport::WriteTestFile(root.File(L"release.txt"),
                                   "[client]\nversion = 1.0.0\n"
                                   "[package base.pkg]\ntype = full\nfiles = DemoGame.exe\n"
                                   "[package data.pkg]\ntype = full\nfiles = Data\nfiles = Docs\n" +
                                       extra);
        publish::PublishOptions options;
        options.descriptionPath = root.File(L"release.txt");
        options.clientFolder = client.Path();
        options.outputFolder = root.File(L"varud-ezivoder");
        publish::CPublisher publisher(options);
        std::string error;
        ASSERT_TRUE(publisher.Run(&error)) << error;
        ASSERT_TRUE(nginx.Start(root.NarrowPath()));
        ASSERT_EQ(
            e2e::Run(e2e::StubpatchPath(),
                     {launcher, L"--set", plat::Utf8ToWide("SERVER_URL=" + nginx.BaseUrl()),
                      L"--set", L"UPDATE_PATH=/varud-ezivoder/", L"--set", L"AFFILIATE_ID=aff1",
                      L"--set", L"REFERRER_ID=ref2", L"--set", L"PROMOCODE=PROMO3"}),
            0u);
    }

    // The installation folder the machine's registry records for the demo.
    static std::wstring RecordedFolder() {
        plat::RegistryKey list;
        std::wstring value;
        if (list.Open(plat::RegistryRoot::LocalMachine,
                      L"Software\\LauncherDemo\\DemoGame\\Install"))
            list.ReadString(L"Directory", &value);
        return value;
    }
    std::wstring ClientPath() const { return plat::JoinPath(game, L"DemoGame.exe"); }
    std::string ClientReport() const { return testsupport::ReadTestFile(home.File(L"client.txt")); }
    int ReportCount(const std::string& prefix) const {
        int count = 0;
        for (const std::string& line : Lines(ClientReport()))
            count += line.rfind(prefix, 0) == 0 ? 1 : 0;
        return count;
    }
    std::string LauncherLog() const {
        auto logs = plat::FindFiles(plat::JoinPath(game, L"*.Launcher.exe.log"));
        std::string text;
        for (const auto& log : logs)
            text += testsupport::ReadTestFile(plat::JoinPath(game, log.name));
        return text;
    }
    // Runs a launcher to its end with the scripted answers; `tail` is its
    // command line after the program, as a shortcut would pass it.
    std::uint32_t RunLauncher(const std::wstring& program, const std::wstring& tail,
                              const char* answers, const std::wstring& folder) {
        testsupport::ScopedEnv script("LAUNCHER_HEADLESS_ANSWERS", answers);
        plat::ProcessStartInfo info;
        info.commandLine = plat::BuildCommandLine(program, tail);
        info.workingFolder = folder;
        return testsupport::RunToEnd(info, e2e::kWatchdogMs);
    }

    // The temporary uninstaller and the assistant, run from the temporary
    // folder, end by themselves.
    void ExpectTemporaryCopiesEnd() {
        std::vector<std::wstring> left;
        EXPECT_TRUE(WaitUntil([&] {
            left = e2e::ProcessesUnder(home.Path());
            return left.empty();
        })) << (left.empty() ? std::string() : plat::WideToUtf8(left.front()));
    }

    testsupport::TempDir home, client, root, parent;
    testsupport::NginxServer nginx;
    std::wstring game, launcher;
    testsupport::ScopedEnv hkcu{"LAUNCHER_REGISTRY_HKCU", home.NarrowPath() + "hkcu"};
    testsupport::ScopedEnv hklm{"LAUNCHER_REGISTRY_HKLM", home.NarrowPath() + "hklm"};
    testsupport::ScopedEnv data{"XDG_DATA_HOME", home.NarrowPath() + "data"};
    testsupport::ScopedEnv desktop{"XDG_DESKTOP_DIR", home.NarrowPath() + "desktop"};
    testsupport::ScopedEnv common{"LAUNCHER_COMMON_DATA_DIR", home.NarrowPath() + "share"};
    testsupport::ScopedEnv temp{"LAUNCHER_TEMP_DIR", home.NarrowPath() + "temp"};
    testsupport::ScopedEnv state{"XDG_STATE_HOME", home.NarrowPath() + "state"};
    testsupport::ScopedEnv noDisplay{"DISPLAY", nullptr};
    testsupport::ScopedEnv output{"FAKE_CLIENT_OUTPUT", home.NarrowPath() + "client.txt"};
    testsupport::ScopedEnv runtime{"XDG_RUNTIME_DIR", home.NarrowPath() + "runtime"};
};

TEST_F(ClientLifecycleTest, PortableUpdateLaunchSecondStartAndUninstall) {
    PublishAndPersonalise();

    // The first run fetches the client and starts it; the launcher ends once
    // the client confirmed its start.
    EXPECT_EQ(RunLauncher(launcher, L"", "", game), 0u);
    ASSERT_TRUE(WaitUntil([&] { return ReportCount("start-event signalled") == 1; }))
        << ClientReport() << LauncherLog();
    std::string report = ClientReport();
    std::string line;
    for (const std::string& entry : Lines(report))
        if (entry.rfind("command-line ", 0) == 0)
            line = entry.substr(13);
    const std::string prefix = plat::WideToUtf8(ClientPath()) + " -windowed -server " +
                               nginx.BaseUrl() + " -appID \"AppID_Demo Game_";
    EXPECT_EQ(line.rfind(prefix, 0), 0u) << line;
    const std::string tail = "\" -affiliateid aff1 -referrerid ref2 -promocode PROMO3 -localRun";
    ASSERT_GE(line.size(), tail.size());
    EXPECT_EQ(line.substr(line.size() - tail.size()), tail) << line;
    std::string log = LauncherLog();
    EXPECT_NE(log.find("RunClient()"), std::string::npos) << log;
    EXPECT_NE(log.find("Exit .. runThread"), std::string::npos) << log;
    EXPECT_TRUE(assistant::IsRunningFromPath(ClientPath()));

    // A second start finds the running client by class and identity and
    // brings it forward instead of starting another.
    EXPECT_EQ(RunLauncher(launcher, L"", "", game), 0u);
    ASSERT_TRUE(WaitUntil([&] { return ReportCount("activate") == 1; })) << ClientReport();
    EXPECT_EQ(ReportCount("pid "), 1) << ClientReport();
    EXPECT_EQ(ReportCount("identity match DemoGame"), 1) << ClientReport();
    EXPECT_EQ(ReportCount("show 9"), 1) << ClientReport();

    // "/uninstall" hands over to a copy in the temporary folder, which ends
    // the client and removes the installation, and nothing beside it.
    EXPECT_EQ(RunLauncher(launcher, L"/uninstall", "uninstall=1", game), 0u);
    EXPECT_TRUE(WaitUntil([&] { return !plat::DirectoryExists(game); })) << LauncherLog();
    EXPECT_TRUE(WaitUntil([&] { return !assistant::IsRunningFromPath(ClientPath()); }));
    EXPECT_EQ(testsupport::ReadTestFile(parent.File(L"neighbour.txt")), "not the game's");
    // The copy (prefix UNS, ".exe") and its ".tmp" wait for the next system
    // start on the pending-deletion list.
    const std::string pending =
        testsupport::ReadTestFile(home.File(L"state/launcher/pending-deletions"));
    const std::string tempFolder = home.NarrowPath() + "temp/UNS";
    std::size_t at = pending.find(tempFolder);
    ASSERT_NE(at, std::string::npos) << pending;
    const std::string stem = pending.substr(at, pending.find(".tmp", at) - at);
    EXPECT_NE(pending.find(stem + ".tmp"), std::string::npos) << pending;
    EXPECT_NE(pending.find(stem + ".exe"), std::string::npos) << pending;
    ExpectTemporaryCopiesEnd();
}

// A data file changes on the server while the client runs: of three
// launchers started together, exactly one downloads silently beside the
// client (hidden, in the notification area); the others end at once.
TEST_F(ClientLifecycleTest, ThreeLaunchersStartedTogetherLeaveExactlyOneDownloading) {
    PublishAndPersonalise();
    EXPECT_EQ(RunLauncher(launcher, L"", "", game), 0u);
    ASSERT_TRUE(WaitUntil([&] { return ReportCount("start-event signalled") == 1; }))
        << LauncherLog();

    // The same client version with another data file, published over the
    // first one.
    testsupport::WriteTestFile(client.File(L"Data/pak1.pak"), testsupport::NoiseBytes(200000, 8));
    testsupport::TempDir second;
    testsupport::WriteTestFile(second.File(L"release.txt"),
                               testsupport::ReadTestFile(root.File(L"release.txt")));
    publish::PublishOptions options;
    options.descriptionPath = second.File(L"release.txt");
    options.clientFolder = client.Path();
    options.outputFolder = second.File(L"out");
    publish::CPublisher publisher(options);
    std::string error;
    ASSERT_TRUE(publisher.Run(&error)) << error;
    for (const auto& entry : plat::FindFiles(second.File(L"out/*")))
        std::filesystem::copy_file(plat::WideToUtf8(second.File(L"out/" + entry.name)),
                                   root.NarrowPath() + "varud-ezivoder/" +
                                       plat::WideToUtf8(entry.name),
                                   std::filesystem::copy_options::overwrite_existing);
    for (const auto& entry : plat::FindFiles(plat::JoinPath(game, L"*.log")))
        plat::DeleteFile(plat::JoinPath(game, entry.name));

    plat::Process runs[3];
    for (plat::Process& run : runs) {
        plat::ProcessStartInfo info;
        info.commandLine = plat::BuildCommandLine(launcher, L"");
        info.workingFolder = game;
        ASSERT_TRUE(run.Start(info));
    }
    for (plat::Process& run : runs)
        EXPECT_TRUE(run.Wait(e2e::kWatchdogMs));
    const std::string logs = LauncherLog();
    EXPECT_EQ(Count(logs, "SetSilentDownload(true);"), 1) << logs;
    EXPECT_EQ(Count(logs, "run(): SilentDownloadMode == sdmExit"), 2) << logs;
    EXPECT_EQ(Count(logs, "SilentDownloadMode == sdmFull"), 1) << logs;
    // Hidden with its icon; once the download is done the balloon says so,
    // and its time-out ends the launcher where no notification area does.
    for (const char* line : {"ShowTrayIcon(true);", "ShowTrayBalloon(true);",
                             "WM_BALLOONCLICK or WM_BALLOONCLOSE - exit"})
        EXPECT_EQ(Count(logs, line), 1) << line << "\n" << logs;
    // Still one client: the downloader brought it forward.
    EXPECT_EQ(ReportCount("pid "), 1) << ClientReport();
    // The package waits beside the running client for the next start.
    EXPECT_TRUE(plat::FileExists(plat::JoinPath(game, L"silent.dat"))) << logs;
}

// A running client asks a launcher started with "/download" for an add
// package over its pipe; the launcher fetches it into the installation and
// answers that the task is done.
TEST_F(ClientLifecycleTest, DownloadServiceDeliversAnAddPackageToTheRunningClient) {
    testsupport::WriteTestFile(client.File(L"Maps/level1.map"), testsupport::NoiseBytes(50000, 9));
    PublishAndPersonalise("[package maps.pkg]\ntype = add\nfiles = Maps\n");
    EXPECT_EQ(RunLauncher(launcher, L"", "", game), 0u);
    ASSERT_TRUE(WaitUntil([&] { return ReportCount("start-event signalled") == 1; }))
        << LauncherLog();
    // Add packages come only when a client asks for them.
    EXPECT_FALSE(plat::FileExists(plat::JoinPath(game, L"Maps/level1.map")));
    assistant::KillByPath(ClientPath());

    testsupport::ScopedEnv ask("FAKE_CLIENT_DOWNLOAD", plat::WideToUtf8(launcher) + "|maps.pkg");
    testsupport::ScopedEnv noEvent("FAKE_CLIENT_START_EVENT", "none");
    plat::ProcessStartInfo info;
    info.commandLine = plat::BuildCommandLine(ClientPath(), L"");
    info.workingFolder = game;
    plat::Process running;
    ASSERT_TRUE(running.Start(info));
    running.Close();
    ASSERT_TRUE(WaitUntil([&] { return ReportCount("answer 2675 7 3") == 1; }))
        << ClientReport() << LauncherLog();
    EXPECT_EQ(ReportCount("answer 2674 "), 1) << ClientReport();
    EXPECT_EQ(ReportCount("request maps.pkg"), 1) << ClientReport();
    EXPECT_EQ(testsupport::ReadTestFile(plat::JoinPath(game, L"Maps/level1.map")),
              testsupport::ReadTestFile(client.File(L"Maps/level1.map")));
    EXPECT_TRUE(plat::FileExists(plat::JoinPath(game, L"addpkg.dat")));
    const std::string log = LauncherLog();
    EXPECT_NE(log.find("New task received: maps.pkg"), std::string::npos) << log;
}

// A standard installation: the launcher, started from a folder that is no
// installation, shows the licence and the destination, registers the
// installation through the elevated assistant, fetches the client and
// starts it; "/uninstall" then removes it through the assistant again.
TEST_F(ClientLifecycleTest, StandardInstallAndUninstallThroughTheAssistant) {
    testsupport::ScopedEnv elevation("LAUNCHER_TEST_ELEVATION", "1");
    PublishAndPersonalise();
    testsupport::WriteTestFile(
        root.File(L"client/license"),
        "<?xml version=\"1.0\"?><document><LICENSE>Be fair.</LICENSE></document>");
    testsupport::TempDir download;
    const std::wstring setup = download.File(L"Launcher.exe");
    std::filesystem::copy_file(plat::WideToUtf8(launcher), plat::WideToUtf8(setup));
    const std::wstring folder = parent.File(L"standard");
    const std::string answers =
        "terms=agree;portable=0;desktop=1;programs=1;launch=1;folder=" + plat::WideToUtf8(folder);
    EXPECT_EQ(RunLauncher(setup, L"", answers.c_str(), download.Path()), 0u);
    std::string setupLog;
    for (const auto& entry : plat::FindFiles(download.File(L"*.log")))
        setupLog += testsupport::ReadTestFile(download.File(entry.name));
    ASSERT_TRUE(WaitUntil([&] { return ReportCount("start-event signalled") == 1; }))
        << setupLog << ClientReport();
    EXPECT_NE(setupLog.find("Launcher run mode: rmInstall"), std::string::npos) << setupLog;
    EXPECT_NE(setupLog.find("--- Start Install ---"), std::string::npos) << setupLog;
    EXPECT_NE(setupLog.find("eLauncherCmd_Install .. OK"), std::string::npos) << setupLog;
    EXPECT_TRUE(plat::FileExists(plat::JoinPath(folder, L"Launcher.exe")));
    EXPECT_TRUE(plat::FileExists(plat::JoinPath(folder, L"Data/pak1.pak")));
    EXPECT_FALSE(plat::FileExists(plat::JoinPath(folder, L"guest.dat")));
    EXPECT_EQ(RecordedFolder(), folder);
    std::string line;
    for (const std::string& entry : Lines(ClientReport()))
        if (entry.rfind("command-line ", 0) == 0)
            line = entry.substr(13);
    EXPECT_EQ(line.rfind(plat::WideToUtf8(plat::JoinPath(folder, L"DemoGame.exe")) +
                             " -windowed -server ",
                         0),
              0u)
        << line;

    // The uninstall through the temporary copy and the assistant.
    game = folder;
    EXPECT_EQ(
        RunLauncher(plat::JoinPath(folder, L"Launcher.exe"), L"/uninstall", "uninstall=1", folder),
        0u);
    EXPECT_TRUE(WaitUntil([&] { return !plat::DirectoryExists(folder); }));
    EXPECT_TRUE(WaitUntil([&] { return !assistant::IsRunningFromPath(ClientPath()); }));
    EXPECT_EQ(testsupport::ReadTestFile(parent.File(L"neighbour.txt")), "not the game's");
    std::string logs;
    for (const auto& entry : plat::FindFiles(home.File(L"temp/*.log")))
        logs += testsupport::ReadTestFile(home.File(L"temp/" + entry.name));
    EXPECT_NE(logs.find("Process Uninstall Started in Standard mode"), std::string::npos) << logs;
    EXPECT_NE(logs.find("eLauncherCmd_Uninstall .. OK"), std::string::npos) << logs;
    EXPECT_EQ(RecordedFolder(), L"");
    ExpectTemporaryCopiesEnd();
}

// "/ug" runs on folders that are no portable installation of this launcher:
// nothing is deleted, whatever the user answers.
TEST_F(ClientLifecycleTest, HostileUninstallFoldersDeleteNothing) {
    testsupport::TempDir fakeHome, plain, real;
    testsupport::ScopedEnv homeVariable("HOME", fakeHome.NarrowPath());
    testsupport::WriteTestFile(fakeHome.File(L"guest.dat"), "");
    testsupport::WriteTestFile(fakeHome.File(L"Launcher.exe"), "exe");
    testsupport::WriteTestFile(fakeHome.File(L"letter.txt"), "mine");
    // Files and the launcher, but no "guest.dat".
    testsupport::WriteTestFile(plain.File(L"Launcher.exe"), "exe");
    testsupport::WriteTestFile(plain.File(L"Data/a.pak"), "a");
    // A real portable installation, reached through a link.
    testsupport::WriteTestFile(real.File(L"inst/guest.dat"), "");
    testsupport::WriteTestFile(real.File(L"inst/Launcher.exe"), "exe");
    testsupport::WriteTestFile(real.File(L"inst/Data/a.pak"), "a");
    std::filesystem::create_directory_symlink(real.NarrowPath() + "inst",
                                              real.NarrowPath() + "link");

    const std::wstring uninstaller = home.File(L"Launcher.exe");
    std::filesystem::copy_file(LAUNCHER_EXE_PATH, plat::WideToUtf8(uninstaller));
    auto trimmed = [](std::wstring path) {
        if (path.size() > 1)
            path.pop_back();
        return path;
    };
    for (const std::wstring& folder : {trimmed(fakeHome.Path()), std::wstring(L"/"),
                                       trimmed(plain.Path()), real.File(L"link")}) {
        SCOPED_TRACE(plat::WideToUtf8(folder));
        EXPECT_EQ(RunLauncher(uninstaller, L"/ug \"\" " + folder, "uninstall=1", home.Path()), 0u);
    }
    EXPECT_EQ(testsupport::ReadTestFile(fakeHome.File(L"letter.txt")), "mine");
    EXPECT_TRUE(plat::FileExists(fakeHome.File(L"guest.dat")));
    EXPECT_EQ(testsupport::ReadTestFile(plain.File(L"Data/a.pak")), "a");
    EXPECT_TRUE(plat::FileExists(plain.File(L"Launcher.exe")));
    EXPECT_EQ(testsupport::ReadTestFile(real.File(L"inst/Data/a.pak")), "a");
    EXPECT_TRUE(plat::FileExists(real.File(L"inst/guest.dat")));
    EXPECT_TRUE(std::filesystem::is_symlink(real.NarrowPath() + "link"));
    EXPECT_TRUE(plat::DirectoryExists(L"/usr/bin"));
    // Each refusal is in the log, with its reason.
    std::string logs;
    for (const auto& entry : plat::FindFiles(home.File(L"*.log")))
        logs += testsupport::ReadTestFile(home.File(entry.name));
    for (const char* reason : {"The folder is not uninstalled: ", "Install Folder: /\r\n"})
        EXPECT_NE(logs.find(reason), std::string::npos) << reason << "\n" << logs;
    EXPECT_EQ(Count(logs, "Process Uninstall Finished\r\n"), 4) << logs;
    EXPECT_EQ(Count(logs, "The folder is not uninstalled: "), 3) << logs;
}

} // namespace
