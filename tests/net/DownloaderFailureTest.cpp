// Redirects, failed requests and the KB size probe as the notify side sees
// them.

#include "DownloaderTestSupport.h"

#include "base/Strings.h"

namespace {

using dltest::DownloaderTest;
using nettest::Pattern;
using testsupport::ReceivedRequest;
using testsupport::Reply;

// The second hop moves to another server, and the context with it.
TEST_F(DownloaderTest, TwoRedirectsAreFollowedWithTheSameRange) {
    testsupport::TestHttpServer other;
    ASSERT_TRUE(other.Start());
    server_.On("/r1", Reply::Redirect(302, server_.Url("/r2")));
    server_.On("/r2", Reply::Redirect(301, other.Url("/files/pkg.zip")));
    other.ServeFile("/files/pkg.zip", Pattern(1000));
    downloader_->SetClientVersion("2.1");
    ASSERT_TRUE(Update("/r1", 200, 100, 1000, Pattern(200)));
    ASSERT_TRUE(AwaitResults(1));

    auto requests = server_.Requests();
    ASSERT_EQ(requests.size(), 2u);
    requests.push_back(other.Requests().at(0));
    EXPECT_EQ(requests[0].target, "/r1?2.1");
    EXPECT_EQ(requests[1].target, "/r2");
    EXPECT_EQ(requests[2].target, "/files/pkg.zip");
    EXPECT_EQ(downloader_->ConnectedServer(), other.Url(""));
    for (const auto& request : requests) {
        EXPECT_EQ(request.method, "GET");
        EXPECT_EQ(request.Header("Range"), "bytes=200-299");
        EXPECT_EQ(request.Header("Accept"), "application/xml");
    }
    ASSERT_EQ(notify_.Results(), (std::vector<std::string>{"part"}));
    EXPECT_EQ(sink_->content, Pattern(1000).substr(0, 300));
    EXPECT_EQ(notify_.Last("part")->a, 100);
    EXPECT_FALSE(notify_.Last("part")->flag);
    // Only the answer that carried the bytes began a body.
    EXPECT_EQ(sink_->begun, 1);
}

TEST_F(DownloaderTest, ThirdRedirectOrOneWithoutLocationFails) {
    server_.On("/s1", Reply::Redirect(302, server_.Url("/s2")));
    server_.On("/s2", Reply::Redirect(302, server_.Url("/s3")));
    server_.On("/s3", Reply::Redirect(307, server_.Url("/s4")));
    server_.On("/s4", Reply::Text(200, "never"));
    server_.On("/bare", Reply::Text(302, ""));

    ASSERT_TRUE(downloader_->DownloadUpdateXml("/s1"));
    ASSERT_TRUE(AwaitResults(1));
    ASSERT_TRUE(downloader_->DownloadLicense("/bare"));
    ASSERT_TRUE(AwaitResults(2));

    ASSERT_EQ(notify_.Results(), (std::vector<std::string>{"error", "error"}));
    EXPECT_EQ(notify_.events[0].a, NetEx::kDownloadUpdateXml);
    EXPECT_EQ(notify_.events[0].b, 0);
    EXPECT_EQ(notify_.events[0].c, 307);
    EXPECT_EQ(notify_.events[1].a, NetEx::kDownloadLicense);
    EXPECT_EQ(notify_.events[1].c, 302);
    EXPECT_EQ(server_.RequestCount(), 4u);
    for (const auto& request : server_.Requests())
        EXPECT_NE(request.target, "/s4");
}

TEST_F(DownloaderTest, ErrorStatusesCarryTheBodyOnlyFor502And503) {
    server_.On("/upd/update.rxml", Reply::Text(503, "<maintenance end=\"1700000000\"/>"));
    server_.On("/lic/license.xml", Reply::Text(502, "bad gateway text"));
    server_.On("/cud.xml", Reply::Text(500, "internal"));

    ASSERT_TRUE(downloader_->DownloadUpdateXml("/upd/update.rxml"));
    ASSERT_TRUE(AwaitResults(1));
    ASSERT_TRUE(downloader_->DownloadLicense("/lic/license.xml"));
    ASSERT_TRUE(AwaitResults(2));
    ASSERT_TRUE(downloader_->DownloadCUDFile(server_.Url("/cud.xml"), ""));
    ASSERT_TRUE(AwaitResults(3));

    ASSERT_EQ(notify_.events.size(), 3u);
    const auto& manifest = notify_.events[0];
    EXPECT_EQ(manifest.name, "error");
    EXPECT_EQ(manifest.a, NetEx::kDownloadUpdateXml);
    EXPECT_EQ(manifest.b, 0);
    EXPECT_EQ(manifest.c, 503);
    EXPECT_EQ(manifest.body, "<maintenance end=\"1700000000\"/>");
    EXPECT_EQ(notify_.events[1].a, NetEx::kDownloadLicense);
    EXPECT_EQ(notify_.events[1].c, 502);
    EXPECT_EQ(notify_.events[1].body, "bad gateway text");
    EXPECT_EQ(notify_.events[2].a, NetEx::kDownloadCUDFile);
    EXPECT_EQ(notify_.events[2].c, 500);
    EXPECT_EQ(notify_.events[2].body, "");
    EXPECT_EQ(downloader_->CurrentKind(), 0u);
}

// The bytes of a range that broke off reach the caller before the error,
// which lets it resume after them.
TEST_F(DownloaderTest, BrokenUpdateRangeKeepsItsBytesThenFails) {
    std::string content = Pattern(20000);
    Reply cut = Reply::Text(200, content);
    cut.cutAfter = 3000;
    server_.On("/files/pkg.zip", cut);
    server_.On("/files/gone.zip", Reply::Text(404, "missing"));

    ASSERT_TRUE(Update("/files/pkg.zip", 0, 0));
    ASSERT_TRUE(AwaitResults(2));
    std::shared_ptr<nettest::MemorySink> cutSink = sink_;
    ASSERT_TRUE(Update("/files/gone.zip", 0, 0));
    ASSERT_TRUE(AwaitResults(3));

    ASSERT_EQ(notify_.Results(), (std::vector<std::string>{"part", "error", "error"}));
    const dltest::Event* part = notify_.Last("part");
    EXPECT_TRUE(part->flag);
    EXPECT_EQ(part->a, 3000);
    EXPECT_EQ(cutSink->content, content.substr(0, 3000));
    // An error page never reaches the file.
    EXPECT_EQ(sink_->begun, 0);
    EXPECT_EQ(sink_->content, "");
    std::vector<dltest::Event> errors;
    for (const auto& event : notify_.events) {
        if (event.name == "error")
            errors.push_back(event);
    }
    EXPECT_EQ(errors[0].a, NetEx::kDownloadUpdate);
    EXPECT_NE(errors[0].b, 0);
    EXPECT_TRUE(errors[0].c == 0 || errors[0].c == 200) << errors[0].c;
    // An error status hands over no bytes.
    EXPECT_EQ(errors[1].a, NetEx::kDownloadUpdate);
    EXPECT_EQ(errors[1].b, 0);
    EXPECT_EQ(errors[1].c, 404);
}

TEST_F(DownloaderTest, UnreachableServerReportsTheConnectError) {
    downloader_->SetServer(base::Format("http://127.0.0.1:%u", testsupport::UnusedPort()));
    ASSERT_TRUE(Update("/files/pkg.zip", 50, 0));
    ASSERT_TRUE(AwaitResults(2));
    ASSERT_EQ(notify_.Results(), (std::vector<std::string>{"part", "error"}));
    EXPECT_TRUE(notify_.events[0].flag);
    EXPECT_EQ(notify_.events[0].a, 0);
    EXPECT_EQ(notify_.events[1].a, NetEx::kDownloadUpdate);
    EXPECT_EQ(notify_.events[1].b, 12029);
    EXPECT_EQ(notify_.events[1].c, 0);
}

// The launcher issues the next request from inside a callback; the kind of
// the finished one must not be cleared over the new one.
TEST_F(DownloaderTest, NextRequestFromInsideACallback) {
    server_.On("/upd/update.xml", Reply::Text(200, "manifest"));
    server_.ServeFile("/files/a.zip", Pattern(500));
    notify_.hook = [this](const dltest::Event& event) {
        if (event.name == "xml") {
            EXPECT_TRUE(Update("/files/a.zip", 0, 0));
        }
    };
    ASSERT_TRUE(downloader_->DownloadUpdateXml("/upd/update.xml"));
    ASSERT_TRUE(AwaitResults(1));
    EXPECT_EQ(downloader_->CurrentKind(), NetEx::kDownloadUpdate);
    ASSERT_TRUE(AwaitResults(2));
    EXPECT_EQ(notify_.Results(), (std::vector<std::string>{"xml", "part"}));
    EXPECT_EQ(downloader_->CurrentKind(), 0u);
}

// --- The KB package: size probe with HEAD, then the file with GET --------

class DownloaderKBTest : public DownloaderTest {
protected:
    // Serves the package: HEAD answers by `head`, GET with the content.
    void ServePackage(std::function<Reply()> head, const std::string& content) {
        server_.On("/kb/package.msu", [head, content](const ReceivedRequest& request) {
            if (request.method == "HEAD")
                return head();
            Reply reply = Reply::Text(200, content);
            reply.trickleBytes = 32 * 1024;
            reply.trickleMs = 5;
            return reply;
        });
    }
    std::vector<dltest::Event> PartEvents() const {
        std::vector<dltest::Event> parts;
        for (const auto& event : notify_.events) {
            if (event.name == "kbPart")
                parts.push_back(event);
        }
        return parts;
    }
    void ExpectProbeThenGet() {
        auto requests = server_.Requests();
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(requests[0].requestLine, "HEAD /kb/package.msu?v=1 HTTP/1.1");
        EXPECT_EQ(requests[1].requestLine, "GET /kb/package.msu?v=1 HTTP/1.1");
        for (const auto& request : requests)
            EXPECT_EQ(request.Header("Accept"), "application/xml");
    }
};

TEST_F(DownloaderKBTest, ProbedSizeAccompaniesTheProgress) {
    std::string content = Pattern(300 * 1024);
    ServePackage(
        [&] {
            // The length header in lower case, as some servers write it.
            Reply head = Reply::Text(200, "");
            head.contentLength = false;
            head.headers.push_back({"content-length", std::to_string(content.size())});
            return head;
        },
        content);
    ASSERT_TRUE(downloader_->DownloadKB(server_.Url("/kb/package.msu?v=1")));
    ASSERT_TRUE(AwaitResults(1));

    ExpectProbeThenGet();
    EXPECT_EQ(notify_.Results(), (std::vector<std::string>{"kb"}));
    EXPECT_EQ(notify_.events.back().body, content);
    auto parts = PartEvents();
    ASSERT_GE(parts.size(), 2u);
    EXPECT_EQ(parts[0].a, 0);
    std::int64_t previous = 0;
    for (const auto& part : parts) {
        EXPECT_EQ(part.b, static_cast<std::int64_t>(content.size()));
        EXPECT_GE(part.a, previous);
        previous = part.a;
    }
    EXPECT_GT(previous, 0);
    EXPECT_LE(previous, static_cast<std::int64_t>(content.size()));
    EXPECT_EQ(downloader_->KBTotal(), static_cast<std::int32_t>(content.size()));
    std::string log = LogText();
    EXPECT_NE(log.find("CDownloader::DownloadKB:"), std::string::npos);
    EXPECT_NE(log.find(std::to_string(content.size()) + " bytes"), std::string::npos);
}

TEST_F(DownloaderKBTest, MissingLengthLeavesTheSizeUndetermined) {
    std::string content = Pattern(4096);
    ServePackage(
        [] {
            Reply head = Reply::Text(200, "");
            head.contentLength = false;
            return head;
        },
        content);
    ASSERT_TRUE(downloader_->DownloadKB(server_.Url("/kb/package.msu?v=1")));
    ASSERT_TRUE(AwaitResults(1));

    ExpectProbeThenGet();
    auto parts = PartEvents();
    ASSERT_FALSE(parts.empty());
    EXPECT_EQ(parts[0].a, 0);
    EXPECT_EQ(parts[0].b, -1);
    EXPECT_EQ(notify_.Results(), (std::vector<std::string>{"kb"}));
    EXPECT_EQ(notify_.events.back().body, content);
    EXPECT_NE(LogText().find("failed to determine file size"), std::string::npos);
}

// A length that is no size (a sign, a blank, past 31 bits) is no total.
TEST_F(DownloaderKBTest, ALengthThatIsNoSizeLeavesTheSizeUndetermined) {
    for (const char* length : {"-5", "12x", "4294967295"}) {
        SCOPED_TRACE(length);
        notify_.events.clear();
        downloader_ = std::make_unique<NetEx::CDownloader>();
        downloader_->SetLog(&log_);
        downloader_->SetTransport(&transport_);
        downloader_->SetNotify(&notify_);
        downloader_->SetProgressWindow(main_);
        ServePackage(
            [length] {
                Reply head = Reply::Text(200, "");
                head.contentLength = false;
                head.headers.push_back({"Content-Length", length});
                return head;
            },
            Pattern(100));
        ASSERT_TRUE(downloader_->DownloadKB(server_.Url("/kb/package.msu?v=1")));
        ASSERT_TRUE(AwaitResults(1));
        EXPECT_EQ(downloader_->KBTotal(), -1);
        EXPECT_EQ(notify_.Results(), (std::vector<std::string>{"kb"}));
    }
}

TEST_F(DownloaderKBTest, FailedProbeIsNoErrorButAFailedFileIs) {
    ServePackage([] { return Reply::Text(500, ""); }, Pattern(100));
    ASSERT_TRUE(downloader_->DownloadKB(server_.Url("/kb/package.msu?v=1")));
    ASSERT_TRUE(AwaitResults(1));
    ExpectProbeThenGet();
    EXPECT_EQ(notify_.Results(), (std::vector<std::string>{"kb"}));
    EXPECT_EQ(downloader_->KBTotal(), -1);
    for (const auto& part : PartEvents())
        EXPECT_EQ(part.b, -1);

    // The size stays known: a second call fetches at once, and its failure
    // is reported.
    server_.On("/kb/package.msu", Reply::Text(404, ""));
    ASSERT_TRUE(downloader_->DownloadKB(server_.Url("/kb/package.msu?v=1")));
    ASSERT_TRUE(AwaitResults(2));
    EXPECT_EQ(server_.Requests().back().method, "GET");
    const dltest::Event* error = notify_.Last("error");
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->a, NetEx::kDownloadKB);
    EXPECT_EQ(error->c, 404);
}

} // namespace
