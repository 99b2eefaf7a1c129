// Handles of the HTTP layer: closing requests and the internet handle while
// exchanges run, the owner-thread and handle-kind checks, options and their
// inheritance, sending again on a handle, and pumping without a window.

#include "InternetTestSupport.h"

#include <thread>

namespace {

using inettest::InternetTest;
using testsupport::Reply;

// Handle life and checks; the test's thread.
class InternetHandleTest : public InternetTest {
protected:
    bool NoticeFor(plat::HINTERNET handle, std::size_t from) const {
        for (std::size_t i = from; i < posted_.size(); ++i) {
            if (posted_[i].handle == handle)
                return true;
        }
        return false;
    }
};

TEST_F(InternetHandleTest, ClosedRequestsInFlightAreNeverHeardOfAgain) {
    Reply slow = Reply::Text(200, "late");
    slow.delayMs = 20000;
    server_.On("/slow", slow);
    Reply stalled = Reply::Text(200, std::string(300, 's'));
    stalled.trickleBytes = 100;
    stalled.trickleMs = 20000;
    server_.On("/stalled", stalled);
    server_.On("/fast", Reply::Text(200, "fast"));

    auto& waitingForHead = NewExchange("/slow");
    ASSERT_TRUE(waitingForHead.Send());
    auto& waitingForBody = NewExchange("/stalled", 1000);
    ASSERT_TRUE(waitingForBody.Send());
    ASSERT_TRUE(windowtest::PumpUntil([&] {
        return server_.RequestCount() == 2 && waitingForBody.body.size() == 100 &&
               waitingForBody.pendingReads + waitingForBody.pendingQueries > 0;
    }));
    plat::HINTERNET first = waitingForHead.Handle();
    plat::HINTERNET second = waitingForBody.Handle();
    std::size_t mark = posted_.size();
    waitingForHead.Close();
    waitingForBody.Close();

    // The layer goes on serving other requests; the closed ones stay silent.
    auto& other = NewExchange("/fast");
    ASSERT_TRUE(other.Send());
    ASSERT_TRUE(Finish(other));
    EXPECT_EQ(other.body, "fast");
    EXPECT_FALSE(NoticeFor(first, mark));
    EXPECT_FALSE(NoticeFor(second, mark));
    EXPECT_TRUE(strays_.empty());
    std::uint32_t available = 0;
    EXPECT_FALSE(plat::QueryDataAvailable(second, &available));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidHandle);
}

TEST_F(InternetHandleTest, ClosingTheInternetHandleClosesEverythingUnderIt) {
    Reply slow = Reply::Text(200, "late");
    slow.delayMs = 20000;
    server_.On("/slow", slow);
    auto& a = NewExchange("/slow");
    auto& b = NewExchange("/slow");
    ASSERT_TRUE(a.Send());
    ASSERT_TRUE(b.Send());
    ASSERT_TRUE(windowtest::PumpUntil([&] { return server_.RequestCount() == 2; }));
    std::size_t mark = posted_.size();
    ASSERT_TRUE(plat::CloseInternetHandle(internet_));

    for (plat::HINTERNET handle : {a.Handle(), b.Handle(), connection_, internet_}) {
        std::uint32_t value = 0;
        EXPECT_FALSE(
            plat::QueryInternetOption(handle, plat::INTERNET_OPTION_RECEIVE_TIMEOUT, &value));
        EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidHandle);
    }
    EXPECT_FALSE(plat::PumpInternet(internet_, 0));
    internet_ = 0;
    int until = ticks_ + 5;
    ASSERT_TRUE(windowtest::PumpUntil([&] { return ticks_ >= until; }));
    EXPECT_EQ(posted_.size(), mark);
}

TEST_F(InternetHandleTest, CallsCheckTheOwnerThreadTheHandleKindAndItsState) {
    server_.On("/x", Reply::Text(200, "x"));
    auto& exchange = NewExchange("/x");
    plat::HINTERNET request = exchange.Handle();
    std::uint32_t value = 0;
    char buffer[8];

    // Before any send there is nothing to read.
    EXPECT_FALSE(plat::ReadResponse(request, buffer, sizeof buffer, &value));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInternetIncorrectHandleState);
    // Handles of the wrong kind.
    EXPECT_FALSE(plat::QueryDataAvailable(connection_, &value));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInternetIncorrectHandleType);
    EXPECT_EQ(plat::OpenRequest(request, "GET", "/", "", 0, 0), 0u);
    EXPECT_EQ(plat::GetLastError(), plat::kErrInternetIncorrectHandleType);
    EXPECT_EQ(plat::ConnectServer(connection_, "h", 80, "", "", 0, 0), 0u);
    EXPECT_EQ(plat::GetLastError(), plat::kErrInternetIncorrectHandleType);
    EXPECT_FALSE(plat::CloseInternetHandle(0x7FFFFFF0));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidHandle);

    // Another thread may not touch them.
    plat::ErrorCode sendError = 0;
    plat::ErrorCode pumpError = 0;
    std::thread([&] {
        plat::SendRequest(request, {}, {});
        sendError = plat::GetLastError();
        plat::PumpInternet(internet_, 0);
        pumpError = plat::GetLastError();
    }).join();
    EXPECT_EQ(sendError, plat::kErrAccessDenied);
    EXPECT_EQ(pumpError, plat::kErrAccessDenied);

    // One exchange at a time per handle.
    ASSERT_TRUE(exchange.Send());
    EXPECT_FALSE(plat::SendRequest(request, {}, {}));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInternetIncorrectHandleState);
    ASSERT_TRUE(Finish(exchange));
    EXPECT_EQ(exchange.body, "x");
}

TEST_F(InternetHandleTest, AHandleCanBeSentAgainAndConnectionsAreReused) {
    int served = 0;
    server_.On("/count", [&](const testsupport::ReceivedRequest&) {
        return Reply::Text(200, "answer " + std::to_string(++served));
    });
    auto& exchange = NewExchange("/count");
    ASSERT_TRUE(exchange.Send());
    ASSERT_TRUE(Finish(exchange));
    EXPECT_EQ(exchange.body, "answer 1");

    // Sending again starts a new exchange on the same handle.
    plat::HINTERNET handle = exchange.Handle();
    ASSERT_FALSE(plat::SendRequest(handle, "X-Again: 1\r\n", {}));
    ASSERT_EQ(plat::GetLastError(), plat::kErrIoPending);
    std::size_t mark = posted_.size();
    ASSERT_TRUE(windowtest::PumpUntil([&] { return posted_.size() > mark; }));
    EXPECT_EQ(posted_.back().status, plat::INTERNET_STATUS_REQUEST_COMPLETE);
    char buffer[64];
    std::uint32_t read = 0;
    if (!plat::ReadResponse(handle, buffer, sizeof buffer, &read)) {
        // The body had not come yet: the layer fills the buffer, then tells.
        ASSERT_EQ(plat::GetLastError(), plat::kErrIoPending);
        mark = posted_.size();
        ASSERT_TRUE(windowtest::PumpUntil([&] { return posted_.size() > mark; }));
    }
    EXPECT_EQ(std::string(buffer, read), "answer 2");

    auto& later = NewExchange("/count");
    ASSERT_TRUE(later.Send());
    ASSERT_TRUE(Finish(later));
    EXPECT_EQ(later.body, "answer 3");
    EXPECT_EQ(server_.Requests()[1].Header("X-Again"), "1");
    // One connection carried all three.
    EXPECT_EQ(server_.ConnectionCount(), 1u);
}

TEST_F(InternetHandleTest, OptionsInheritFromTheirParentsAndApplyWhereTheyBelong) {
    auto& exchange = NewExchange("/x");
    plat::HINTERNET request = exchange.Handle();
    auto value = [](plat::HINTERNET handle, std::uint32_t option) {
        std::uint32_t got = 0xDEAD;
        EXPECT_TRUE(plat::QueryInternetOption(handle, option, &got)) << plat::GetLastError();
        return got;
    };
    EXPECT_EQ(value(request, plat::INTERNET_OPTION_CONNECT_TIMEOUT), 60000u);
    ASSERT_TRUE(plat::SetInternetOption(internet_, plat::INTERNET_OPTION_RECEIVE_TIMEOUT, 1234));
    EXPECT_EQ(value(request, plat::INTERNET_OPTION_RECEIVE_TIMEOUT), 1234u);
    ASSERT_TRUE(plat::SetInternetOption(connection_, plat::INTERNET_OPTION_RECEIVE_TIMEOUT, 555));
    ASSERT_TRUE(plat::SetInternetOption(request, plat::INTERNET_OPTION_RECEIVE_TIMEOUT, 7));
    EXPECT_EQ(value(request, plat::INTERNET_OPTION_RECEIVE_TIMEOUT), 7u);
    EXPECT_EQ(value(connection_, plat::INTERNET_OPTION_RECEIVE_TIMEOUT), 555u);
    EXPECT_EQ(value(internet_, plat::INTERNET_OPTION_RECEIVE_TIMEOUT), 1234u);

    // Read, add, write back: how the transport waives certificate checks.
    std::uint32_t flags = value(request, plat::INTERNET_OPTION_SECURITY_FLAGS);
    ASSERT_TRUE(
        plat::SetInternetOption(request, plat::INTERNET_OPTION_SECURITY_FLAGS, flags | 0x180));
    EXPECT_EQ(value(request, plat::INTERNET_OPTION_SECURITY_FLAGS), flags | 0x180);
    EXPECT_EQ(value(internet_, plat::INTERNET_OPTION_CONNECTED_STATE),
              plat::INTERNET_STATE_CONNECTED);

    std::uint32_t ignored = 0;
    EXPECT_FALSE(plat::SetInternetOption(connection_, plat::INTERNET_OPTION_SECURITY_FLAGS, 1));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInternetIncorrectHandleType);
    EXPECT_FALSE(
        plat::QueryInternetOption(request, plat::INTERNET_OPTION_CONNECTED_STATE, &ignored));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInternetIncorrectHandleType);
    EXPECT_FALSE(plat::SetInternetOption(internet_, 9999, 1));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInternetInvalidOption);
    EXPECT_FALSE(
        plat::SetInternetOption(internet_, plat::INTERNET_OPTION_MAX_CONNS_PER_SERVER, 32));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInternetIncorrectHandleType);

    // The connection limit belongs to the process.
    std::uint32_t before = value(0, plat::INTERNET_OPTION_MAX_CONNS_PER_SERVER);
    ASSERT_TRUE(plat::SetInternetOption(0, plat::INTERNET_OPTION_MAX_CONNS_PER_SERVER, 32));
    EXPECT_EQ(value(0, plat::INTERNET_OPTION_MAX_CONNS_PER_SERVER), 32u);
    plat::SetInternetOption(0, plat::INTERNET_OPTION_MAX_CONNS_PER_SERVER, before);
}

TEST_F(InternetHandleTest, OwnerWithoutAWindowPumpsByItself) {
    server_.On("/direct", Reply::Text(200, "direct"));
    plat::HINTERNET internet =
        plat::OpenInternet("agent/1", plat::INTERNET_OPEN_TYPE_DIRECT, {}, {}, 0);
    ASSERT_NE(internet, 0u);
    std::vector<plat::InternetAsyncResult> results;
    ASSERT_TRUE(plat::SetStatusCallback(internet, [&](plat::HINTERNET, std::uintptr_t context,
                                                      std::uint32_t status, const void* info,
                                                      std::uint32_t length) {
        EXPECT_EQ(context, 99u);
        if (status == plat::INTERNET_STATUS_REQUEST_COMPLETE &&
            length == sizeof(plat::InternetAsyncResult))
            results.push_back(*static_cast<const plat::InternetAsyncResult*>(info));
    }));
    plat::HINTERNET connection =
        plat::ConnectServer(internet, "127.0.0.1", server_.Port(), "", "", 0, 0);
    plat::HINTERNET request = plat::OpenRequest(connection, "GET", "/direct", "", 0, 99);
    ASSERT_FALSE(plat::SendRequest(request, {}, {}));
    ASSERT_EQ(plat::GetLastError(), plat::kErrIoPending);
    // Bounded: 600 pumps of at most 100 ms each.
    for (int i = 0; i < 600 && results.empty(); ++i)
        ASSERT_TRUE(plat::PumpInternet(internet, 100));
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].result, 1u);
    std::uint32_t status = 0;
    ASSERT_TRUE(plat::QueryResponseNumber(request, plat::HTTP_QUERY_STATUS_CODE, &status));
    EXPECT_EQ(status, 200u);
    std::string body(16, '\0');
    std::uint32_t read = 0;
    bool ready = plat::ReadResponse(request, body.data(), 16, &read);
    for (int i = 0; i < 600 && !ready && results.size() == 1; ++i)
        ASSERT_TRUE(plat::PumpInternet(internet, 100));
    EXPECT_EQ(body.substr(0, read), "direct");
    EXPECT_EQ(server_.Requests()[0].Header("User-Agent"), "agent/1");
    EXPECT_FALSE(server_.Requests()[0].HasHeader("Accept"));
    EXPECT_TRUE(plat::CloseInternetHandle(internet));
}

} // namespace
