// Answers to an update range that are not the asked bytes, as the notify
// side sees them: a wrong Content-Range, a whole file for a range further
// on, answers that run past the range or the file; and transport errors
// matched to the request or context they concern.

#include "DownloaderTestSupport.h"

#include "platform/Error.h"

namespace {

using dltest::DownloaderTest;
using nettest::Pattern;
using testsupport::ReceivedRequest;
using testsupport::Reply;

Reply Partial(const std::string& body, const std::string& contentRange) {
    Reply reply = Reply::Text(206, body);
    reply.headers.push_back({"Content-Range", contentRange});
    return reply;
}

const dltest::Event& OnlyPart(const dltest::RecordingNotify& notify) {
    static const dltest::Event none;
    const dltest::Event* part = notify.Last("part");
    return part ? *part : none;
}

// A 206 whose range is not the asked one is no answer to it: nothing of it
// reaches the file, and no error follows (the caller asks again).
TEST_F(DownloaderTest, PartialContentOfAnotherRangeIsUnexpected) {
    const std::string file = Pattern(1000);
    const std::pair<const char*, std::string> cases[] = {
        {"bytes 0-599/1000", file.substr(0, 600)}, // from the start
        {"bytes 401-999/1000", file.substr(401)},  // one byte later
        {"bytes 400-1199/1200", file.substr(400)}, // another file
        {"", file.substr(400)},                    // no range named
    };
    for (const auto& [range, body] : cases) {
        SCOPED_TRACE(range);
        server_.On("/p.pkg", Partial(body, range));
        notify_.events.clear();
        ASSERT_TRUE(Update("/p.pkg", 400, 600, file.size(), file.substr(0, 400)));
        ASSERT_TRUE(AwaitIdle());
        ASSERT_EQ(notify_.Results(), (std::vector<std::string>{"part"}));
        EXPECT_TRUE(OnlyPart(notify_).unexpected);
        EXPECT_FALSE(OnlyPart(notify_).flag);
        EXPECT_EQ(OnlyPart(notify_).a, 0);
        EXPECT_EQ(sink_->content, file.substr(0, 400));
        EXPECT_EQ(sink_->begun, 0);
    }
}

// A server that cannot resume answers a range further on with the whole
// file: the file starts again from byte 0 with that answer, which
// completes it.
TEST_F(DownloaderTest, AWholeFileForALaterRangeStartsTheFileAgain) {
    const std::string file = Pattern(50000);
    server_.On("/w.pkg", Reply::Text(200, file));
    ASSERT_TRUE(Update("/w.pkg", 30000, 20000, file.size(), std::string(30000, 'z')));
    ASSERT_TRUE(AwaitResults(1));
    ASSERT_EQ(notify_.Results(), (std::vector<std::string>{"part"}));
    EXPECT_TRUE(OnlyPart(notify_).restarted);
    EXPECT_FALSE(OnlyPart(notify_).unexpected);
    EXPECT_EQ(OnlyPart(notify_).a, 50000);
    EXPECT_EQ(sink_->content, file);
    EXPECT_EQ(server_.Requests()[0].Header("Range"), "bytes=30000-49999");
}

// What runs past the asked range or past the file is not taken: the bytes
// that belong to the range are kept, the rest is dropped, and the answer
// counts as unexpected.
TEST_F(DownloaderTest, AnswersLongerThanTheRangeKeepOnlyTheRange) {
    const std::string file = Pattern(1000);
    // A 206 that names the right range but sends more than it.
    Reply longer = Partial(file.substr(100, 300), "bytes 100-199/1000");
    longer.contentLength = false;
    server_.On("/long.pkg", longer);
    ASSERT_TRUE(Update("/long.pkg", 100, 0, file.size(), file.substr(0, 100)));
    ASSERT_TRUE(AwaitIdle());
    ASSERT_EQ(notify_.Results(), (std::vector<std::string>{"part"}));
    EXPECT_TRUE(OnlyPart(notify_).unexpected);
    EXPECT_EQ(OnlyPart(notify_).a, 100);
    EXPECT_EQ(sink_->content, file.substr(0, 200));

    // A 200 from byte 0 that runs past the file's size.
    notify_.events.clear();
    Reply tooLong = Reply::Text(200, file + "trailing bytes of another release");
    tooLong.contentLength = false;
    server_.On("/whole.pkg", tooLong);
    ASSERT_TRUE(Update("/whole.pkg", 0, 1000, file.size()));
    ASSERT_TRUE(AwaitIdle());
    EXPECT_TRUE(OnlyPart(notify_).unexpected);
    EXPECT_EQ(sink_->content, file);

    // A length past the range is refused at the head.
    notify_.events.clear();
    Reply announced;
    announced.raw = "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 100-999/1000\r\n"
                    "Content-Length: 4294967295\r\n\r\n" +
                    file.substr(100, 50);
    server_.On("/announced.pkg", announced);
    ASSERT_TRUE(Update("/announced.pkg", 100, 900, file.size(), file.substr(0, 100)));
    ASSERT_TRUE(AwaitIdle());
    EXPECT_TRUE(OnlyPart(notify_).unexpected);
    EXPECT_EQ(sink_->content, file.substr(0, 100));
}

// A disk that refuses the bytes fails the request with its own number.
TEST_F(DownloaderTest, ASinkThatFailsEndsTheRequestWithItsError) {
    server_.ServeFile("/d.pkg", Pattern(4000));
    sink_ = std::make_shared<nettest::MemorySink>(4000);
    sink_->failWrites = plat::kErrDiskFull;
    ASSERT_TRUE(downloader_->DownloadUpdate("/d.pkg", 0, 4000, sink_));
    ASSERT_TRUE(AwaitResults(2));
    ASSERT_EQ(notify_.Results(), (std::vector<std::string>{"part", "error"}));
    EXPECT_TRUE(OnlyPart(notify_).flag);
    EXPECT_EQ(notify_.Last("error")->b, plat::kErrDiskFull);
    EXPECT_EQ(notify_.Last("error")->c, 206);
}

// The documents are bounded in memory: a manifest that announces 4 GiB, a
// licence that decodes far past the bound (a gzip bomb) and client update
// data of 100 MB all fail with 122, and the next request is served as usual.
TEST_F(DownloaderTest, DocumentsPastTheirBoundFailWith122) {
    downloader_->SetDocumentLimit(4 << 20);
    EXPECT_EQ(downloader_->DocumentLimit(), 4u << 20);
    Reply huge;
    huge.raw = "HTTP/1.1 200 OK\r\nContent-Length: 4294967295\r\n\r\n<update>";
    server_.On("/upd/update.rxml", huge);
    Reply bomb = Reply::Text(200, nettest::GzipOfZeros(64u << 20));
    bomb.headers.push_back({"Content-Encoding", "gzip"});
    server_.On("/lic/license.xml", bomb);
    Reply endless = Reply::Text(200, std::string(100u << 20, 'x'));
    endless.contentLength = false;
    server_.On("/cud.xml", endless);
    server_.On("/ok.xml", Reply::Text(200, "<ok/>"));

    ASSERT_TRUE(downloader_->DownloadUpdateXml("/upd/update.rxml"));
    ASSERT_TRUE(AwaitResults(1));
    ASSERT_TRUE(downloader_->DownloadLicense("/lic/license.xml"));
    ASSERT_TRUE(AwaitResults(2));
    ASSERT_TRUE(downloader_->DownloadCUDFile(server_.Url("/cud.xml"), ""));
    ASSERT_TRUE(AwaitResults(3));
    ASSERT_TRUE(downloader_->DownloadUpdateXml("/ok.xml"));
    ASSERT_TRUE(AwaitResults(4));
    ASSERT_EQ(notify_.Results(), (std::vector<std::string>{"error", "error", "error", "xml"}));
    const NetEx::DownloadKind kinds[] = {NetEx::kDownloadUpdateXml, NetEx::kDownloadLicense,
                                         NetEx::kDownloadCUDFile};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(notify_.events[i].a, kinds[i]);
        EXPECT_EQ(notify_.events[i].b, plat::kErrInsufficientBuffer);
        EXPECT_EQ(notify_.events[i].c, 200);
    }
    EXPECT_EQ(notify_.Last("xml")->body, "<ok/>");
    // 0 keeps the default.
    downloader_->SetDocumentLimit(0);
    EXPECT_EQ(downloader_->DocumentLimit(), NetEx::CDownloader::kDefaultDocumentLimit);
}

// A context-level error (here: a context that was not there to destroy)
// while a request is in flight is not that request's failure: the request
// has one outcome, its own.
TEST_F(DownloaderTest, AContextErrorIsNotTheFailureOfTheRequestInFlight) {
    Reply slow = Reply::Text(200, "<update/>");
    slow.delayMs = 300;
    server_.On("/slow.xml", slow);
    ASSERT_TRUE(downloader_->DownloadUpdateXml("/slow.xml"));
    ASSERT_TRUE(downloader_->PostDestroyContext(7));
    // The error reaches the window long before the answer does.
    ASSERT_TRUE(AwaitResults(1));
    ASSERT_TRUE(AwaitIdle());
    EXPECT_EQ(notify_.Results(), (std::vector<std::string>{"xml"}));
    EXPECT_EQ(downloader_->ConnectedServer(), server_.Url(""));
}

// A context the transport could not make leaves no server "connected": the
// next request makes it again instead of failing for ever with 404.
TEST_F(DownloaderTest, AContextThatCouldNotBeMadeIsMadeAgainByTheNextRequest) {
    server_.On("/a.xml", Reply::Text(200, "<a/>"));
    nettest::BlockingClient blocker;
    blocker.SetTransport(&transport_);
    ASSERT_TRUE(blocker.QueryStatistics());
    blocker.WaitEntered();
    // Behind the held callback: the internet handle closes, then the
    // downloader's context and request arrive.
    ASSERT_TRUE(plat::PostMessage(transport_.Window(), NetEx::kMsgCloseInternet, 0, 0));
    ASSERT_TRUE(downloader_->DownloadUpdateXml("/a.xml"));
    EXPECT_EQ(downloader_->ConnectedServer(), server_.Url(""));
    blocker.Release();
    ASSERT_TRUE(AwaitResults(1));
    EXPECT_EQ(notify_.Results(), (std::vector<std::string>{"error"}));
    EXPECT_EQ(notify_.events[0].c, 404);
    EXPECT_TRUE(downloader_->ConnectedServer().empty());

    NetEx::InternetParams params;
    params.accessType = plat::INTERNET_OPEN_TYPE_DIRECT;
    ASSERT_TRUE(transport_.OpenInternet(params));
    ASSERT_TRUE(downloader_->DownloadUpdateXml("/a.xml"));
    ASSERT_TRUE(AwaitResults(2));
    EXPECT_EQ(notify_.Results(), (std::vector<std::string>{"error", "xml"}));
    EXPECT_EQ(downloader_->ConnectedServer(), server_.Url(""));
}

} // namespace
