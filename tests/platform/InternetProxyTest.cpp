// The proxy requests go through: the environment's (the preconfigured
// proxy), one given to OpenInternet with its bypass list, or none. A small
// CONNECT-capable proxy of the test's own on 127.0.0.1 shows what went
// through it; HTTPS goes through its tunnel.

#include "InternetTestSupport.h"
#include "InternetTlsServer.h"
#include "support/ScopedEnv.h"
#include "support/TestProxy.h"

#include <memory>

namespace {

using testsupport::Reply;
using testsupport::ScopedEnv;
using testsupport::TestProxy;

// Every proxy variable the environment may hold, removed for a test.
class CleanProxyEnvironment {
public:
    CleanProxyEnvironment() {
        for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
                                 "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"})
            cleared_.push_back(std::make_unique<ScopedEnv>(name, nullptr));
    }

private:
    std::vector<std::unique_ptr<ScopedEnv>> cleared_;
};

class InternetProxyTest : public inettest::InternetTest {
protected:
    void SetUp() override {
        clean_ = std::make_unique<CleanProxyEnvironment>();
        InternetTest::SetUp();
        ASSERT_TRUE(proxy_.Start());
        server_.On("/via", Reply::Text(200, "answer"));
    }
    void TearDown() override {
        InternetTest::TearDown();
        proxy_.Stop();
        clean_.reset();
    }
    // One GET of /via on the test server: 0 and the body, or the failure.
    plat::ErrorCode Fetch(std::string* body = nullptr) {
        auto& exchange = NewExchange("/via");
        EXPECT_TRUE(exchange.Send());
        EXPECT_TRUE(Finish(exchange));
        if (body != nullptr)
            *body = exchange.body;
        return exchange.error;
    }
    std::string Target() const { return "GET http://127.0.0.1:" + std::to_string(server_.Port()); }

    std::unique_ptr<CleanProxyEnvironment> clean_;
    TestProxy proxy_;
};

TEST_F(InternetProxyTest, ThePreconfiguredProxyIsTheEnvironments) {
    ScopedEnv proxy("http_proxy", proxy_.Url());
    ASSERT_TRUE(Reopen(plat::INTERNET_OPEN_TYPE_PRECONFIG));
    std::string body;
    EXPECT_EQ(Fetch(&body), 0u);
    EXPECT_EQ(body, "answer");
    ASSERT_EQ(proxy_.Requests().size(), 1u);
    EXPECT_EQ(proxy_.Requests()[0], Target() + "/via HTTP/1.1");
    EXPECT_EQ(server_.RequestCount(), 1u);

    // Its bypass list and a direct handle keep requests away from it.
    ScopedEnv bypass("no_proxy", "127.0.0.1");
    ASSERT_TRUE(Reopen(plat::INTERNET_OPEN_TYPE_PRECONFIG));
    EXPECT_EQ(Fetch(&body), 0u);
    ASSERT_TRUE(Reopen(plat::INTERNET_OPEN_TYPE_DIRECT));
    EXPECT_EQ(Fetch(&body), 0u);
    EXPECT_EQ(proxy_.Requests().size(), 1u);
    EXPECT_EQ(server_.RequestCount(), 3u);
}

TEST_F(InternetProxyTest, AGivenProxyAndItsBypassList) {
    // The environment does not count for a given proxy.
    ScopedEnv elsewhere("http_proxy", "http://127.0.0.1:1");
    ASSERT_TRUE(Reopen(plat::INTERNET_OPEN_TYPE_PROXY, proxy_.Address(), "*.example.com"));
    std::string body;
    EXPECT_EQ(Fetch(&body), 0u);
    EXPECT_EQ(body, "answer");
    EXPECT_EQ(proxy_.Requests().size(), 1u);

    ASSERT_TRUE(Reopen(plat::INTERNET_OPEN_TYPE_PROXY, "http=" + proxy_.Address(), "127.0.0.*"));
    EXPECT_EQ(Fetch(&body), 0u);
    EXPECT_EQ(proxy_.Requests().size(), 1u);
    // A PROXY access without a proxy is refused.
    EXPECT_EQ(plat::OpenInternet("agent", plat::INTERNET_OPEN_TYPE_PROXY, "", "", 0), 0u);
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidParameter);
}

// HTTPS goes through the proxy's tunnel, with the server's certificate
// checked end to end.
TEST_F(InternetProxyTest, SecureRequestsTunnelThroughTheProxy) {
    inettest::TlsServer tls("IP:127.0.0.1", false);
    ScopedEnv proxy("https_proxy", proxy_.Url());
    ASSERT_TRUE(Reopen(plat::INTERNET_OPEN_TYPE_PRECONFIG));
    plat::HINTERNET connection = Connect("127.0.0.1", tls.Port());
    auto& strict = NewExchange("/", 4096, "GET", plat::INTERNET_FLAG_SECURE, connection);
    ASSERT_TRUE(strict.Send());
    ASSERT_TRUE(Finish(strict));
    EXPECT_EQ(strict.error, plat::kErrInternetInvalidCa);
    auto& waived = NewExchange("/", 4096, "GET", plat::INTERNET_FLAG_SECURE, connection);
    ASSERT_TRUE(plat::SetInternetOption(waived.Handle(), plat::INTERNET_OPTION_SECURITY_FLAGS,
                                        plat::SECURITY_FLAG_IGNORE_UNKNOWN_CA));
    ASSERT_TRUE(waived.Send());
    ASSERT_TRUE(Finish(waived));
    EXPECT_EQ(waived.error, 0u);
    EXPECT_EQ(waived.body, "secure");
    auto requests = proxy_.Requests();
    ASSERT_GE(requests.size(), 1u);
    EXPECT_EQ(requests.back(), "CONNECT 127.0.0.1:" + std::to_string(tls.Port()) + " HTTP/1.1");
}

// A proxy that cannot be reached fails the request with its own number.
TEST_F(InternetProxyTest, AnUnreachableProxyIsReported) {
    ScopedEnv proxy("http_proxy", "http://127.0.0.1:" + std::to_string(testsupport::UnusedPort()));
    ASSERT_TRUE(Reopen(plat::INTERNET_OPEN_TYPE_PRECONFIG));
    plat::ErrorCode error = Fetch();
    EXPECT_TRUE(error == plat::kErrInternetCannotConnect ||
                error == plat::kErrInternetProxyServerUnreachable)
        << error;
    EXPECT_EQ(server_.RequestCount(), 0u);
}

} // namespace
