// Requests that get an answer: bodies read in pending pieces, ranges,
// redirects left to the caller, decoded bodies, uploads and the response
// queries.

#include "InternetTestSupport.h"

#include <algorithm>
#include <map>

namespace {

using inettest::InternetTest;
using testsupport::Reply;

// A body whose every byte depends on its position, so that a lost, doubled
// or shifted piece shows.
std::string Pattern(std::size_t size) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        text[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    return text;
}

// Answered exchanges; the test's thread.
class InternetExchangeTest : public InternetTest {};

TEST_F(InternetExchangeTest, TricklingBodyArrivesWholeThroughPendingReads) {
    Reply reply = Reply::Text(200, Pattern(600));
    reply.trickleBytes = 50;
    reply.trickleMs = 15;
    server_.On("/trickle", reply);
    auto& exchange = NewExchange("/trickle?x=1", 7);
    ASSERT_TRUE(exchange.Send());
    ASSERT_TRUE(Finish(exchange));

    EXPECT_EQ(exchange.error, 0u);
    EXPECT_EQ(exchange.status, 200u);
    EXPECT_EQ(exchange.body, Pattern(600));
    // The body came in pieces, so some operations had to wait for them.
    EXPECT_GT(exchange.pendingReads + exchange.pendingQueries, 0);
    ASSERT_EQ(server_.RequestCount(), 1u);
    testsupport::ReceivedRequest got = server_.Requests()[0];
    EXPECT_EQ(got.requestLine, "GET /trickle?x=1 HTTP/1.1");
    EXPECT_EQ(got.Header("Host"), "127.0.0.1:" + std::to_string(server_.Port()));
    EXPECT_EQ(got.Header("User-Agent"), inettest::kAgent);
    EXPECT_EQ(got.Header("Accept"), "*/*");
    // Nothing the caller did not ask for.
    EXPECT_FALSE(got.HasHeader("Accept-Encoding"));
    EXPECT_FALSE(got.HasHeader("Expect"));
    EXPECT_FALSE(got.HasHeader("Cookie"));
}

TEST_F(InternetExchangeTest, RangesGiveExactBytesAndAnswersPastTheEnd) {
    const std::string file = Pattern(1000);
    server_.ServeFile("/file.bin", file);

    auto& middle = NewExchange("/file.bin");
    ASSERT_TRUE(middle.Send("Range: bytes=100-199\r\n"));
    auto& tail = NewExchange("/file.bin");
    ASSERT_TRUE(tail.Send("Range: bytes=990-\r\n"));
    auto& beyond = NewExchange("/file.bin");
    ASSERT_TRUE(beyond.Send("Range: bytes=1000-\r\n"));
    ASSERT_TRUE(windowtest::PumpUntil([&] { return middle.done && tail.done && beyond.done; }));

    EXPECT_EQ(middle.status, 206u);
    EXPECT_EQ(middle.body, file.substr(100, 100));
    std::string contentRange;
    EXPECT_TRUE(plat::QueryResponseHeader(middle.Handle(), "content-range", &contentRange));
    EXPECT_EQ(contentRange, "bytes 100-199/1000");
    EXPECT_EQ(tail.status, 206u);
    EXPECT_EQ(tail.body, file.substr(990));
    EXPECT_EQ(beyond.status, 416u);
    EXPECT_EQ(beyond.error, 0u);
    EXPECT_TRUE(beyond.body.empty());

    std::vector<std::string> ranges;
    for (const auto& request : server_.Requests())
        ranges.push_back(request.Header("Range"));
    std::sort(ranges.begin(), ranges.end());
    EXPECT_EQ(ranges, (std::vector<std::string>{"bytes=100-199", "bytes=1000-", "bytes=990-"}));
}

TEST_F(InternetExchangeTest, RedirectsAreAnswersTheCallerFollows) {
    server_.On("/a", Reply::Redirect(302, "/b"));
    server_.On("/b", Reply::Redirect(301, server_.Url("/c?k=v")));
    server_.On("/c", Reply::Text(200, "landed"));

    // Each hop is a new request, as the downloader makes them.
    std::string object = "/a";
    std::vector<std::uint32_t> statuses;
    for (int hop = 0; hop < 5; ++hop) {
        auto& exchange = NewExchange(object);
        ASSERT_TRUE(exchange.Send());
        ASSERT_TRUE(Finish(exchange));
        statuses.push_back(exchange.status);
        if (exchange.location.empty()) {
            EXPECT_EQ(exchange.body, "landed");
            break;
        }
        plat::UrlParts parts;
        if (plat::CrackUrl(exchange.location, &parts))
            object = parts.path + parts.extra;
        else
            object = exchange.location; // a path on the same server
    }
    EXPECT_EQ(statuses, (std::vector<std::uint32_t>{302, 301, 200}));
    EXPECT_EQ(server_.RequestCount(), 3u);
    EXPECT_EQ(server_.Requests().back().target, "/c?k=v");
}

TEST_F(InternetExchangeTest, EncodedBodiesAreDecodedOnlyWhenOffered) {
    const std::string text = Pattern(70000); // more than one stored block
    server_.On("/z", [&](const testsupport::ReceivedRequest& request) {
        Reply reply;
        std::string offered = request.Header("Accept-Encoding");
        if (offered.find("gzip") != std::string::npos) {
            reply.headers.emplace_back("Content-Encoding", "gzip");
            reply.body = testsupport::GzipStored(text);
        } else if (offered.find("deflate") != std::string::npos) {
            reply.headers.emplace_back("Content-Encoding", "deflate");
            reply.body = testsupport::ZlibStored(text);
        } else {
            reply.body = text;
        }
        return reply;
    });
    auto& gzip = NewExchange("/z", 1000);
    ASSERT_TRUE(gzip.Send("Accept-Encoding: gzip\r\n"));
    auto& deflate = NewExchange("/z", 1000);
    ASSERT_TRUE(deflate.Send("Accept-Encoding: deflate\r\n"));
    auto& plain = NewExchange("/z", 1000);
    ASSERT_TRUE(plain.Send());
    ASSERT_TRUE(windowtest::PumpUntil([&] { return gzip.done && deflate.done && plain.done; }));
    EXPECT_EQ(gzip.error, 0u);
    EXPECT_EQ(gzip.body, text);
    EXPECT_EQ(deflate.body, text);
    EXPECT_EQ(plain.body, text);
    std::string encoding;
    EXPECT_TRUE(
        plat::QueryResponseInfo(gzip.Handle(), plat::HTTP_QUERY_CONTENT_ENCODING, &encoding));
    EXPECT_EQ(encoding, "gzip");

    // With decoding off the bytes come as the server sent them.
    ASSERT_TRUE(plat::SetInternetOption(internet_, plat::INTERNET_OPTION_HTTP_DECODING, 0));
    auto& raw = NewExchange("/z", 1000);
    ASSERT_TRUE(raw.Send("Accept-Encoding: gzip\r\n"));
    ASSERT_TRUE(Finish(raw));
    EXPECT_EQ(raw.body, testsupport::GzipStored(text));
}

TEST_F(InternetExchangeTest, BodyLargerThanTheBufferedWindowArrivesIntact) {
    const std::string big = Pattern(3 * 1024 * 1024 + 17);
    server_.On("/big", Reply::Text(200, big));
    auto& exchange = NewExchange("/big", 64 * 1024);
    // A reader that falls behind: the layer holds the transfer back and
    // picks it up again once the reader catches up.
    exchange.hold = true;
    ASSERT_TRUE(exchange.Send());
    ASSERT_TRUE(windowtest::PumpUntil([&] { return exchange.Sent(); }));
    int until = ticks_ + 10;
    ASSERT_TRUE(windowtest::PumpUntil([&] { return ticks_ >= until; }));
    exchange.Release();
    ASSERT_TRUE(Finish(exchange));
    EXPECT_EQ(exchange.error, 0u);
    ASSERT_EQ(exchange.body.size(), big.size());
    EXPECT_TRUE(exchange.body == big);
}

TEST_F(InternetExchangeTest, ErrorStatusesAndUnsizedBodiesAreOrdinaryAnswers) {
    Reply maintenance = Reply::Text(503, "down for maintenance");
    maintenance.headers.emplace_back("Retry-After", "120");
    server_.On("/busy", maintenance);
    server_.On("/gateway", Reply::Text(502, "bad gateway"));
    Reply unsized = Reply::Text(200, Pattern(5000));
    unsized.contentLength = false;
    server_.On("/unsized", unsized);

    auto& busy = NewExchange("/busy");
    auto& gateway = NewExchange("/gateway");
    auto& sized = NewExchange("/unsized", 333);
    ASSERT_TRUE(busy.Send());
    ASSERT_TRUE(gateway.Send());
    ASSERT_TRUE(sized.Send());
    ASSERT_TRUE(windowtest::PumpUntil([&] { return busy.done && gateway.done && sized.done; }));
    EXPECT_EQ(busy.status, 503u);
    EXPECT_EQ(busy.error, 0u);
    EXPECT_EQ(busy.body, "down for maintenance");
    std::string retry;
    EXPECT_TRUE(plat::QueryResponseHeader(busy.Handle(), "Retry-After", &retry));
    EXPECT_EQ(retry, "120");
    EXPECT_EQ(gateway.status, 502u);
    EXPECT_EQ(gateway.body, "bad gateway");
    EXPECT_EQ(sized.error, 0u);
    EXPECT_EQ(sized.body, Pattern(5000));
}

TEST_F(InternetExchangeTest, UploadsCarryTheBodyAndOnlyTheCallersHeaders) {
    server_.On("/form", [](const testsupport::ReceivedRequest& request) {
        return Reply::Text(200, "got " + std::to_string(request.body.size()));
    });
    const std::string body = Pattern(5000);
    auto& post = NewExchange("/form", 4096, "POST");
    ASSERT_TRUE(post.Send("Content-Type: multipart/form-data; boundary=b1\r\n"
                          "X-Tag: 7\r\n",
                          body));
    auto& erase = NewExchange("/form?id=3", 4096, "DELETE");
    ASSERT_TRUE(erase.Send());
    auto& head = NewExchange("/form", 4096, "HEAD");
    ASSERT_TRUE(head.Send());
    ASSERT_TRUE(windowtest::PumpUntil([&] { return post.done && erase.done && head.done; }));
    EXPECT_EQ(post.body, "got 5000");
    EXPECT_TRUE(head.body.empty());
    EXPECT_EQ(head.status, 200u);

    std::map<std::string, testsupport::ReceivedRequest> byMethod;
    for (const auto& request : server_.Requests())
        byMethod[request.method] = request;
    ASSERT_EQ(byMethod.size(), 3u);
    const auto& sent = byMethod["POST"];
    EXPECT_EQ(sent.body, body);
    EXPECT_EQ(sent.Header("Content-Length"), "5000");
    EXPECT_EQ(sent.Header("Content-Type"), "multipart/form-data; boundary=b1");
    EXPECT_EQ(sent.Header("X-Tag"), "7");
    EXPECT_FALSE(sent.HasHeader("Expect"));
    EXPECT_EQ(byMethod["DELETE"].requestLine, "DELETE /form?id=3 HTTP/1.1");
    EXPECT_FALSE(byMethod["DELETE"].HasHeader("Content-Type"));
}

TEST_F(InternetExchangeTest, RawHeadersOfTheAnswerAndOfTheRequestAsSent) {
    Reply reply = Reply::Text(200, "x");
    reply.headers.emplace_back("X-Multi", "one");
    reply.headers.emplace_back("X-Multi", "two");
    server_.On("/h", reply);
    auto& exchange = NewExchange("/h");
    ASSERT_TRUE(exchange.Send("Range: bytes=0-\r\n"));
    ASSERT_TRUE(Finish(exchange));

    std::string raw;
    ASSERT_TRUE(
        plat::QueryResponseInfo(exchange.Handle(), plat::HTTP_QUERY_RAW_HEADERS_CRLF, &raw));
    EXPECT_EQ(raw, "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nX-Multi: one\r\n"
                   "X-Multi: two\r\nContent-Length: 1\r\n\r\n");
    std::string multi;
    EXPECT_TRUE(plat::QueryResponseHeader(exchange.Handle(), "x-multi", &multi));
    EXPECT_EQ(multi, "one");
    std::string statusText;
    EXPECT_TRUE(
        plat::QueryResponseInfo(exchange.Handle(), plat::HTTP_QUERY_STATUS_TEXT, &statusText));
    EXPECT_EQ(statusText, "OK");

    std::string sent;
    ASSERT_TRUE(plat::QueryResponseInfo(
        exchange.Handle(),
        plat::HTTP_QUERY_RAW_HEADERS_CRLF | plat::HTTP_QUERY_FLAG_REQUEST_HEADERS, &sent));
    EXPECT_EQ(sent, server_.Requests()[0].head);

    // Asked for what the answer lacks, or for what this layer does not know.
    std::string none;
    EXPECT_FALSE(plat::QueryResponseInfo(exchange.Handle(), plat::HTTP_QUERY_LOCATION, &none));
    EXPECT_EQ(plat::GetLastError(), plat::kErrHttpHeaderNotFound);
    EXPECT_FALSE(plat::QueryResponseInfo(exchange.Handle(), 9999, &none));
    EXPECT_EQ(plat::GetLastError(), plat::kErrHttpInvalidQueryRequest);
}

} // namespace
