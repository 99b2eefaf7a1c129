// The request each download operation puts on the wire, checked where it
// arrives, and the context the downloader keeps per server.

#include "DownloaderTestSupport.h"

#include "platform/Time.h"

#include <cstdlib>

namespace {

using dltest::DownloaderTest;
using testsupport::Reply;

TEST_F(DownloaderTest, ClientUpdateDataAndLicenseRequests) {
    server_.On("/cud/data.xml", Reply::Text(200, "<cud/>"));
    server_.On("/lic/license.xml", Reply::Text(200, "<license/>"));
    downloader_->SetLanguage("de");

    ASSERT_TRUE(
        downloader_->DownloadCUDFile(server_.Url("/cud/data.xml?id=7"), "X-Client: 42\r\n"));
    EXPECT_EQ(downloader_->CurrentKind(), NetEx::kDownloadCUDFile);
    ASSERT_TRUE(AwaitResults(1));
    ASSERT_TRUE(downloader_->DownloadLicense("/lic/license.xml"));
    ASSERT_TRUE(AwaitResults(2));

    auto requests = server_.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].requestLine, "GET /cud/data.xml?id=7 HTTP/1.1");
    EXPECT_EQ(requests[0].Header("Accept"), "application/xml");
    EXPECT_EQ(requests[0].Header("X-Client"), "42");
    EXPECT_FALSE(requests[0].HasHeader("Range"));
    EXPECT_EQ(requests[1].requestLine, "GET /lic/license.xml?LANG=de HTTP/1.1");
    EXPECT_EQ(requests[1].Header("Accept"), "application/xml");
    EXPECT_EQ(requests[1].Header("Accept-Encoding"), "gzip, deflate");
    EXPECT_FALSE(requests[1].HasHeader("X-Client"));

    ASSERT_EQ(notify_.Results(), (std::vector<std::string>{"cud", "license"}));
    EXPECT_EQ(notify_.events[0].body, "<cud/>");
    EXPECT_EQ(notify_.events[1].body, "<license/>");
    EXPECT_EQ(downloader_->CurrentKind(), 0u);
    EXPECT_NE(LogText().find("CDownloader::DownloadLicense: /lic/license.xml"), std::string::npos);
}

TEST_F(DownloaderTest, ManifestRequestsCarryTheCurrentTimeAsArgument) {
    server_.On("/upd/update.rxml", Reply::Text(200, "manifest"));
    std::int64_t before = plat::GetUtcMs();
    ASSERT_TRUE(downloader_->DownloadUpdateXml("/upd/update.rxml"));
    ASSERT_TRUE(AwaitResults(1));
    ASSERT_TRUE(downloader_->DownloadUpdateXml("/upd/update.rxml"));
    ASSERT_TRUE(AwaitResults(2));
    std::int64_t after = plat::GetUtcMs();

    auto requests = server_.Requests();
    ASSERT_EQ(requests.size(), 2u);
    std::vector<std::string> stamps;
    for (const auto& request : requests) {
        EXPECT_EQ(request.method, "GET");
        EXPECT_EQ(request.Header("Accept"), "application/xml");
        EXPECT_FALSE(request.HasHeader("Range"));
        std::string prefix = "/upd/update.rxml?";
        ASSERT_EQ(request.target.compare(0, prefix.size(), prefix), 0) << request.target;
        std::string stamp = request.target.substr(prefix.size());
        ASSERT_TRUE(!stamp.empty() && stamp.find_first_not_of("0123456789") == std::string::npos);
        std::int64_t ms = std::strtoll(stamp.c_str(), nullptr, 10);
        EXPECT_GE(ms, before);
        EXPECT_LE(ms, after);
        stamps.push_back(stamp);
    }
    EXPECT_NE(stamps[0], stamps[1]);
    EXPECT_EQ(notify_.Results(), (std::vector<std::string>{"xml", "xml"}));
    EXPECT_NE(LogText().find("CDownloader::DownloadUpdateXml: " + server_.Url("/upd/update.rxml?") +
                             stamps[1]),
              std::string::npos);
}

TEST_F(DownloaderTest, UpdateRangesWithAndWithoutClientVersion) {
    std::string content(4000, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>('a' + i % 26);
    server_.ServeFile("/files/pkg.zip", content);

    ASSERT_TRUE(Update("/files/pkg.zip", 100, 0, content.size(), content.substr(0, 100)));
    ASSERT_TRUE(AwaitResults(1));
    std::shared_ptr<nettest::MemorySink> first = sink_;
    downloader_->SetClientVersion("1.0.5");
    ASSERT_TRUE(Update("/files/pkg.zip", 10, 20, content.size(), content.substr(0, 10)));
    ASSERT_TRUE(AwaitResults(2));

    auto requests = server_.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].requestLine, "GET /files/pkg.zip HTTP/1.1");
    EXPECT_EQ(requests[0].Header("Range"), "bytes=100-");
    EXPECT_EQ(requests[0].Header("Accept"), "application/xml");
    EXPECT_EQ(requests[1].requestLine, "GET /files/pkg.zip?1.0.5 HTTP/1.1");
    // Twenty bytes from 10: the last one asked for is byte 29.
    EXPECT_EQ(requests[1].Header("Range"), "bytes=10-29");

    ASSERT_EQ(notify_.Results(), (std::vector<std::string>{"part", "part"}));
    std::vector<dltest::Event> parts;
    for (const auto& event : notify_.events) {
        if (event.name == "part")
            parts.push_back(event);
    }
    EXPECT_EQ(first->content, content);
    EXPECT_EQ(parts[0].a, 3900);
    EXPECT_FALSE(parts[0].flag);
    EXPECT_FALSE(parts[0].unexpected);
    EXPECT_EQ(sink_->content, content.substr(0, 30));
    EXPECT_EQ(parts[1].a, 20);
    EXPECT_EQ(first->ended, 1);
    EXPECT_NE(LogText().find("CDownloader::DownloadUpdate: " + server_.Url("/files/pkg.zip?1.0.5") +
                             " (begin: 10, length: 20)"),
              std::string::npos);
}

// The body goes to the sink read by read: the request never holds it.
TEST_F(DownloaderTest, UpdateProgressReachesTheNotifyBeforeThePart) {
    Reply reply = Reply::Text(200, std::string(256 * 1024, 'x'));
    reply.trickleBytes = 16 * 1024;
    reply.trickleMs = 5;
    server_.On("/files/big.zip", reply);
    ASSERT_TRUE(Update("/files/big.zip", 0, 0));
    ASSERT_TRUE(AwaitResults(1));
    std::int64_t reported = 0;
    for (std::size_t i = 0; i + 1 < notify_.events.size(); ++i) {
        ASSERT_EQ(notify_.events[i].name, "progress");
        EXPECT_TRUE(notify_.events[i].flag);
        reported += notify_.events[i].a;
    }
    EXPECT_GT(reported, 0);
    EXPECT_LE(reported, 256 * 1024);
    EXPECT_EQ(notify_.events.back().a, 256 * 1024);
    EXPECT_EQ(sink_->content, std::string(256 * 1024, 'x'));
    EXPECT_LT(sink_->largestWrite, 256u * 1024u);
}

TEST_F(DownloaderTest, RefusedCallsSendNothing) {
    downloader_->SetNotify(nullptr);
    EXPECT_FALSE(downloader_->DownloadUpdateXml("/upd/update.xml"));
    EXPECT_EQ(downloader_->CurrentKind(), NetEx::kDownloadUpdateXml);
    downloader_->SetNotify(&notify_);
    EXPECT_FALSE(downloader_->DownloadLicense(""));
    EXPECT_FALSE(downloader_->DownloadCUDFile("", ""));
    EXPECT_FALSE(downloader_->DownloadKB(""));
    EXPECT_EQ(downloader_->CurrentKind(), NetEx::kDownloadKB);
    // An update range needs a sink to write to.
    EXPECT_FALSE(downloader_->DownloadUpdate("/files/a.zip", 0, 0, nullptr));
    downloader_->SetServer("ftp://127.0.0.1:21");
    EXPECT_FALSE(Update("/files/a.zip", 0, 0));
    EXPECT_TRUE(downloader_->ConnectedServer().empty());
    EXPECT_EQ(server_.RequestCount(), 0u);
    EXPECT_TRUE(notify_.events.empty());
}

TEST_F(DownloaderTest, ContextFollowsTheServerAndIsReusedForTheSameOne) {
    testsupport::TestHttpServer other;
    ASSERT_TRUE(other.Start());
    server_.On("/a.xml", Reply::Text(200, "first"));
    other.On("/a.xml", Reply::Text(200, "second"));

    ASSERT_TRUE(downloader_->DownloadUpdateXml("/a.xml"));
    ASSERT_TRUE(AwaitResults(1));
    EXPECT_EQ(downloader_->ConnectedServer(), server_.Url(""));
    EXPECT_TRUE(downloader_->ConnectServer(server_.Url("")));
    ASSERT_TRUE(downloader_->DownloadUpdateXml("/a.xml"));
    ASSERT_TRUE(AwaitResults(2));
    downloader_->SetServer(other.Url(""));
    ASSERT_TRUE(downloader_->DownloadUpdateXml("/a.xml"));
    ASSERT_TRUE(AwaitResults(3));

    EXPECT_EQ(downloader_->ConnectedServer(), other.Url(""));
    EXPECT_EQ(server_.RequestCount(), 2u);
    EXPECT_EQ(other.RequestCount(), 1u);
    std::vector<std::string> bodies;
    for (const auto& event : notify_.events)
        bodies.push_back(event.body);
    EXPECT_EQ(bodies, (std::vector<std::string>{"first", "first", "second"}));
}

// The transport cannot start a request whose context is gone: the report
// comes through the window like any other.
TEST_F(DownloaderTest, RequestWithoutContextReportsStatus404) {
    ASSERT_TRUE(downloader_->ConnectServer(server_.Url("")));
    ASSERT_TRUE(downloader_->PostDestroyContext(NetEx::CDownloader::kContextId));
    ASSERT_TRUE(Update("/files/a.zip", 0, 0));
    ASSERT_TRUE(AwaitResults(1));
    ASSERT_EQ(notify_.Results(), (std::vector<std::string>{"error"}));
    EXPECT_EQ(notify_.events[0].a, NetEx::kDownloadUpdate);
    EXPECT_EQ(notify_.events[0].b, 0);
    EXPECT_EQ(notify_.events[0].c, 404);
    EXPECT_EQ(downloader_->CurrentKind(), 0u);
    EXPECT_EQ(server_.RequestCount(), 0u);
    // The context is gone: the next request makes it again.
    EXPECT_TRUE(downloader_->ConnectedServer().empty());
}

} // namespace
