#include "LogicFixture.h"

#include "base/Crc32.h"
#include "base/Strings.h"
#include "config/Ed25519.h"
#include "config/Sha256.h"
#include "platform/FileSystem.h"
#include "publish/Publisher.h"
#include "support/ForgedBytes.h"
#include "support/TestData.h"
#include "support/ZipWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <optional>

namespace {

using namespace logictest;

// "bytes=A-B" or "bytes=A-" of a request; false without a usable range.
bool RangeOf(const testsupport::ReceivedRequest& request, std::size_t size, std::size_t* first,
             std::size_t* last) {
    std::string range = request.Header("Range");
    if (range.rfind("bytes=", 0) != 0)
        return false;
    std::size_t dash = range.find('-');
    *first = std::strtoull(range.c_str() + 6, nullptr, 10);
    std::string tail = range.substr(dash + 1);
    *last = tail.empty() ? size - 1 : std::strtoull(tail.c_str(), nullptr, 10);
    // A last byte past the end means the end, as HTTP has it.
    *last = std::min(*last, size - 1);
    return *first <= *last;
}

// A package answer that honours ranges and lets a test spoil one answer.
testsupport::Reply RangeReply(const testsupport::ReceivedRequest& request,
                              const std::string& content) {
    std::size_t first = 0, last = 0;
    if (!RangeOf(request, content.size(), &first, &last))
        return testsupport::Reply::Text(200, content);
    testsupport::Reply reply =
        testsupport::Reply::Text(206, content.substr(first, last - first + 1));
    reply.headers.push_back({"Content-Range", "bytes " + std::to_string(first) + "-" +
                                                  std::to_string(last) + "/" +
                                                  std::to_string(content.size())});
    return reply;
}

// The stage changes a run logged, in order: "idle -> manifest", ...
std::vector<std::string> StageChanges(const std::string& log) {
    const std::string prefix = "Update cycle: ";
    std::vector<std::string> changes;
    for (std::size_t at = log.find(prefix); at != std::string::npos;
         at = log.find(prefix, at + 1)) {
        std::size_t from = at + prefix.size();
        changes.push_back(log.substr(from, log.find("\r\n", from) - from));
    }
    return changes;
}

// An update of a published client, served by the test server, into the
// fixture's installation folder.
class UpdateCycleTest : public LogicTest {
protected:
    void SetUp() override {
        LogicTest::SetUp();
        ASSERT_TRUE(server.Start());
        RecordExecutableFolderAsInstalled();
        WriteClient("Bin\\game.exe", testsupport::NoiseBytes(300000, 1));
        WriteClient("Bin\\lib.dll", testsupport::NoiseBytes(200000, 2));
        WriteClient("Data\\a.pak", testsupport::NoiseBytes(400000, 3));
        WriteClient("Data\\b.pak", testsupport::NoiseBytes(100000, 4));
        WriteClient("Extra\\readme.txt", "read me\n");
    }

    void WriteClient(const std::string& relative, const std::string& bytes) {
        testsupport::WriteTestFile(client.File(plat::NativePath(plat::Utf8ToWide(relative))),
                                   bytes);
    }
    std::wstring Installed(const std::string& relative) const {
        return installDir.File(plat::NativePath(plat::Utf8ToWide(relative)));
    }
    std::string Published(const std::string& name) const {
        return testsupport::ReadTestFile(published.File(plat::Utf8ToWide(name)));
    }

    // Publishes the client with three full packages (and the extra lines)
    // and serves every published file under "/game/".
    void Publish(const std::string& extra = {}) {
        std::string description = "[client]\nversion = 1.0.0\n"
                                  "[package base.pkg]\ntype = full\nfiles = Bin\n"
                                  "[package data.pkg]\ntype = full\nfiles = Data\n"
                                  "[package extra.pkg]\ntype = full\nfiles = Extra\n" +
                                  extra;
        testsupport::WriteTestFile(dir.File(L"release.txt"), description);
        publish::PublishOptions options;
        options.descriptionPath = dir.File(L"release.txt");
        options.clientFolder = client.Path();
        options.outputFolder = published.Path();
        options.signingKey = signingKey;
        if (signingNow != 0)
            options.now = signingNow;
        publish::CPublisher publisher(options);
        std::string error;
        ASSERT_TRUE(publisher.Run(&error)) << error;
        for (const auto& entry : plat::FindFiles(published.File(L"*")))
            server.ServeFile("/game/" + plat::WideToUtf8(entry.name),
                             Published(plat::WideToUtf8(entry.name)));
    }

    // One launcher run on the installation; a message box ends it.
    std::string RunUpdate(const std::string& servers = {}, const std::string& dataUrls = {},
                          const std::string& moreCommon = {}) {
        CLogic logic;
        LogicFailure failure;
        std::string config =
            ConfigXml({}, servers.empty() ? "<URL>" + server.Url("") + "</URL>" : servers, dataUrls,
                      moreCommon);
        if (!localeName.empty())
            config = WithLocale(config, localeName, localeId);
        if (askLoginUrl)
            config.replace(config.find("<Face id='game'>"), 16,
                           "<Face id='game' askLoginURL='true'>");
        EXPECT_TRUE(Start(logic, config, &failure)) << failure.text;
        CRecordingWizardView view([](int id) { return L"text" + std::to_wstring(id); }, &log);
        view.SetBoxAnswer([&] {
            if (view.MessageBoxContext() == kBoxServerAddress && !typedAddresses.empty()) {
                view.SetText(logic::kMboxEdit, typedAddresses.front());
                typedAddresses.erase(typedAddresses.begin());
                plat::PostMessage(logic.DialogWindow(), CDialog::kCommandMessage, logic::kBtnMboxOk,
                                  0);
                return;
            }
            if (!boxHook || !boxHook(logic, view.MessageBoxContext()))
                plat::PostMessage(logic.DialogWindow(), eWindowsMessage_Exit, 0, 0);
        });
        // The launch page is closed rather than answered.
        view.SetAnswers(WizardAnswers{}, [&](int) {
            plat::PostMessage(logic.DialogWindow(), eWindowsMessage_Exit, 0, 0);
        });
        logic.SetWizardView(&view);
        EXPECT_TRUE(logic.Run(&failure));
        logic.Uninit();
        entries = view.Entries();
        log.Close();
        std::string text = testsupport::ReadTestFile(dir.File(L"launcher.log"));
        EXPECT_TRUE(log.Open(dir.File(L"launcher.log")));
        return text;
    }

    // The package requests the server saw, in order.
    std::vector<std::string> PackageRequests(const testsupport::TestHttpServer& from) const {
        std::vector<std::string> names;
        for (const auto& request : from.Requests()) {
            std::string path = request.target.substr(0, request.target.find('?'));
            if (path.size() > 4 && path.compare(path.size() - 4, 4, ".pkg") == 0)
                names.push_back(path.substr(path.rfind('/') + 1));
        }
        return names;
    }
    bool Shown(const char* operation, int stringId, std::int64_t value) const {
        for (const auto& entry : entries)
            if (entry.operation == operation && entry.stringId == stringId && entry.value == value)
                return true;
        return false;
    }
    std::wstring TempFileFor(const std::string& package) const {
        std::string bytes = Published(package);
        return installDir.File(base::FormatW(L"tmp/%08X.%u",
                                             base::Crc32(bytes.data(), bytes.size()),
                                             static_cast<unsigned>(bytes.size())));
    }
    void ExpectClientInstalled() {
        for (const char* name :
             {"Bin\\game.exe", "Bin\\lib.dll", "Data\\a.pak", "Data\\b.pak", "Extra\\readme.txt"}) {
            EXPECT_EQ(
                testsupport::ReadTestFile(Installed(name)),
                testsupport::ReadTestFile(client.File(plat::NativePath(plat::Utf8ToWide(name)))))
                << name;
        }
    }

    testsupport::TempDir client, published;
    testsupport::TestHttpServer server;
    // A signed release: the key and the time it is made (0: now).
    std::optional<config::Ed25519PrivateKey> signingKey;
    std::int64_t signingNow = 0;
    // The language's locale name and number, when the test gives them.
    std::string localeName, localeId;
    std::vector<CRecordingWizardView::Entry> entries;
    // With askLoginUrl the face lets the user type a server address when
    // every server failed; each server-address box takes the next typed
    // address with OK.
    bool askLoginUrl = false;
    std::vector<std::wstring> typedAddresses;
    // Answers a message box of the run (true), or leaves it to end the run.
    std::function<bool(CLogic& logic, int context)> boxHook;
    // Presses Retry on the first failure page of this context; counts the
    // pages it saw in `retries`.
    void RetryOnce(int failurePage) {
        boxHook = [this, failurePage](CLogic& logic, int context) {
            if (context != failurePage || retries++ > 0)
                return false;
            return plat::PostMessage(logic.DialogWindow(), CDialog::kCommandMessage, 12415, 0);
        };
    }
    int retries = 0;
};

TEST_F(UpdateCycleTest, EmptyFolderGetsTheWholeClientThenARepairFetchesOnlyWhatDiffers) {
    Publish();
    std::string text = RunUpdate();
    ExpectClientInstalled();
    EXPECT_EQ(PackageRequests(server),
              (std::vector<std::string>{"base.pkg", "data.pkg", "extra.pkg"}));
    EXPECT_EQ(testsupport::ReadTestFile(Installed("update.xml")), Published("update.xml"));
    EXPECT_FALSE(plat::DirectoryExists(installDir.File(L"tmp")));
    for (const char* line :
         {"Init check thread\r\n", "bCanDelete = true\r\n", "Server info ready\r\n",
          "Finish check thread .. OK\r\n", "processStartDownload();\r\n", "bCanRun = false\r\n",
          "Init/start unpack thread\r\n", "Add task for unpacker: data.pkg\r\n",
          "Finish unpack thread .. OK\r\n", "processAfterDownload();\r\n",
          "Remove tmp directory\r\n", "Save update.xml\r\n",
          "Launch step reached (the launch button)\r\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << text;
    EXPECT_TRUE(Shown("ShowDownloadPage", 18, 0));
    EXPECT_EQ(StageChanges(text), (std::vector<std::string>{
                                      "idle -> manifest", "manifest -> check", "check -> download",
                                      "download -> unpack", "unpack -> after download"}))
        << text;
    // The bar went from the download to the end of the unpacking.
    EXPECT_TRUE(Shown("RefreshProgress", 4, 0));
    EXPECT_TRUE(Shown("RefreshProgress", 16, 100));

    // A damaged and a missing file of two packages, and a stray file.
    testsupport::WriteTestFile(Installed("Data\\a.pak"), "damaged");
    ASSERT_TRUE(plat::DeleteFile(Installed("Bin\\lib.dll")));
    testsupport::WriteTestFile(Installed("Bin\\notes"), "stray");
    testsupport::WriteTestFile(Installed("Bin\\trace.log"), "kept");
    testsupport::TestHttpServer second;
    ASSERT_TRUE(second.Start());
    for (const char* name : {"update.rxml", "base.pkg", "data.pkg", "extra.pkg"})
        second.ServeFile(std::string("/game/") + name, Published(name));
    text = RunUpdate("<URL>" + second.Url("") + "</URL>");
    ExpectClientInstalled();
    EXPECT_EQ(PackageRequests(second), (std::vector<std::string>{"base.pkg", "data.pkg"}));
    EXPECT_FALSE(plat::FileExists(Installed("Bin\\notes")));
    EXPECT_TRUE(plat::FileExists(Installed("Bin\\trace.log")));
    EXPECT_NE(text.find("Load old update.xml\r\n"), std::string::npos);

    // Everything matches now: the client may run, nothing is fetched.
    testsupport::TestHttpServer third;
    ASSERT_TRUE(third.Start());
    third.ServeFile("/game/update.rxml", Published("update.rxml"));
    text = RunUpdate("<URL>" + third.Url("") + "</URL>");
    EXPECT_TRUE(PackageRequests(third).empty());
    EXPECT_NE(text.find("bCanRun = true\r\n"), std::string::npos) << text;
    EXPECT_EQ(StageChanges(text),
              (std::vector<std::string>{"idle -> manifest", "manifest -> check"}));
    EXPECT_NE(text.find("Launch step reached (the launch page)\r\n"), std::string::npos);
}

// The change actions after an update: a rename runs once and is recorded;
// a torn journal, which cannot say what ran before, runs none.
TEST_F(UpdateCycleTest, ActionsRunOnceAndATornJournalRunsNone) {
    Publish("[ignore]\nfile = Settings\\user.cfg\nfile = Settings\\settings.cfg\n");
    const std::string actions = "<ACTIONS><RENAME id='7' name='Settings\\user.cfg' "
                                "toname='Settings\\settings.cfg'/></ACTIONS>";
    testsupport::WriteTestFile(Installed("changes.dat"), std::string(10, '\1'));
    testsupport::WriteTestFile(Installed("Settings\\user.cfg"), "volume=7\n");
    std::string text = RunUpdate({}, {}, actions);
    ExpectClientInstalled();
    EXPECT_NE(text.find("changes.dat is damaged (10 bytes): taken as empty, no action is carried "
                        "out in this run\r\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(testsupport::ReadTestFile(Installed("Settings\\user.cfg")), "volume=7\n");
    EXPECT_FALSE(plat::FileExists(Installed("Settings\\settings.cfg")));
    EXPECT_EQ(testsupport::ReadTestFile(Installed("changes.dat")), std::string(10, '\1'));

    // A whole journal without the action: the rename runs and is recorded.
    testsupport::WriteTestFile(Installed("changes.dat"), std::string(16, '\0'));
    text = RunUpdate({}, {}, actions);
    EXPECT_EQ(testsupport::ReadTestFile(Installed("Settings\\settings.cfg")), "volume=7\n") << text;
    EXPECT_FALSE(plat::FileExists(Installed("Settings\\user.cfg")));
    const std::string recorded = std::string(16, '\0') + std::string("\x07\0\0\0", 4);
    EXPECT_EQ(testsupport::ReadTestFile(Installed("changes.dat")), recorded);

    // A new file of the old name later is the user's own: left alone.
    testsupport::WriteTestFile(Installed("Settings\\user.cfg"), "volume=3\n");
    text = RunUpdate({}, {}, actions);
    EXPECT_EQ(testsupport::ReadTestFile(Installed("Settings\\user.cfg")), "volume=3\n") << text;
    EXPECT_EQ(testsupport::ReadTestFile(Installed("Settings\\settings.cfg")), "volume=7\n");
    EXPECT_EQ(testsupport::ReadTestFile(Installed("changes.dat")), recorded);
}

TEST_F(UpdateCycleTest, BrokenConnectionResumesFromTheBytesThatArrived) {
    Publish();
    const std::string data = Published("data.pkg");
    const std::size_t cut = data.size() * 6 / 10;
    std::vector<std::string> ranges;
    server.On("/game/data.pkg", [&](const testsupport::ReceivedRequest& request) {
        ranges.push_back(request.Header("Range"));
        testsupport::Reply reply = RangeReply(request, data);
        if (ranges.size() == 1)
            reply.cutAfter = cut;
        return reply;
    });
    std::string text = RunUpdate();
    ExpectClientInstalled();
    ASSERT_EQ(ranges.size(), 2u) << text;
    // Each request asks from its offset for the remaining length: the range
    // ends at the file's last byte.
    EXPECT_EQ(ranges[0], "bytes=0-" + std::to_string(data.size() - 1));
    EXPECT_EQ(ranges[1], "bytes=" + std::to_string(cut) + "-" + std::to_string(data.size() - 1));
    EXPECT_NE(text.find("fireFilePartReceived() : bError\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("continue downloading attempt #1\r\n"), std::string::npos);
    EXPECT_NE(text.find("Network error, Request: data.pkg"), std::string::npos);
}

TEST_F(UpdateCycleTest, TemporaryFilesOfAnEarlierRunAreUsedOrDiscarded) {
    Publish();
    // data.pkg arrived whole before; base.pkg's file is longer than the
    // package, so it cannot be the package.
    testsupport::WriteTestFile(TempFileFor("data.pkg"), Published("data.pkg"));
    testsupport::WriteTestFile(TempFileFor("base.pkg"), Published("base.pkg") + "xx");
    std::string text = RunUpdate();
    ExpectClientInstalled();
    EXPECT_EQ(PackageRequests(server), (std::vector<std::string>{"base.pkg", "extra.pkg"}));
    EXPECT_NE(text.find("Add task for unpacker: data.pkg\r\n  .. from tmp file: "),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Add task for unpacker: base.pkg\r\n  .. from tmp file: "),
              std::string::npos);
    EXPECT_NE(text.find("    .. warning: crc or size is not correct, file will be added to "
                        "download queue\r\n"),
              std::string::npos);
    for (const auto& request : server.Requests()) {
        if (request.target.rfind("/game/base.pkg", 0) == 0) {
            EXPECT_EQ(request.Header("Range").rfind("bytes=0-", 0), 0u);
        }
    }
}

TEST_F(UpdateCycleTest, ResumedDownloadStartsTheBarAtItsShareOrAtZero) {
    Publish();
    const std::string data = Published("data.pkg");
    std::uint64_t total =
        Published("base.pkg").size() + data.size() + Published("extra.pkg").size();
    auto firstBar = [&] {
        for (const auto& entry : entries)
            if (entry.operation == "RefreshProgress")
                return entry.value;
        return std::int64_t{-1};
    };
    // Half of data.pkg is in "tmp" from an earlier run.
    testsupport::WriteTestFile(TempFileFor("data.pkg"), data.substr(0, data.size() / 2));
    RunUpdate();
    ExpectClientInstalled();
    EXPECT_EQ(firstBar(), static_cast<std::int64_t>(data.size() / 2 * 100 / total));

    testsupport::WriteTestFile(TempFileFor("data.pkg"), data.substr(0, data.size() / 2));
    testsupport::WriteTestFile(Installed("Data\\a.pak"), "damaged");
    testsupport::WriteTestFile(Installed("Bin\\game.exe"), "damaged");
    testsupport::WriteTestFile(Installed("Extra\\readme.txt"), "damaged");
    RunUpdate({}, {}, "<progressFromZero value='1'/>");
    ExpectClientInstalled();
    EXPECT_EQ(firstBar(), 0);
}

TEST_F(UpdateCycleTest, CorruptedPackageIsDeletedQueuedAgainAndReported) {
    Publish();
    std::string spoiled = Published("data.pkg");
    spoiled[spoiled.size() / 2] ^= 0x55;
    server.ServeFile("/game/data.pkg", spoiled);
    std::string text = RunUpdate();
    EXPECT_NE(text.find("    .. warning: crc or size is not correct"), std::string::npos) << text;
    EXPECT_TRUE(Shown("ShowMessageBox", -1, kBoxUpdateFailed));
    EXPECT_NE(text.find("text40\r\n"), std::string::npos);
    EXPECT_FALSE(plat::FileExists(TempFileFor("data.pkg")));
    EXPECT_FALSE(plat::FileExists(Installed("Data\\a.pak")));
}

TEST_F(UpdateCycleTest, FreeSpaceMustHoldTheWholeDownload) {
    Publish();
    std::uint64_t total =
        Published("base.pkg").size() + Published("data.pkg").size() + Published("extra.pkg").size();
    {
        testsupport::ScopedEnv space("LAUNCHER_FREE_SPACE", std::to_string(total - 1));
        std::string text = RunUpdate();
        EXPECT_TRUE(PackageRequests(server).empty());
        EXPECT_TRUE(Shown("ShowConfirm", 22, kBoxChooseAgain)) << text;
    }
    testsupport::ScopedEnv space("LAUNCHER_FREE_SPACE", std::to_string(total));
    RunUpdate();
    ExpectClientInstalled();
}

TEST_F(UpdateCycleTest, IncrementReplacesFullPackagesWhenCheaper) {
    Publish("[package patch.pkg]\ntype = increment\nfiles = Bin\\game.exe\n");
    RunUpdate();
    ExpectClientInstalled();
    testsupport::WriteTestFile(Installed("Bin\\game.exe"), "old build");
    testsupport::TestHttpServer second;
    ASSERT_TRUE(second.Start());
    for (const char* name : {"update.rxml", "base.pkg", "data.pkg", "extra.pkg", "patch.pkg"})
        second.ServeFile(std::string("/game/") + name, Published(name));
    RunUpdate("<URL>" + second.Url("") + "</URL>");
    ExpectClientInstalled();
    EXPECT_EQ(PackageRequests(second), (std::vector<std::string>{"patch.pkg"}));
}

TEST_F(UpdateCycleTest, BusyServerIsLeftAfterOneAttempt) {
    Publish();
    testsupport::TestHttpServer busy;
    ASSERT_TRUE(busy.Start());
    busy.ServeFile("/game/update.rxml", Published("update.rxml"));
    for (const char* name : {"/game/base.pkg", "/game/data.pkg", "/game/extra.pkg"})
        busy.On(name, testsupport::Reply::Text(503, "busy"));
    std::string text =
        RunUpdate("<URL>" + busy.Url("") + "</URL><URL>" + server.Url("") + "</URL>");
    ExpectClientInstalled();
    EXPECT_EQ(PackageRequests(busy), (std::vector<std::string>{"base.pkg"}));
    EXPECT_EQ(PackageRequests(server),
              (std::vector<std::string>{"base.pkg", "data.pkg", "extra.pkg"}));
    EXPECT_NE(text.find("attempts run out\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("continue downloading attempt #2"), std::string::npos);
}

// The manifest with data.pkg announced as `bytes`.
std::string ReplacedPackage(const std::string& manifest, const std::string& bytes) {
    std::size_t pack = manifest.find("file=\"data.pkg\"");
    std::size_t end = manifest.find('>', pack);
    std::string xml = manifest.substr(0, pack) + "file=\"data.pkg\" crc=\"" +
                      std::to_string(base::Crc32(bytes.data(), bytes.size())) + "\" size=\"" +
                      std::to_string(bytes.size()) + "\"" + manifest.substr(end);
    return xml;
}

TEST_F(UpdateCycleTest, UnpackFailuresShowThePackageOrTheFileError) {
    Publish();
    // A package that is no archive: the unpacker's failure, string 19.
    const std::string garbage = testsupport::NoiseBytes(5000, 9);
    server.ServeFile("/game/update.rxml",
                     PackedManifest(ReplacedPackage(Published("update.xml"), garbage)));
    server.ServeFile("/game/data.pkg", garbage);
    std::string text = RunUpdate();
    EXPECT_NE(text.find("Finish unpack thread .. Fail\r\n"), std::string::npos) << text;
    EXPECT_TRUE(Shown("ShowConfirm", 19, kBoxFatal));

    // A file that cannot be written (a folder stands in its place): the file
    // error names it with the system's code.
    testsupport::TestHttpServer second;
    ASSERT_TRUE(second.Start());
    for (const char* name : {"update.rxml", "base.pkg", "data.pkg", "extra.pkg"})
        second.ServeFile(std::string("/game/") + name, Published(name));
    ASSERT_TRUE(plat::DeleteFolderTree(installDir.File(L"Data")));
    ASSERT_TRUE(plat::CreateDirectoryTree(Installed("Data\\a.pak\\inner")));
    text = RunUpdate("<URL>" + second.Url("") + "</URL>");
    // The strings of the test language take no name; the code and the
    // system's text follow them.
    bool shown = false;
    for (const auto& entry : entries) {
        if (entry.operation == "ShowMessageBox" && entry.value == kBoxFatal &&
            entry.text.rfind(L"text20\ntext39\ntext6: ", 0) == 0 &&
            entry.text.find(L"\ntext7:\n") != std::wstring::npos)
            shown = true;
    }
    EXPECT_TRUE(shown) << text;
    EXPECT_NE(text.find("a.pak"), std::string::npos);
}

TEST_F(UpdateCycleTest, AllServersFailingRefreshesTheServerDataAndResumesTheDownload) {
    Publish();
    testsupport::TestHttpServer busy, data, fresh;
    for (auto* other : {&busy, &data, &fresh})
        ASSERT_TRUE(other->Start());
    busy.ServeFile("/game/update.rxml", Published("update.rxml"));
    busy.On("/game/base.pkg", testsupport::Reply::Text(503, "busy"));
    data.On("/cud.xml",
            testsupport::Reply::Text(200, "<ClientUpdateData><Face id='game'><LoginURLs><URL>" +
                                              fresh.Url("") +
                                              "</URL></LoginURLs></Face></ClientUpdateData>"));
    for (const char* name : {"base.pkg", "data.pkg", "extra.pkg"})
        fresh.ServeFile(std::string("/game/") + name, Published(name));
    std::string text =
        RunUpdate("<URL>" + busy.Url("") + "</URL>", "<URL>" + data.Url("/cud.xml") + "</URL>");
    ExpectClientInstalled();
    EXPECT_EQ(PackageRequests(busy), (std::vector<std::string>{"base.pkg"}));
    EXPECT_EQ(data.RequestCount(), 1u);
    EXPECT_EQ(PackageRequests(fresh),
              (std::vector<std::string>{"base.pkg", "data.pkg", "extra.pkg"}));
    EXPECT_NE(text.find("list depleted"), std::string::npos) << text;
}

// When every server failed, the user may type an address: it becomes the
// server and the download resumes there. A typed address that fails is
// reported and forgotten and the user asked again; no server data is fetched
// while it is in use, so it never joins the login list.
TEST_F(UpdateCycleTest, ATypedServerAddressResumesTheDownloadAndOneThatFailsIsForgotten) {
    Publish();
    testsupport::TestHttpServer busy, dead, data, fresh;
    for (auto* other : {&busy, &dead, &data, &fresh})
        ASSERT_TRUE(other->Start());
    busy.ServeFile("/game/update.rxml", Published("update.rxml"));
    busy.On("/game/base.pkg", testsupport::Reply::Text(503, "busy"));
    dead.On("/game/base.pkg", testsupport::Reply::Text(503, "busy"));
    // The data brings nothing new: the same single server.
    data.On("/cud.xml",
            testsupport::Reply::Text(200, "<ClientUpdateData><Face id='game'><LoginURLs><URL>" +
                                              busy.Url("") +
                                              "</URL></LoginURLs></Face></ClientUpdateData>"));
    for (const char* name : {"base.pkg", "data.pkg", "extra.pkg"})
        fresh.ServeFile(std::string("/game/") + name, Published(name));
    askLoginUrl = true;
    const std::string deadUrl = dead.Url("");
    typedAddresses = {plat::Utf8ToWide(deadUrl), L"  " + plat::Utf8ToWide(fresh.Url("")) + L"\n"};
    std::string text =
        RunUpdate("<URL>" + busy.Url("") + "</URL>", "<URL>" + data.Url("/cud.xml") + "</URL>");
    ExpectClientInstalled();
    EXPECT_TRUE(typedAddresses.empty()) << text;
    EXPECT_EQ(PackageRequests(dead), (std::vector<std::string>{"base.pkg"}));
    EXPECT_EQ(PackageRequests(fresh),
              (std::vector<std::string>{"base.pkg", "data.pkg", "extra.pkg"}));
    EXPECT_EQ(data.RequestCount(), 1u) << text;
    EXPECT_NE(text.find("The server address typed has failed: " + deadUrl), std::string::npos)
        << text;
    EXPECT_EQ(text.find("Accepting custom server URL"), std::string::npos) << text;
    int boxes = 0;
    for (const auto& entry : entries)
        boxes += entry.operation == "ShowMessageBox" && entry.value == kBoxServerAddress;
    EXPECT_EQ(boxes, 2) << text;
}

// An address the selection refuses (empty, or a configured one that failed)
// brings the box back as an error whose Retry asks again.
TEST_F(UpdateCycleTest, ARefusedServerAddressIsAskedForAgain) {
    Publish();
    testsupport::TestHttpServer busy;
    ASSERT_TRUE(busy.Start());
    busy.ServeFile("/game/update.rxml", Published("update.rxml"));
    busy.On("/game/base.pkg", testsupport::Reply::Text(503, "busy"));
    askLoginUrl = true;
    typedAddresses = {plat::Utf8ToWide(busy.Url(""))};
    int retries = 0;
    boxHook = [&](CLogic& logic, int context) {
        if (context != kBoxServerAddress || retries++ > 0)
            return false;
        return plat::PostMessage(logic.DialogWindow(), CDialog::kCommandMessage,
                                 logic::kBtnMboxRetry, 0);
    };
    std::string text = RunUpdate("<URL>" + busy.Url("") + "</URL>");
    EXPECT_EQ(retries, 2) << text;
    // The entry, the error after the refusal, the entry again.
    int boxes = 0;
    for (const auto& entry : entries)
        boxes += entry.operation == "ShowMessageBox" && entry.value == kBoxServerAddress;
    EXPECT_EQ(boxes, 3) << text;
    EXPECT_NE(text.find("URL already exist"), std::string::npos) << text;
}

TEST_F(UpdateCycleTest, FailurePageOfTheDownloadRetriesTheDownload) {
    Publish();
    // The only server is busy once for base.pkg. With no other server and no
    // data-update address the run ends on the download's failure page, whose
    // Retry goes back to the download.
    const std::string base = Published("base.pkg");
    std::atomic<int> answers{0};
    server.On("/game/base.pkg", [&](const testsupport::ReceivedRequest& request) {
        return ++answers == 1 ? testsupport::Reply::Text(503, "busy") : RangeReply(request, base);
    });
    RetryOnce(kBoxUpdateFailed);
    std::string text = RunUpdate();
    ExpectClientInstalled();
    EXPECT_EQ(retries, 1) << text;
    EXPECT_EQ(PackageRequests(server),
              (std::vector<std::string>{"base.pkg", "base.pkg", "data.pkg", "extra.pkg"}));
    EXPECT_TRUE(Shown("ShowMessageBox", -1, kBoxUpdateFailed));
    std::size_t runOut = text.find("attempts run out\r\n");
    ASSERT_NE(runOut, std::string::npos) << text;
    EXPECT_NE(text.find("ID_MBOX_BTN_RETRY\r\ncontinue downloading attempt #1\r\n", runOut),
              std::string::npos)
        << text;
    EXPECT_EQ(StageChanges(text).back(), "unpack -> after download");
}

TEST_F(UpdateCycleTest, FailurePageOfTheManifestRetriesTheManifest) {
    Publish();
    std::atomic<int> answers{0};
    const std::string manifest = Published("update.rxml");
    server.On("/game/update.rxml", [&](const testsupport::ReceivedRequest&) {
        return ++answers == 1 ? testsupport::Reply::Text(503, "busy")
                              : testsupport::Reply::Text(200, manifest);
    });
    RetryOnce(kBoxManifestFailed);
    std::string text = RunUpdate();
    ExpectClientInstalled();
    EXPECT_EQ(retries, 1) << text;
    EXPECT_EQ(answers.load(), 2);
    EXPECT_TRUE(Shown("ShowMessageBox", -1, kBoxManifestFailed));
    EXPECT_NE(text.find("ID_MBOX_BTN_RETRY\r\n"), std::string::npos);
}

// A maintenance answer with an English block and no end time.
const char kMaintenancePage[] = "<html><body><div id='en'><p class='title'>Maintenance</p>"
                                "<p class='line1'>Back soon.</p></div></body></html>";

// The maintenance texts the run stored or showed, in order.
std::vector<std::wstring> NoticesShown(const std::vector<CRecordingWizardView::Entry>& entries) {
    std::vector<std::wstring> texts;
    for (const auto& entry : entries) {
        if ((entry.operation == "ShowNetworkError" || entry.operation == "ShowMessageBox") &&
            entry.text.find(L"Back soon.") != std::wstring::npos)
            texts.push_back(entry.text);
    }
    return texts;
}

TEST_F(UpdateCycleTest, MaintenanceNoticeIsWrittenForTheLocaleOfTheLanguage) {
    Publish();
    // The language entry's own number is not a locale identifier: the
    // notice follows the locale its name gives (en-US).
    localeName = "en-US";
    localeId = "7";
    server.On("/game/update.rxml", testsupport::Reply::Text(503, kMaintenancePage));
    std::string text = RunUpdate();
    std::vector<std::wstring> notices = NoticesShown(entries);
    ASSERT_FALSE(notices.empty()) << text;
    EXPECT_EQ(notices[0], L"Back soon.\n\ntext33");
}

TEST_F(UpdateCycleTest, MaintenanceNoticeStaysOnTheLastBoxWhenTheServerDataCannotBeHad) {
    Publish();
    localeName = "en-US";
    localeId = "1033";
    server.On("/game/update.rxml", testsupport::Reply::Text(503, kMaintenancePage));
    // The data-update address cannot be reached either.
    std::string text = RunUpdate({}, "<URL>http://127.0.0.1:1/cud.xml</URL>");
    EXPECT_NE(text.find("net error CUD file"), std::string::npos) << text;
    // The failure page at the end still tells of the maintenance.
    const CRecordingWizardView::Entry* last = nullptr;
    for (const auto& entry : entries) {
        if (entry.operation == "ShowMessageBox")
            last = &entry;
    }
    ASSERT_NE(last, nullptr) << text;
    EXPECT_EQ(last->value, kBoxManifestFailed);
    EXPECT_EQ(last->text, L"Back soon.\n\ntext33");
}

TEST_F(UpdateCycleTest, AttemptsStartOverAfterARequestSucceeds) {
    Publish();
    // The manifest comes on the sixth attempt; the first failure of a
    // package after it is a first failure on this server, not the last.
    testsupport::TestHttpServer spare;
    ASSERT_TRUE(spare.Start());
    for (const char* name : {"update.rxml", "base.pkg", "data.pkg", "extra.pkg"})
        spare.ServeFile(std::string("/game/") + name, Published(name));
    const std::string manifest = Published("update.rxml");
    const std::string base = Published("base.pkg");
    std::atomic<int> manifestAnswers{0}, baseAnswers{0};
    server.On("/game/update.rxml", [&](const testsupport::ReceivedRequest&) {
        return ++manifestAnswers <= 5 ? testsupport::Reply::Text(500, "failing")
                                      : testsupport::Reply::Text(200, manifest);
    });
    server.On("/game/base.pkg", [&](const testsupport::ReceivedRequest& request) {
        return ++baseAnswers == 1 ? testsupport::Reply::Text(500, "failing")
                                  : RangeReply(request, base);
    });
    std::string text =
        RunUpdate("<URL>" + server.Url("") + "</URL><URL>" + spare.Url("") + "</URL>");
    ExpectClientInstalled();
    EXPECT_EQ(manifestAnswers.load(), 6) << text;
    EXPECT_EQ(PackageRequests(server),
              (std::vector<std::string>{"base.pkg", "base.pkg", "data.pkg", "extra.pkg"}))
        << text;
    EXPECT_TRUE(PackageRequests(spare).empty()) << text;
}

// A server that cannot resume answers the range of a half-downloaded
// package with the whole file: the package starts again from byte 0 with
// that answer, and the run completes.
TEST_F(UpdateCycleTest, AServerThatIgnoresRangesStillCompletesAResumedPackage) {
    Publish();
    const std::string data = Published("data.pkg");
    testsupport::WriteTestFile(TempFileFor("data.pkg"), data.substr(0, data.size() / 2));
    std::vector<std::string> ranges;
    server.On("/game/data.pkg", [&](const testsupport::ReceivedRequest& request) {
        ranges.push_back(request.Header("Range"));
        return testsupport::Reply::Text(200, data);
    });
    std::string text = RunUpdate();
    ExpectClientInstalled();
    ASSERT_EQ(ranges.size(), 1u) << text;
    EXPECT_EQ(ranges[0],
              "bytes=" + std::to_string(data.size() / 2) + "-" + std::to_string(data.size() - 1));
    EXPECT_NE(text.find("Server sent the whole file for a range from " +
                        std::to_string(data.size() / 2) +
                        " on: data.pkg starts again from byte 0\r\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("attempts run out"), std::string::npos);
}

// A 206 for another range is no answer to the asked one: nothing of it is
// kept, it counts as an attempt, and the range is asked for again.
TEST_F(UpdateCycleTest, PartialContentOfAnotherRangeIsAskedForAgain) {
    Publish();
    const std::string data = Published("data.pkg");
    int answers = 0;
    server.On("/game/data.pkg", [&](const testsupport::ReceivedRequest& request) {
        if (answers++ > 0)
            return RangeReply(request, data);
        testsupport::Reply wrong = testsupport::Reply::Text(206, data.substr(10));
        wrong.headers.push_back({"Content-Range", "bytes 10-" + std::to_string(data.size() - 1) +
                                                      "/" + std::to_string(data.size())});
        return wrong;
    });
    std::string text = RunUpdate();
    ExpectClientInstalled();
    EXPECT_EQ(answers, 2);
    EXPECT_NE(text.find("fireFilePartReceived() : answer is not the asked range\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Server answer is unexpected: data.pkg"), std::string::npos);
    EXPECT_NE(text.find("continue downloading attempt #1\r\n"), std::string::npos);
}

// A manifest past the documents' bound is refused before it is held: as a
// body (100 MB) or unpacked from a small archive (10^6 entries). The
// launcher lives, tells the failure and writes no giant log.
TEST_F(UpdateCycleTest, ManifestsPastTheBoundAreRefused) {
    Publish();
    std::string manifest = "<?xml version=\"1.0\"?>\n<update clientVersion=\"1.0.0\">\n";
    for (int i = 0; i < 1000000; ++i)
        manifest += "<file name=\"Data\\f" + std::to_string(i) +
                    ".pak\" crc=\"0\" size=\"1\" package=\"data.pkg\"/>\n";
    manifest += "</update>\n";
    ASSERT_GT(manifest.size(), 16u << 20);
    testsupport::ZipWriter zip;
    zip.Add("update.xml", manifest);
    std::string packed = zip.Finish();
    ASSERT_LT(packed.size(), 16u << 20);
    manifest.clear();
    server.On("/game/update.rxml", testsupport::Reply::Text(200, packed));
    std::string text = RunUpdate();
    EXPECT_NE(text.find("update.rxml Received"), std::string::npos) << text.substr(0, 4000);
    EXPECT_EQ(text.find("--- start Update.xml ---"), std::string::npos);
    EXPECT_LT(text.size(), 1u << 20);
    EXPECT_FALSE(plat::FileExists(Installed("Data\\a.pak")));

    // The same bound from config.xml, for a body that is too long as sent.
    server.On("/game/update.rxml", testsupport::Reply::Text(200, std::string(2u << 20, 'x')));
    text = RunUpdate({}, {}, "<network><documentLimit bytes='1048576'/></network>");
    EXPECT_NE(text.find("System error code: 122"), std::string::npos) << text.substr(0, 4000);
    EXPECT_EQ(text.find("update.rxml Received"), std::string::npos);
}

class SignedReleaseTest : public UpdateCycleTest {
protected:
    void SetUp() override {
        UpdateCycleTest::SetUp();
        ASSERT_TRUE(config::GenerateEd25519(&secret, &key));
        signingKey = secret;
    }
    std::string KeyConfig(const config::Ed25519PublicKey& with) const {
        return "<network><releaseKey ed25519='" + config::ToHex(with) + "'/></network>";
    }
    // A run of a launcher that holds the key.
    std::string RunSigned() { return RunUpdate({}, {}, KeyConfig(key)); }
    // Serves this packed manifest instead of the published one.
    void ServeManifest(const std::string& packed) { server.ServeFile("/game/update.rxml", packed); }
    static std::string Packed(const std::string& xml, const std::string& signature) {
        testsupport::ZipWriter zip;
        zip.Add("update.xml", xml);
        if (!signature.empty())
            zip.Add("update.xml.sig", signature);
        return zip.Finish();
    }

    config::Ed25519PrivateKey secret{};
    config::Ed25519PublicKey key{};
};

TEST_F(SignedReleaseTest, ASignedReleaseInstallsAndRefusedManifestsChangeNothing) {
    Publish();
    const std::string firstPacked = Published("update.rxml");
    std::string text = RunSigned();
    ExpectClientInstalled();
    EXPECT_NE(text.find("Manifest signature OK, release "), std::string::npos) << text;
    const std::string firstSequence = testsupport::ReadTestFile(Installed("update.seq"));
    EXPECT_FALSE(firstSequence.empty());

    // Each refused manifest: no package is asked for, the missing file stays
    // missing, and the log says why.
    const std::string xml = Published("update.xml");
    const std::string signature = Published("update.xml.sig");
    auto refused = [&](const std::string& packed, const std::string& publicKeyConfig,
                       const char* why) {
        plat::DeleteFile(Installed("Data\\b.pak"));
        ServeManifest(packed);
        const std::size_t before = PackageRequests(server).size();
        std::string log = RunUpdate({}, {}, publicKeyConfig);
        EXPECT_NE(log.find(std::string("Manifest refused: ") + why + "\r\n"), std::string::npos)
            << why << "\n"
            << log;
        EXPECT_NE(log.find("Server answer is unexpected: update.rxml"), std::string::npos) << log;
        EXPECT_EQ(PackageRequests(server).size(), before) << why;
        EXPECT_FALSE(plat::FileExists(Installed("Data\\b.pak"))) << why;
    };
    std::string tampered = xml;
    tampered.replace(tampered.find("clientVersion=\"1.0.0\""), 21, "clientVersion=\"1.0.1\"");
    refused(Packed(tampered, signature), KeyConfig(key), "signature does not match");
    refused(Packed(xml, ""), KeyConfig(key), "not signed");
    config::Ed25519PrivateKey otherSecret{};
    config::Ed25519PublicKey otherKey{};
    ASSERT_TRUE(config::GenerateEd25519(&otherSecret, &otherKey));
    refused(firstPacked, KeyConfig(otherKey), "signature does not match");
    refused(firstPacked, "<network><releaseKey ed25519='1234'/></network>",
            "signature does not match");

    // A newer release repairs; the older one is refused from then on.
    Publish();
    ServeManifest(Published("update.rxml"));
    text = RunSigned();
    ExpectClientInstalled();
    EXPECT_GT(std::stoull(testsupport::ReadTestFile(Installed("update.seq"))),
              std::stoull(firstSequence));
    refused(firstPacked, KeyConfig(key), "older than the release accepted before");

    // A release whose time has passed.
    signingNow = 1000000000; // 2001
    Publish();
    refused(Published("update.rxml"), KeyConfig(key), "expired");

    // A launcher without a key reads a signed release as any other.
    Publish();
    signingNow = 0;
    text = RunUpdate();
    ExpectClientInstalled();
}

// A package whose bytes fit the manifest's CRC-32 and size but not its
// SHA-256 is treated as a damaged one: deleted, reported, never unpacked.
TEST_F(SignedReleaseTest, APackageMatchingItsCrcButNotItsSha256IsRefused) {
    Publish();
    const std::string forged = testsupport::SameCrcOtherBytes(Published("data.pkg"));
    ASSERT_NE(forged, Published("data.pkg"));
    ASSERT_EQ(base::Crc32(forged.data(), forged.size(), 0),
              base::Crc32(Published("data.pkg").data(), forged.size(), 0));
    server.ServeFile("/game/data.pkg", forged);
    std::string text = RunSigned();
    EXPECT_NE(text.find("    .. warning: crc or size is not correct"), std::string::npos) << text;
    EXPECT_TRUE(Shown("ShowMessageBox", -1, kBoxUpdateFailed));
    EXPECT_FALSE(plat::FileExists(TempFileFor("data.pkg")));
    EXPECT_FALSE(plat::FileExists(Installed("Data\\a.pak")));
}

} // namespace
