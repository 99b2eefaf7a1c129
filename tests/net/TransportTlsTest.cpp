// A request to a TLS server whose certificate no known authority issued:
// without the unknown-issuer waiver the exchange fails with 12045, which the
// transport answers by sending the request again, a bounded number of times.

#include "NetTestSupport.h"
#include "platform/Error.h"
#include "platform/InternetTlsServer.h"

#include <string>

namespace {

using nettest::TransportTest;

using TransportTlsTest = TransportTest;

std::unique_ptr<NetEx::CRequestHttx> SecureRequest(std::uint32_t id, std::uint32_t securityFlags) {
    auto request = std::make_unique<NetEx::CRequestHttx>();
    request->Init({.contextId = 0,
                   .requestId = id,
                   .url = "/",
                   .openFlags = nettest::kDownloaderFlags,
                   .securityFlags = securityFlags});
    return request;
}

TEST_F(TransportTlsTest, AnUnknownIssuerIsSentAgainThreeTimesThenFails) {
    inettest::TlsServer tls("IP:127.0.0.1", false);
    ASSERT_TRUE(MakeContext(client_, 0, "https://127.0.0.1:" + std::to_string(tls.Port()) + "/"));

    // The downloader's open flags waive the name and date checks, not the
    // issuer: the first attempt and each re-send fail the same way.
    auto done = Run(SecureRequest(1, 0));
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->GetErrorCode(), plat::kErrInternetInvalidCa);
    EXPECT_EQ(done->GetErrorKind(), NetEx::kErrorKindFailed);
    EXPECT_EQ(done->GetStatusCode(), 0u);
    EXPECT_EQ(tls.Connections(), 1 + static_cast<int>(NetEx::CContextHttx::kMaxInvalidCaResends));
    EXPECT_EQ(NetEx::CContextHttx::kMaxInvalidCaResends, 3u);

    // With the waiver one attempt is enough; the bound is per request.
    done = Run(SecureRequest(2, plat::SECURITY_FLAG_IGNORE_UNKNOWN_CA));
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->GetErrorCode(), 0u);
    EXPECT_EQ(done->GetStatusCode(), 200u);
    EXPECT_EQ(done->GetResponseBody().View().substr(0, done->GetBodySize()), "secure");
    EXPECT_EQ(tls.Connections(), 5);

    done = Run(SecureRequest(3, 0));
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->GetErrorCode(), plat::kErrInternetInvalidCa);
    EXPECT_EQ(tls.Connections(), 9);
}

} // namespace
