#include "E2eSupport.h"
#include "base/Crc32.h"
#include "platform/FileSystem.h"
#include "publish/Publisher.h"
#include "support/NginxServer.h"
#include "support/ScopedEnv.h"
#include "support/TestData.h"
#include "support/TestHttpServer.h"
#include "support/TestProxy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <ctime>
#include <functional>
#include <thread>

namespace {

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

    testsupport::TempDir home, client, root, game;
    testsupport::ScopedEnv hkcu{"LAUNCHER_REGISTRY_HKCU", home.NarrowPath() + "hkcu"};
    testsupport::ScopedEnv hklm{"LAUNCHER_REGISTRY_HKLM", home.NarrowPath() + "hklm"};
    // The launcher takes the environment's proxy: the machine's own stays
    // out of these runs.
    testsupport::ScopedEnv noProxy{"no_proxy", "*"};
    testsupport::ScopedEnv noProxyUpper{"NO_PROXY", nullptr};
    std::wstring launcher;
};

TEST_F(UpdateRunTest, InstallRepairAndIncrementFromNginx) {
    Publish();
    testsupport::NginxServer nginx;
    ASSERT_TRUE(nginx.Start(root.NarrowPath()));
    Personalise(nginx.BaseUrl());

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

TEST_F(UpdateRunTest, KilledRunResumesFromWhatReachedTheDisk) {
    Publish();
    // Slow enough (10 s) that the 10 MB package is still on its way when the
    // run is killed, after the first package was unpacked and some of it
    // reached the disk (its bytes go there read by read).
    testsupport::NginxServer slow;
    ASSERT_TRUE(slow.Start(root.NarrowPath(), {}, 1024 * 1024));
    Personalise(slow.BaseUrl());
    const std::string data = Published("data.pkg");
    char name[32];
    std::snprintf(name, sizeof name, "tmp/%08X.%u", base::Crc32(data.data(), data.size()),
                  static_cast<unsigned>(data.size()));
    plat::Process run;
    ASSERT_TRUE(StartLauncherUntil(&run, [&] {
        std::error_code error;
        auto size = std::filesystem::file_size(plat::WideToUtf8(Installed(name)), error);
        return plat::FileExists(Installed("Bin/module.dll")) && !error && size >= 65536;
    })) << LauncherLog();
    run.Terminate(9);
    run.Wait(e2e::kWatchdogMs);
    EXPECT_FALSE(plat::FileExists(Installed("Data/pak1.pak")));
    // What reached the disk survives the kill and is what the next run
    // resumes from.
    const std::string left = testsupport::ReadTestFile(Installed(name));
    ASSERT_GE(left.size(), 65536u);
    ASSERT_LT(left.size(), data.size());
    EXPECT_EQ(left, data.substr(0, left.size()));

    testsupport::NginxServer fast;
    ASSERT_TRUE(fast.Start(root.NarrowPath()));
    Personalise(fast.BaseUrl());
    std::string log = RunLauncher();
    EXPECT_TRUE(ClientInstalled()) << log;
    EXPECT_EQ(Fetched(log), (std::vector<std::string>{"data.pkg", "docs.pkg"}));
    EXPECT_NE(log.find("(begin: " + std::to_string(left.size()) +
                       ", length: " + std::to_string(data.size() - left.size()) + ")"),
              std::string::npos)
        << log;
}

TEST_F(UpdateRunTest, TerminationRequestClosesTheRunLikeItsCloseButton) {
    Publish();
    testsupport::NginxServer nginx;
    ASSERT_TRUE(nginx.Start(root.NarrowPath(), {}, 2 * 1024 * 1024));
    Personalise(nginx.BaseUrl());
    plat::Process run;
    ASSERT_TRUE(StartLauncherUntil(&run, [&] {
        return LauncherLog().find("data.pkg?1.0.1 (begin: 0") != std::string::npos;
    })) << LauncherLog();
    ::kill(static_cast<pid_t>(run.Id()), SIGTERM);
    ASSERT_TRUE(run.Wait(e2e::kWatchdogMs));
    std::uint32_t code = 1;
    EXPECT_TRUE(run.GetExitCode(&code));
    EXPECT_EQ(code, 0u);
    std::string log = LauncherLog();
    EXPECT_NE(log.find("CLogic::OnBtnClicked: ID_BTN_CAPTION_CLOSE\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("--- Uninit finished ---"), std::string::npos);
    EXPECT_NE(log.find("Launcher finished"), std::string::npos);
}

TEST_F(UpdateRunTest, BrokenConnectionAtSixtyPercentResumesAtTheNewOffset) {
    Publish();
    testsupport::TestHttpServer server;
    ASSERT_TRUE(server.Start());
    ServePublished(server);
    const std::string data = Published("data.pkg");
    const std::size_t cut = data.size() * 6 / 10;
    std::vector<std::string> ranges;
    server.On("/demo/data.pkg", [&](const testsupport::ReceivedRequest& request) {
        ranges.push_back(request.Header("Range"));
        std::size_t first = std::strtoull(ranges.back().c_str() + 6, nullptr, 10);
        testsupport::Reply reply = testsupport::Reply::Text(206, data.substr(first));
        reply.headers.push_back({"Content-Range", "bytes " + std::to_string(first) + "-" +
                                                      std::to_string(data.size() - 1) + "/" +
                                                      std::to_string(data.size())});
        if (ranges.size() == 1)
            reply.cutAfter = cut;
        return reply;
    });
    Personalise(server.Url(""));
    std::string log = RunLauncher();
    EXPECT_TRUE(ClientInstalled()) << log;
    ASSERT_EQ(ranges.size(), 2u) << log;
    EXPECT_EQ(ranges[1].rfind("bytes=" + std::to_string(cut) + "-", 0), 0u) << ranges[1];
    EXPECT_NE(log.find("continue downloading attempt #1\r\n"), std::string::npos);
}

// The preconfigured proxy is the environment's: the whole update goes
// through the one it names.
TEST_F(UpdateRunTest, UpdatesGoThroughTheEnvironmentsProxy) {
    Publish();
    testsupport::TestHttpServer server;
    ASSERT_TRUE(server.Start());
    ServePublished(server);
    testsupport::TestProxy proxy;
    ASSERT_TRUE(proxy.Start());
    Personalise(server.Url(""));
    testsupport::ScopedEnv through("http_proxy", proxy.Url());
    testsupport::ScopedEnv everything("no_proxy", nullptr);
    std::string log = RunLauncher();
    EXPECT_TRUE(ClientInstalled()) << log;
    std::vector<std::string> seen = proxy.Requests();
    ASSERT_GE(seen.size(), 4u);
    const std::string origin = "GET http://127.0.0.1:" + std::to_string(server.Port()) + "/demo/";
    for (const char* name : {"update.rxml", "base.pkg", "data.pkg", "docs.pkg"}) {
        EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [&](const std::string& line) {
            return line.rfind(origin + name, 0) == 0;
        })) << name;
    }
}

TEST_F(UpdateRunTest, CorruptedPackageIsDeletedAndReported) {
    Publish();
    testsupport::TestHttpServer server;
    ASSERT_TRUE(server.Start());
    ServePublished(server);
    std::string spoiled = Published("docs.pkg");
    spoiled[spoiled.size() / 3] ^= 0x20;
    server.ServeFile("/demo/docs.pkg", spoiled);
    Personalise(server.Url(""));
    std::string log = RunLauncher();
    EXPECT_NE(log.find("    .. warning: crc or size is not correct, file will be added to "
                       "download queue\r\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("CRC check failed\nOne or more files were corrupted during downloading."),
              std::string::npos);
    // The temporary file is named after the package the manifest announced.
    const std::string announced = Published("docs.pkg");
    char name[32];
    std::snprintf(name, sizeof name, "tmp/%08X.%u", base::Crc32(announced.data(), announced.size()),
                  static_cast<unsigned>(announced.size()));
    EXPECT_FALSE(plat::FileExists(Installed(name)));
}

TEST_F(UpdateRunTest, BusyAndSilentServersAreLeftAfterOneAttempt) {
    Publish();
    testsupport::TestHttpServer busy, silent, good;
    for (auto* server : {&busy, &silent, &good})
        ASSERT_TRUE(server->Start());
    busy.On("/demo/update.rxml", testsupport::Reply::Text(503, "busy"));
    testsupport::Reply late = testsupport::Reply::Text(200, "late");
    late.delayMs = 30000; // past the launcher's 15 s time-out
    silent.On("/demo/update.rxml", late);
    ServePublished(good);
    Personalise(busy.Url("") + "," + silent.Url("") + "," + good.Url(""));
    std::string log = RunLauncher();
    EXPECT_TRUE(ClientInstalled()) << log;
    EXPECT_EQ(busy.RequestCount(), 1u);
    EXPECT_EQ(silent.RequestCount(), 1u);
    EXPECT_NE(log.find("System error code: 12002"), std::string::npos) << log;
    // Each server gets its first attempt only.
    EXPECT_EQ(log.find("continue downloading xml attempt #2"), std::string::npos);
}

TEST_F(UpdateRunTest, FreeSpaceOneByteShortStopsBeforeTheDownload) {
    Publish();
    testsupport::TestHttpServer server;
    ASSERT_TRUE(server.Start());
    ServePublished(server);
    Personalise(server.Url(""));
    std::size_t total =
        Published("base.pkg").size() + Published("data.pkg").size() + Published("docs.pkg").size();
    {
        testsupport::ScopedEnv space("LAUNCHER_FREE_SPACE", std::to_string(total - 1));
        std::string log = RunLauncher();
        EXPECT_NE(log.find("Insufficient disk space\r\n"), std::string::npos) << log;
        EXPECT_EQ(log.find("filePartReceived"), std::string::npos);
    }
    testsupport::ScopedEnv space("LAUNCHER_FREE_SPACE", std::to_string(total));
    std::string log = RunLauncher();
    EXPECT_TRUE(ClientInstalled()) << log;
}

// A portable installation its user may not write to: the run stops before
// it asks any server for anything and changes nothing (the user is told so);
// the same folder made writable again installs as usual. Root runs the
// launcher without the rights that pass over a folder's mode.
TEST_F(UpdateRunTest, AReadOnlyPortableFolderStopsTheRunBeforeAnyRequest) {
    Publish();
    testsupport::TestHttpServer server;
    ASSERT_TRUE(server.Start());
    ServePublished(server);
    Personalise(server.Url(""));
    const std::vector<std::wstring> asUser = {
        L"--bounding-set=-dac_override,-dac_read_search,-fowner", L"--"};
    auto runAsUser = [&](std::vector<std::wstring> command) {
        command.insert(command.begin(), asUser.begin(), asUser.end());
        return e2e::Run(L"/usr/bin/setpriv", command, game.Path());
    };
    if (runAsUser({L"/bin/true"}) != 0)
        GTEST_SKIP() << "setpriv cannot take the rights away here";
    const std::string folder = game.NarrowPath();
    std::filesystem::permissions(folder, std::filesystem::perms(0555));
    if (runAsUser({L"/usr/bin/touch", game.File(L"probe")}) == 0) {
        std::filesystem::permissions(folder, std::filesystem::perms(0755));
        GTEST_SKIP() << "the folder's mode does not bind this user";
    }
    const auto before = plat::FindFiles(game.File(L"*"));
    runAsUser({launcher});
    const auto after = plat::FindFiles(game.File(L"*"));
    std::filesystem::permissions(folder, std::filesystem::perms(0755));
    EXPECT_EQ(server.RequestCount(), 0u);
    EXPECT_EQ(after.size(), before.size());
    EXPECT_FALSE(ClientInstalled());

    std::string log = RunLauncher();
    EXPECT_TRUE(ClientInstalled()) << log;
}

TEST_F(UpdateRunTest, MaintenanceAnswerInTheCurrentLanguageWithLocalEndTime) {
    // The end of the maintenance two hours ahead, shown in the launcher's
    // time zone (three hours east of UTC) in German.
    testsupport::ScopedEnv zone("TZ", "XYZ-3");
    std::time_t end = std::time(nullptr) + 2 * 3600;
    std::tm utc{};
    gmtime_r(&end, &utc);
    auto field = [](const char* name, int value) {
        return "<span class='" + std::string(name) + "'>" + std::to_string(value) + "</span>";
    };
    std::string page =
        "<html><body><div id='time'>" + field("year", utc.tm_year + 1900) +
        field("month", utc.tm_mon + 1) + field("day", utc.tm_mday) + field("hour", utc.tm_hour) +
        field("minute", utc.tm_min) +
        "</div><div id='en'><p class='title'>Maintenance</p><p class='line1'>Back soon.</p></div>"
        "<div id='de'><p class='title'>Wartung</p><p class='line1'>Wir sind gleich zur&#252;ck."
        "</p><p class='line2'>Voraussichtlich bis <span class='time'>x</span>.</p></div>"
        "</body></html>";
    testsupport::TestHttpServer server;
    ASSERT_TRUE(server.Start());
    server.On("/demo/update.rxml", testsupport::Reply::Text(503, page));
    ASSERT_EQ(e2e::Run(e2e::StubpatchPath(), {launcher, L"--set", L"LANGUAGE=de"}), 0u);
    Personalise(server.Url(""));
    std::string log = RunLauncher();

    char clock[16];
    std::snprintf(clock, sizeof clock, "%02d:%02d", (utc.tm_hour + 3) % 24, utc.tm_min);
    std::size_t text = log.find("Wir sind gleich zur\xC3\xBC"
                                "ck.\n\nVoraussichtlich bis ");
    ASSERT_NE(text, std::string::npos) << log;
    std::size_t line = log.find("\r\n", text);
    std::string shown = log.substr(text, line - text);
    EXPECT_NE(shown.find(std::string(clock) + "."), std::string::npos) << shown;
    EXPECT_EQ(log.find("Back soon."), std::string::npos);
}

} // namespace
