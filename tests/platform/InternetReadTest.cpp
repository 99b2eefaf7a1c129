// Reads that wait: a waiting read's buffer fills from the body as it arrives
// and the read completes once the buffer is full, at the body's end with
// fewer bytes, or before a failure with the bytes it got.

#include "InternetTestSupport.h"

#include <cstring>

namespace {

using inettest::InternetTest;
using testsupport::Reply;

std::string Letters(std::size_t size) {
    std::string text(size, 'a');
    for (std::size_t i = 0; i < size; ++i)
        text[i] = static_cast<char>('a' + (i * 5 + i / 26) % 26);
    return text;
}

// Reads by hand on a request whose send has completed. Owner thread only.
class InternetReadTest : public InternetTest {
protected:
    // Sends and waits for the send's notice; the exchange reads nothing.
    inettest::Exchange& Sent(const std::string& object) {
        auto& exchange = NewExchange(object);
        exchange.hold = true;
        EXPECT_TRUE(exchange.Send());
        EXPECT_TRUE(windowtest::PumpUntil([&] { return exchange.Sent(); }));
        return exchange;
    }

    // Reads what is there already into `body`; true when a read of the
    // buffer's size then had to wait (997), which it leaves waiting.
    bool DrainUntilWaiting(plat::HINTERNET handle, std::string* buffer, std::string* body) {
        for (;;) {
            if (!plat::ReadResponse(handle, buffer->data(),
                                    static_cast<std::uint32_t>(buffer->size()), &read_))
                return plat::GetLastError() == plat::kErrIoPending;
            if (read_ == 0)
                return false; // the body ended first
            body->append(buffer->data(), read_);
        }
    }

    // Pumps until the waiting read's notice; its result.
    plat::InternetAsyncResult AwaitRead(plat::HINTERNET handle, std::size_t mark) {
        plat::InternetAsyncResult result{0xFFFFFFFF, 0xFFFFFFFF};
        EXPECT_TRUE(windowtest::PumpUntil([&] {
            for (std::size_t i = mark; i < posted_.size(); ++i) {
                const inettest::Notice& notice = posted_[i];
                if (notice.handle == handle &&
                    notice.status == plat::INTERNET_STATUS_REQUEST_COMPLETE &&
                    notice.info.size() == sizeof result) {
                    std::memcpy(&result, notice.info.data(), sizeof result);
                    return true;
                }
            }
            return false;
        }));
        return result;
    }

    std::uint32_t read_ = 0; // where a waiting read reports its count
};

TEST_F(InternetReadTest, AWaitingReadFillsItsWholeBufferBeforeItCompletes) {
    const std::string content = Letters(1200);
    Reply reply = Reply::Text(200, content);
    reply.trickleBytes = 50;
    reply.trickleMs = 10;
    server_.On("/trickle", reply);
    auto& exchange = Sent("/trickle");
    plat::HINTERNET handle = exchange.Handle();

    std::string body;
    std::string buffer(400, '\0');
    std::size_t mark = posted_.size();
    ASSERT_TRUE(DrainUntilWaiting(handle, &buffer, &body));
    ASSERT_LE(body.size() + buffer.size(), content.size());
    // Eight pieces of 50 bytes make up the one completion.
    plat::InternetAsyncResult result = AwaitRead(handle, mark);
    EXPECT_EQ(result.result, 1u);
    EXPECT_EQ(result.error, 0u);
    ASSERT_EQ(read_, buffer.size());
    body.append(buffer.data(), read_);

    // The rest comes the same way, and the end reads as 0 bytes.
    while (body.size() < content.size()) {
        mark = posted_.size();
        if (DrainUntilWaiting(handle, &buffer, &body)) {
            ASSERT_EQ(AwaitRead(handle, mark).result, 1u);
            body.append(buffer.data(), read_);
        }
    }
    std::uint32_t read = 7;
    ASSERT_TRUE(plat::ReadResponse(handle, buffer.data(), 400, &read));
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(body, content);
}

TEST_F(InternetReadTest, AWaitingReadEndsWithTheBodyHoldingFewerBytes) {
    const std::string content = Letters(300);
    Reply reply = Reply::Text(200, content);
    reply.trickleBytes = 100;
    reply.trickleMs = 20;
    server_.On("/short", reply);
    auto& exchange = Sent("/short");
    plat::HINTERNET handle = exchange.Handle();

    std::string body;
    std::string buffer(64 * 1024, '\0');
    std::size_t mark = posted_.size();
    ASSERT_TRUE(DrainUntilWaiting(handle, &buffer, &body));
    EXPECT_EQ(AwaitRead(handle, mark).result, 1u);
    ASSERT_GT(read_, 0u);
    ASSERT_LT(read_, buffer.size());
    body.append(buffer.data(), read_);
    EXPECT_EQ(body, content);
    std::uint32_t available = 9;
    ASSERT_TRUE(plat::QueryDataAvailable(handle, &available));
    EXPECT_EQ(available, 0u);
}

TEST_F(InternetReadTest, ACutWhileAReadWaitsGivesItsBytesThenTheFailure) {
    const std::string content = Letters(5000);
    Reply reply = Reply::Text(200, content);
    reply.trickleBytes = 500;
    reply.trickleMs = 10;
    reply.cutAfter = 3000;
    server_.On("/cut", reply);
    auto& exchange = Sent("/cut");
    plat::HINTERNET handle = exchange.Handle();

    std::string body;
    std::string buffer(8000, '\0');
    std::size_t mark = posted_.size();
    ASSERT_TRUE(DrainUntilWaiting(handle, &buffer, &body));
    plat::InternetAsyncResult result = AwaitRead(handle, mark);
    EXPECT_EQ(result.result, 1u);
    body.append(buffer.data(), read_);
    EXPECT_EQ(body, content.substr(0, 3000));

    std::uint32_t read = 0;
    EXPECT_FALSE(plat::ReadResponse(handle, buffer.data(), 8000, &read));
    plat::ErrorCode error = plat::GetLastError();
    EXPECT_TRUE(error == plat::kErrInternetConnectionAborted ||
                error == plat::kErrInternetConnectionReset)
        << error;
}

} // namespace
