// What a hostile or broken server cannot make the transport do: hold a body
// past its bound in memory (whatever the server says its length is, or
// what a small compressed body decodes to), keep a trickling transfer
// alive, or take the transport down with its log. And a body with a sink
// never gathers in memory at all.

#include "NetTestSupport.h"
#include "log/LogImplW.h"
#include "platform/Error.h"
#include "support/TempDir.h"

namespace {

using nettest::MemorySink;
using nettest::Pattern;
using nettest::TransportTest;
using testsupport::Reply;

class TransportBoundsTest : public TransportTest {
protected:
    std::unique_ptr<NetEx::CRequestHttx> Limited(std::uint32_t id, const std::string& url,
                                                 std::uint32_t limit, std::uint32_t block = 0) {
        auto request = std::make_unique<NetEx::CRequestHttx>();
        request->Init({.contextId = 0,
                       .requestId = id,
                       .url = url,
                       .openFlags = nettest::kDownloaderFlags,
                       .readBlock = block,
                       .bodyLimit = limit});
        return request;
    }
    // Reopens the internet handle with this slow-transfer floor.
    bool Reopen(std::uint32_t floor, std::uint32_t windowMs) {
        NetEx::InternetParams params;
        params.userAgent = nettest::kAgent;
        params.accessType = plat::INTERNET_OPEN_TYPE_DIRECT;
        params.slowFloorBytesPerSecond = floor;
        params.slowWindowMs = windowMs;
        return transport_.CloseInternet() && transport_.OpenInternet(params);
    }
};

constexpr std::uint32_t kLimit = 1 << 20;

// A head that announces 4 GiB is refused before anything is reserved for
// it; the request fails with 122 as soon as the head is in.
TEST_F(TransportBoundsTest, AnnouncedLengthsPastTheBoundFailAtTheHead) {
    Reply huge;
    huge.raw = "HTTP/1.1 200 OK\r\nContent-Length: 4294967295\r\n\r\n0123456789";
    server_.On("/huge", huge);
    server_.On("/big", Reply::Text(200, Pattern(kLimit + 1)));
    server_.On("/fits", Reply::Text(200, Pattern(kLimit)));
    ASSERT_TRUE(MakeContext(client_, 0, server_.Url("")));

    for (const char* path : {"/huge", "/big"}) {
        SCOPED_TRACE(path);
        auto done = Run(Limited(1, path, kLimit));
        ASSERT_NE(done, nullptr);
        EXPECT_EQ(done->GetErrorCode(), plat::kErrInsufficientBuffer);
        EXPECT_EQ(done->GetErrorKind(), NetEx::kErrorKindFailed);
        EXPECT_EQ(done->GetStatusCode(), 200u);
        EXPECT_EQ(done->GetBodySize(), 0u);
        EXPECT_LT(done->GetResponseBody().Capacity(), 64u * 1024u);
    }
    auto done = Run(Limited(2, "/fits", kLimit));
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->GetErrorCode(), 0u);
    EXPECT_EQ(done->GetBodySize(), kLimit);
}

// Without a length (or with a compressed body) the bound holds for the
// bytes as they arrive, decoded: the body never grows past it.
TEST_F(TransportBoundsTest, BodiesWithoutALengthAndDecodedBodiesStopAtTheBound) {
    Reply endless = Reply::Text(200, Pattern(8 * kLimit));
    endless.contentLength = false;
    server_.On("/endless", endless);
    Reply bomb = Reply::Text(200, nettest::GzipOfZeros(64 * kLimit));
    bomb.headers.push_back({"Content-Encoding", "gzip"});
    server_.On("/bomb", bomb);
    ASSERT_LT(bomb.body.size(), kLimit / 4);
    ASSERT_TRUE(MakeContext(client_, 0, server_.Url("")));

    auto done = Run(Limited(1, "/endless", kLimit, 65536));
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->GetErrorCode(), plat::kErrInsufficientBuffer);
    EXPECT_LE(done->GetResponseBody().Capacity(), kLimit + 1);

    auto request = Limited(2, "/bomb", kLimit);
    request->AddHeader("Accept-Encoding: gzip, deflate\r\n");
    done = Run(std::move(request));
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->GetErrorCode(), plat::kErrInsufficientBuffer);
    EXPECT_LE(done->GetResponseBody().Capacity(), kLimit + 1);
}

// A body with a sink goes there read by read; an error page stays in memory.
TEST_F(TransportBoundsTest, ASinkTakesTheBodyReadByRead) {
    const std::string file = Pattern(6 * kLimit);
    server_.ServeFile("/file", file);
    server_.On("/gone", Reply::Text(404, "not here"));
    ASSERT_TRUE(MakeContext(client_, 0, server_.Url("")));

    auto request = Limited(1, "/file", kLimit, NetEx::kAdaptiveBlock);
    auto sink = std::make_shared<MemorySink>(file.size());
    request->SetBodySink(sink);
    request->AddRange(0, static_cast<std::uint32_t>(file.size()));
    auto done = Run(std::move(request));
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->GetErrorCode(), 0u);
    EXPECT_EQ(done->GetStatusCode(), 206u);
    EXPECT_EQ(sink->content, file);
    EXPECT_EQ(done->GetSunkSize(), file.size());
    EXPECT_EQ(done->GetReceivedSize(), file.size());
    EXPECT_EQ(done->GetBodySize(), 0u);
    // The buffer held one read at a time, never the body.
    EXPECT_LE(done->GetResponseBody().Capacity(), nettest::kBgs);
    EXPECT_LE(sink->largestWrite, nettest::kBgs);
    EXPECT_EQ(sink->begun, 1);
    EXPECT_EQ(sink->ended, 1);

    request = Limited(2, "/gone", kLimit);
    auto untouched = std::make_shared<MemorySink>(100, "kept");
    request->SetBodySink(untouched);
    done = Run(std::move(request));
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->GetStatusCode(), 404u);
    EXPECT_EQ(done->GetResponseBody().View().substr(0, done->GetBodySize()), "not here");
    EXPECT_EQ(untouched->begun, 0);
    EXPECT_EQ(untouched->content, "kept");
}

// A server that sends a byte now and then is never silent long enough for
// the time-out; the floor ends it the same way.
TEST_F(TransportBoundsTest, ATrickleBelowTheFloorEndsLikeATimeOut) {
    Reply trickle = Reply::Text(200, Pattern(200));
    trickle.trickleBytes = 1;
    trickle.trickleMs = 50;
    server_.On("/trickle", trickle);
    Reply steady = Reply::Text(200, Pattern(64 * 1024));
    steady.trickleBytes = 1024;
    steady.trickleMs = 20;
    server_.On("/steady", steady);
    ASSERT_TRUE(Reopen(1024, 1000));
    ASSERT_TRUE(MakeContext(client_, 0, server_.Url("")));

    auto done = Run(Limited(1, "/trickle", kLimit, 4096));
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->GetErrorCode(), plat::kErrInternetTimeout);
    EXPECT_EQ(done->GetErrorKind(), NetEx::kErrorKindFailed);
    // Well above the floor (about 50 KiB/s, longer than a window): the
    // whole body.
    done = Run(Limited(2, "/steady", kLimit, 4096));
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->GetErrorCode(), 0u);
    EXPECT_EQ(done->GetBodySize(), 64u * 1024u);

    // A floor of 0 keeps any trickle.
    ASSERT_TRUE(Reopen(0, 1000));
    ASSERT_TRUE(MakeContext(client_, 0, server_.Url("")));
    Reply slow = Reply::Text(200, Pattern(40));
    slow.trickleBytes = 1;
    slow.trickleMs = 50;
    server_.On("/slow", slow);
    done = Run(Limited(3, "/slow", kLimit, 4096));
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->GetErrorCode(), 0u);
    EXPECT_EQ(done->GetBodySize(), 40u);
}

// An HTTP log that cannot be opened costs the context its log, not its
// server: the launcher log says so and the requests go on.
TEST_F(TransportBoundsTest, AnHttpLogThatCannotBeOpenedIsLeftOut) {
    testsupport::TempDir dir;
    CLogImplW log;
    log.SetUtf8(true);
    ASSERT_TRUE(log.Open(dir.File(L"launcher.log")));
    NetEx::CNetTransport transport;
    transport.SetLauncherLog(&log);
    ASSERT_TRUE(transport.Start(5000));
    NetEx::InternetParams params;
    params.accessType = plat::INTERNET_OPEN_TYPE_DIRECT;
    ASSERT_TRUE(transport.OpenInternet(params));
    auto settings = std::make_unique<NetEx::HttpLogSettings>();
    settings->enabled = true;
    settings->folder = dir.NarrowPath() + "no such folder/below/";
    ASSERT_TRUE(transport.SetLogSettings(std::move(settings)));
    server_.On("/x", Reply::Text(200, "answer"));
    nettest::RecordingClient client(main_);
    client.SetTransport(&transport);
    ASSERT_TRUE(MakeContext(&client, 0, server_.Url("")));
    auto done = Run(Limited(1, "/x", kLimit), &client);
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->GetStatusCode(), 200u);
    EXPECT_TRUE(client.Errors().empty());
    client.Detach(5000);
    client.SetTransport(nullptr);
    transport.Stop(5000);
    log.Close();
    std::string text = testsupport::ReadTestFile(dir.File(L"launcher.log"));
    EXPECT_NE(text.find("HTTP log " + dir.NarrowPath() + "no such folder/below/"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("can not be opened (error 3), going on without it"), std::string::npos)
        << text;
}

} // namespace
