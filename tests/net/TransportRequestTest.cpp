#include "NetTestSupport.h"

#include "platform/Error.h"

#include <string>

namespace {

using nettest::TransportTest;
using testsupport::Reply;

std::string Pattern(std::size_t size) {
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    return data;
}

std::string BodyOf(const NetEx::CRequestHttx& request) {
    return std::string(request.GetResponseBody().View().substr(0, request.GetBodySize()));
}

using TransportRequestTest = TransportTest;

TEST_F(TransportRequestTest, GetComesBackOnTheTransportThreadWithEverythingAsked) {
    server_.On("/base/a.txt", Reply::Text(200, "hello"));
    ASSERT_TRUE(MakeContext(client_, 0, server_.Url("/base?key=ctx")));
    auto request = NewRequest(0, 1, "/a.txt?own=1");
    request->AddHeader("X-Test: yes\r\n");
    auto done = Run(std::move(request));
    ASSERT_NE(done, nullptr);

    EXPECT_EQ(done->GetErrorKind(), 0u);
    EXPECT_EQ(done->GetErrorCode(), 0u);
    EXPECT_EQ(done->GetStatusCode(), 200u);
    EXPECT_EQ(done->GetState(), static_cast<std::uint32_t>(NetEx::kFinished));
    EXPECT_EQ(BodyOf(*done), "hello");
    EXPECT_EQ(done->GetResponseBody().Size(), 5u);
    std::string_view headers = done->GetResponseHeaders().View();
    EXPECT_EQ(headers.substr(0, 15), "HTTP/1.1 200 OK");
    EXPECT_EQ(headers.substr(headers.size() - 2), std::string_view("\0\0", 2));
    EXPECT_NE(done->GetSentHeaders().View().find("X-Test: yes"), std::string_view::npos);
    ASSERT_EQ(client_->CallbackThreads().size(), 1u);
    EXPECT_NE(client_->CallbackThreads()[0], std::this_thread::get_id());

    // The context's path and arguments completed the request's.
    auto seen = server_.Requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].requestLine, "GET /base/a.txt?key=ctx&own=1 HTTP/1.1");
    EXPECT_EQ(seen[0].Header("User-Agent"), nettest::kAgent);
    EXPECT_EQ(seen[0].Header("X-Test"), "yes");

    ASSERT_TRUE(client_->QueryStatistics());
    ASSERT_TRUE(windowtest::PumpUntil([&] { return !client_->Statistics().empty(); }));
    EXPECT_EQ(client_->Statistics()[0].bytesReceived, 5u);
    EXPECT_EQ(client_->Statistics()[0].bytesSent, std::string("X-Test: yes\r\n").size());
}

TEST_F(TransportRequestTest, RangesGetPartialContentWithTheExactBytes) {
    const std::string file = Pattern(100000);
    server_.ServeFile("/f.bin", file);
    ASSERT_TRUE(MakeContext(client_, 0, server_.Url("")));

    auto middle = NewRequest(0, 1, "/f.bin", 4096);
    middle->AddRange(100, 99);
    auto done = Run(std::move(middle));
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->GetStatusCode(), 206u);
    EXPECT_EQ(BodyOf(*done), file.substr(100, 99));
    EXPECT_EQ(server_.Requests().back().Header("Range"), "bytes=100-198");

    auto tail = NewRequest(0, 2, "/f.bin", 4096);
    tail->AddRange(60000, 0);
    done = Run(std::move(tail));
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->GetStatusCode(), 206u);
    EXPECT_EQ(BodyOf(*done), file.substr(60000));
    EXPECT_EQ(server_.Requests().back().Header("Range"), "bytes=60000-");
}

TEST_F(TransportRequestTest, FixedAndAdaptiveBlocksReportProgress) {
    const std::string body = Pattern(64 * 1024);
    Reply trickled = Reply::Text(200, body);
    trickled.trickleBytes = 8192;
    trickled.trickleMs = 5;
    server_.On("/slow", trickled);
    // The context's BGS bounds any read block.
    ASSERT_TRUE(MakeContext(client_, 0, server_.Url(""), {}, 15000, 3000));

    auto done = Run(NewRequest(0, 1, "/slow", 4096));
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(BodyOf(*done), body);
    EXPECT_EQ(done->GetReadBlock(), 3000u);
    ASSERT_FALSE(client_->Passes().empty());
    for (std::uint32_t block : client_->ProgressBlocks())
        EXPECT_EQ(block, 3000u);

    ASSERT_TRUE(MakeContext(client_, 1, server_.Url("")));
    done = Run(NewRequest(1, 2, "/slow", NetEx::kAdaptiveBlock));
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(BodyOf(*done), body);
    EXPECT_TRUE(done->IsAdaptive());
    EXPECT_GE(done->GetReadBlock(), NetEx::kMinAdaptiveBlock);
    EXPECT_LE(done->GetReadBlock(), nettest::kBgs);
}

TEST_F(TransportRequestTest, ABlockFillsWholeWhileTheBodyTrickles) {
    const std::string body = Pattern(64 * 1024);
    Reply trickled = Reply::Text(200, body);
    trickled.trickleBytes = 1024;
    trickled.trickleMs = 2;
    server_.On("/slow", trickled);
    ASSERT_TRUE(MakeContext(client_, 0, server_.Url(""), {}, 15000, 16 * 1024));

    auto done = Run(NewRequest(0, 1, "/slow", 16 * 1024));
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(BodyOf(*done), body);
    // Sixty-four pieces arrive, but a read waits for its whole block: about
    // four passes, plus the first data query's and a few bytes split off
    // between blocks; one pass per piece would be sixty-four.
    std::vector<std::uint32_t> passes = client_->Passes();
    ASSERT_FALSE(passes.empty());
    EXPECT_LE(passes.size(), 8u);
    std::uint64_t total = 0;
    for (std::uint32_t pass : passes)
        total += pass;
    EXPECT_LE(total, body.size());
}

TEST_F(TransportRequestTest, NoBlockMeansNoProgressAndEmptyBodiesEndAtOnce) {
    Reply trickled = Reply::Text(200, Pattern(20000));
    trickled.trickleBytes = 5000;
    trickled.trickleMs = 5;
    server_.On("/slow", trickled);
    server_.On("/empty", Reply::Text(204, ""));
    ASSERT_TRUE(MakeContext(client_, 0, server_.Url("")));

    auto done = Run(NewRequest(0, 1, "/slow", 0));
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->GetBodySize(), 20000u);
    EXPECT_TRUE(client_->Passes().empty());

    done = Run(NewRequest(0, 2, "/empty", 4096));
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->GetStatusCode(), 204u);
    EXPECT_EQ(done->GetBodySize(), 0u);
    EXPECT_EQ(done->GetState(), static_cast<std::uint32_t>(NetEx::kFinished));
}

TEST_F(TransportRequestTest, CutBodyKeepsTheBytesSoFarWithTheFailure) {
    const std::string body = Pattern(50000);
    for (bool reset : {false, true}) {
        Reply cut = Reply::Text(200, body);
        cut.cutAfter = 12345;
        cut.resetOnCut = reset;
        server_.On(reset ? "/reset" : "/closed", cut);
    }
    ASSERT_TRUE(MakeContext(client_, 0, server_.Url("")));
    for (const char* path : {"/closed", "/reset"}) {
        SCOPED_TRACE(path);
        auto done = Run(NewRequest(0, 1, path, 4096));
        ASSERT_NE(done, nullptr);
        EXPECT_EQ(done->GetErrorKind(), NetEx::kErrorKindFailed);
        EXPECT_TRUE(done->GetErrorCode() == plat::kErrInternetConnectionReset ||
                    done->GetErrorCode() == plat::kErrInternetConnectionAborted)
            << done->GetErrorCode();
        EXPECT_EQ(BodyOf(*done), body.substr(0, 12345));
    }
}

TEST_F(TransportRequestTest, ExchangeFailuresCarryTheirNumbers) {
    Reply late = Reply::Text(200, "late");
    late.delayMs = 20000;
    server_.On("/late", late);
    ASSERT_TRUE(MakeContext(client_, 0, server_.Url("")));
    auto done = Run(NewRequest(0, 1, "/late", 4096, 300));
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->GetErrorKind(), NetEx::kErrorKindFailed);
    EXPECT_EQ(done->GetErrorCode(), plat::kErrInternetTimeout);

    ASSERT_TRUE(
        MakeContext(client_, 1, "http://127.0.0.1:" + std::to_string(testsupport::UnusedPort())));
    done = Run(NewRequest(1, 2, "/x", 4096));
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->GetErrorCode(), plat::kErrInternetCannotConnect);

    ASSERT_TRUE(MakeContext(client_, 2, "http://no-such-host.invalid"));
    done = Run(NewRequest(2, 3, "/x", 4096, 10000));
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->GetErrorCode(), plat::kErrInternetNameNotResolved);
    EXPECT_EQ(done->GetStatusCode(), 0u);
}

TEST_F(TransportRequestTest, RedirectIsDeliveredAndFollowedWithACopy) {
    server_.On("/old", Reply::Redirect(302, "/new"));
    server_.On("/new", Reply::Text(200, "moved here"));
    ASSERT_TRUE(MakeContext(client_, 0, server_.Url("")));
    auto done = Run(NewRequest(0, 1, "/old", 4096));
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->GetStatusCode(), 302u);
    EXPECT_TRUE(done->IsRedirect());
    EXPECT_EQ(done->GetLocation().View(), "/new");
    EXPECT_EQ(done->GetRedirectCount(), 1u);

    std::unique_ptr<NetEx::CRequestHttx> next;
    ASSERT_TRUE(client_->CreateRequest(next, done.get()));
    ASSERT_TRUE(next->SetUrl(std::string(done->GetLocation().View())));
    EXPECT_EQ(next->GetFirstUrl().GetFullUrl(), "/old");
    done = Run(std::move(next));
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->GetStatusCode(), 200u);
    EXPECT_EQ(BodyOf(*done), "moved here");
    EXPECT_EQ(done->GetRedirectCount(), 1u);
    EXPECT_EQ(server_.Requests().size(), 2u);
}

TEST_F(TransportRequestTest, PostSendsTheMultipartBody) {
    server_.On("/upload", Reply::Text(200, "ok"));
    ASSERT_TRUE(MakeContext(client_, 0, server_.Url("")));
    auto request = NewRequest(0, 1, "/upload", 4096);
    request->Init({.contextId = 0,
                   .requestId = 1,
                   .url = "/upload",
                   .method = NetEx::kPost,
                   .openFlags = nettest::kDownloaderFlags,
                   .readBlock = 4096});
    request->BeginMultipart("b0undary");
    ASSERT_TRUE(request->AddFormPart("file", "a.log", "text/plain"));
    request->AppendBody("data\r\n", 6);
    ASSERT_TRUE(request->EndMultipart());
    const std::string body(request->GetBody().View());
    auto done = Run(std::move(request));
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->GetStatusCode(), 200u);
    EXPECT_TRUE(done->GetSentHeaders().Empty()); // not asked for
    auto seen = server_.Requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].method, "POST");
    EXPECT_EQ(seen[0].body, body);
    EXPECT_EQ(seen[0].Header("Content-Type"), "multipart/form-data; boundary=b0undary");
}

TEST_F(TransportRequestTest, CancelledRequestNeverComesBack) {
    Reply late = Reply::Text(200, "late");
    late.delayMs = 20000;
    server_.On("/late", late);
    server_.On("/now", Reply::Text(200, "now"));
    ASSERT_TRUE(MakeContext(client_, 0, server_.Url("")));
    ASSERT_TRUE(client_->SendRequest(NewRequest(0, 1, "/late", 4096)));
    // Handled in order: the request is in flight when the cancel arrives.
    ASSERT_TRUE(client_->CancelRequest(0, 1));
    // A later request on the same context finishes; the cancelled one does not.
    auto done = Run(NewRequest(0, 2, "/now", 4096));
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->GetRequestId(), 2u);
    EXPECT_EQ(client_->CompletedCount(), 0u);

    ASSERT_TRUE(client_->CancelRequest(0, 1));
    ASSERT_TRUE(AwaitErrors(client_, 1));
    EXPECT_EQ(client_->Errors()[0].kind, NetEx::NetErrorInfo::kNoContext);
    EXPECT_EQ(client_->Errors()[0].requestId, 1u);
}

} // namespace
