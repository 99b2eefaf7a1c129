// The HTTP layer against a real nginx on 127.0.0.1: byte ranges, a redirect
// answer and a rate-limited body.

#include "InternetTestSupport.h"
#include "support/NginxServer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

using namespace inettest;

class InternetNginxTest : public InternetTest {
protected:
    void StartNginx(std::uint64_t limitRate = 0) {
        body = std::string(300000, '\0');
        for (std::size_t i = 0; i < body.size(); ++i)
            body[i] = static_cast<char>((i * 131) ^ (i >> 8));
        testsupport::WriteTestFile(files.File(L"pkg/data.bin"), body);
        ASSERT_TRUE(
            nginx.Start(files.NarrowPath(), {{"/old.bin", "/pkg/data.bin", 302}}, limitRate))
            << "nginx did not start (logs in " << nginx.Prefix() << ")";
        connection = Connect("127.0.0.1", nginx.Port());
        ASSERT_NE(connection, 0u);
    }

    testsupport::TempDir files;
    testsupport::NginxServer nginx;
    plat::HINTERNET connection = 0;
    std::string body;
};

TEST_F(InternetNginxTest, RangesAndRedirectsFromARealServer) {
    StartNginx();
    auto& whole = NewExchange("/pkg/data.bin", 65536, "GET", kDownloaderFlags, connection);
    ASSERT_TRUE(whole.Send());
    auto& range = NewExchange("/pkg/data.bin", 4096, "GET", kDownloaderFlags, connection);
    ASSERT_TRUE(range.Send("Range: bytes=1000-250999\r\n"));
    auto& moved = NewExchange("/old.bin", 4096, "GET", kDownloaderFlags, connection);
    ASSERT_TRUE(moved.Send());
    ASSERT_TRUE(windowtest::PumpUntil([&] { return whole.done && range.done && moved.done; }));

    EXPECT_EQ(whole.status, 200u);
    EXPECT_EQ(whole.error, 0u);
    EXPECT_EQ(whole.body.size(), body.size());
    EXPECT_TRUE(whole.body == body);
    EXPECT_EQ(range.status, 206u);
    EXPECT_TRUE(range.body == body.substr(1000, 250000));
    EXPECT_EQ(moved.status, 302u);
    EXPECT_NE(moved.location.find("/pkg/data.bin"), std::string::npos) << moved.location;
}

TEST_F(InternetNginxTest, RateLimitedBodyStillArrivesWhole) {
    StartNginx(200000); // bytes per second: the body takes more than one second
    auto& slow = NewExchange("/pkg/data.bin", 8192, "GET", kDownloaderFlags, connection);
    ASSERT_TRUE(slow.Send());
    ASSERT_TRUE(Finish(slow));
    EXPECT_EQ(slow.error, 0u);
    EXPECT_EQ(slow.body.size(), body.size());
    EXPECT_TRUE(slow.body == body);
    EXPECT_GT(slow.pendingReads + slow.pendingQueries, 0);
}

} // namespace
