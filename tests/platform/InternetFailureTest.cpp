// Exchanges that fail, and the WinINet number each failure reports: cut
// connections (after the bytes that did arrive), time-outs, refused
// connections, names that never resolve, peers that do not speak HTTP or
// TLS, and bodies that cannot be decoded.

#include "InternetTestSupport.h"

namespace {

using inettest::InternetTest;
using testsupport::Reply;

std::string Digits(std::size_t size) {
    std::string text(size, '0');
    for (std::size_t i = 0; i < size; ++i)
        text[i] = static_cast<char>('0' + i % 10);
    return text;
}

// Failed exchanges; the test's thread.
class InternetFailureTest : public InternetTest {};

TEST_F(InternetFailureTest, CutConnectionDeliversTheBytesBeforeTheFailure) {
    const std::string body = Digits(20000);
    Reply closed = Reply::Text(200, body);
    closed.cutAfter = 4000;
    server_.On("/closed", closed);
    Reply reset = closed;
    reset.resetOnCut = true;
    server_.On("/reset", reset);

    auto& first = NewExchange("/closed", 1000);
    ASSERT_TRUE(first.Send());
    ASSERT_TRUE(Finish(first));
    EXPECT_EQ(first.error, plat::kErrInternetConnectionAborted);
    EXPECT_EQ(first.status, 200u);
    EXPECT_EQ(first.body, body.substr(0, 4000));
    EXPECT_TRUE(first.connectionClosed);

    auto& second = NewExchange("/reset", 1000);
    ASSERT_TRUE(second.Send());
    ASSERT_TRUE(Finish(second));
    // A reset may overtake bytes still on their way; those that came are
    // the start of the body.
    EXPECT_EQ(second.error, plat::kErrInternetConnectionReset);
    EXPECT_EQ(second.body, body.substr(0, second.body.size()));
    EXPECT_TRUE(second.connectionClosed);
}

TEST_F(InternetFailureTest, SilentServerTimesOutBeforeAndDuringTheBody) {
    Reply late = Reply::Text(200, "too late");
    late.delayMs = 20000;
    server_.On("/late", late);
    Reply stalled = Reply::Text(200, Digits(300));
    stalled.trickleBytes = 100;
    stalled.trickleMs = 20000;
    server_.On("/stalled", stalled);

    auto& waiting = NewExchange("/late");
    waiting.SetTimeouts(300);
    ASSERT_TRUE(waiting.Send());
    auto& reading = NewExchange("/stalled", 10);
    reading.SetTimeouts(300);
    ASSERT_TRUE(reading.Send());
    ASSERT_TRUE(windowtest::PumpUntil([&] { return waiting.done && reading.done; }));
    EXPECT_EQ(waiting.error, plat::kErrInternetTimeout);
    EXPECT_EQ(reading.error, plat::kErrInternetTimeout);
    EXPECT_EQ(reading.body, Digits(100));
}

// One byte now and then keeps the time-out away; the slow-transfer floor
// ends such a transfer the same way, with 12002, a window after the
// connection stands.
TEST_F(InternetFailureTest, ATrickleBelowTheFloorTimesOut) {
    std::uint32_t value = 0;
    ASSERT_TRUE(
        plat::QueryInternetOption(internet_, plat::INTERNET_OPTION_SLOW_TRANSFER_FLOOR, &value));
    EXPECT_EQ(value, plat::kDefaultSlowTransferFloor);
    ASSERT_TRUE(
        plat::QueryInternetOption(internet_, plat::INTERNET_OPTION_SLOW_TRANSFER_WINDOW, &value));
    EXPECT_EQ(value, 60000u);

    Reply trickle = Reply::Text(200, Digits(1000));
    trickle.trickleBytes = 1;
    trickle.trickleMs = 40;
    server_.On("/trickle", trickle);
    auto& slow = NewExchange("/trickle", 4096);
    ASSERT_TRUE(
        plat::SetInternetOption(slow.Handle(), plat::INTERNET_OPTION_SLOW_TRANSFER_FLOOR, 100));
    ASSERT_TRUE(
        plat::SetInternetOption(slow.Handle(), plat::INTERNET_OPTION_SLOW_TRANSFER_WINDOW, 600));
    ASSERT_TRUE(slow.Send());
    ASSERT_TRUE(Finish(slow));
    EXPECT_EQ(slow.error, plat::kErrInternetTimeout);
    // The bytes before the end are kept, as for any time-out.
    EXPECT_FALSE(slow.body.empty());
    EXPECT_LT(slow.body.size(), 1000u);
}

TEST_F(InternetFailureTest, UnreachableServersFailWithTheirOwnNumbers) {
    plat::HINTERNET refused = Connect("127.0.0.1", testsupport::UnusedPort());
    auto& noListener = NewExchange("/x", 4096, "GET", inettest::kDownloaderFlags, refused);
    ASSERT_TRUE(noListener.Send());
    // The reserved top-level domain never resolves, and no name server is asked.
    plat::HINTERNET nowhere = Connect("updates.example.invalid", 80);
    auto& noName = NewExchange("/x", 4096, "GET", inettest::kDownloaderFlags, nowhere);
    ASSERT_TRUE(noName.Send());
    ASSERT_TRUE(windowtest::PumpUntil([&] { return noListener.done && noName.done; }));
    EXPECT_EQ(noListener.error, plat::kErrInternetCannotConnect);
    EXPECT_EQ(noName.error, plat::kErrInternetNameNotResolved);
    // No answer: nothing to query.
    std::string text;
    EXPECT_FALSE(plat::QueryResponseInfo(noName.Handle(), plat::HTTP_QUERY_STATUS_CODE, &text));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInternetIncorrectHandleState);
}

TEST_F(InternetFailureTest, AnswersThatAreNotHttpAreInvalidResponses) {
    Reply garbage;
    garbage.raw = std::string("SSH-2.0-OpenSSH\r\n\r\n");
    server_.On("/garbage", garbage);
    Reply nothing;
    nothing.raw = std::string();
    server_.On("/nothing", nothing);
    auto& first = NewExchange("/garbage");
    ASSERT_TRUE(first.Send());
    ASSERT_TRUE(Finish(first));
    auto& second = NewExchange("/nothing");
    ASSERT_TRUE(second.Send());
    ASSERT_TRUE(Finish(second));
    EXPECT_EQ(first.error, plat::kErrHttpInvalidServerResponse);
    EXPECT_EQ(second.error, plat::kErrHttpInvalidServerResponse);
}

TEST_F(InternetFailureTest, BodyThatDoesNotDecodeFails) {
    Reply broken = Reply::Text(200, "this is not gzip at all");
    broken.headers.emplace_back("Content-Encoding", "gzip");
    server_.On("/broken", broken);
    auto& exchange = NewExchange("/broken");
    ASSERT_TRUE(exchange.Send("Accept-Encoding: gzip\r\n"));
    ASSERT_TRUE(Finish(exchange));
    EXPECT_EQ(exchange.error, plat::kErrInternetDecodingFailed);
}

TEST_F(InternetFailureTest, SecureRequestToAPlainPeerIsASecureChannelError) {
    server_.GreetWith("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n");
    auto& exchange =
        NewExchange("/", 4096, "GET", inettest::kDownloaderFlags | plat::INTERNET_FLAG_SECURE);
    ASSERT_TRUE(plat::SetInternetOption(exchange.Handle(), plat::INTERNET_OPTION_SECURITY_FLAGS,
                                        plat::SECURITY_FLAG_IGNORE_UNKNOWN_CA));
    ASSERT_TRUE(exchange.Send());
    ASSERT_TRUE(Finish(exchange));
    EXPECT_EQ(exchange.error, plat::kErrInternetSecurityChannelError);
    EXPECT_EQ(server_.RequestCount(), 0u);
}

} // namespace
