#include "UpdateRunFixture.h"
#include "base/Crc32.h"
#include "platform/FileSystem.h"
#include "publish/Publisher.h"
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

using e2e::UpdateRunTest;

// A first installation, a repair and an increment against the test server,
// which runs wherever the tests run (under Wine too).
TEST_F(UpdateRunTest, InstallRepairAndIncrementFromTheTestServer) {
    Publish();
    testsupport::TestHttpServer server;
    ASSERT_TRUE(server.Start());
    ServePublished(server);
    Personalise(server.Url(""));
    InstallRepairAndIncrement();
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
#ifdef _WIN32
    gmtime_s(&utc, &end);
#else
    gmtime_r(&end, &utc);
#endif
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
