// Server certificates through the transport. The downloader's requests
// carry flags that waive the name, date, issuer and revocation checks; the
// transport lets them waive anything only when the distribution opted in
// (InternetParams::certificateWaivers), so by default an expired, a
// self-signed and a wrong-name certificate are all refused. An unknown
// issuer (12045) is answered by sending the request again, a bounded number
// of times.

#include "NetTestSupport.h"
#include "platform/Error.h"
#include "platform/InternetTlsServer.h"
#include "support/TrustedCa.h"

#include <string>

namespace {

using inettest::TestCa;
using inettest::TlsServer;
using nettest::TransportTest;

constexpr std::uint32_t kDownloaderSecurityFlags = 0x180;

class TransportTlsTest : public TransportTest {
protected:
    // A request for "/" on the TLS server, by default with the downloader's
    // flags.
    std::unique_ptr<NetEx::CRequestHttx>
    Fetch(const TlsServer& tls, std::uint32_t id, std::uint32_t securityFlags,
          std::uint32_t openFlags = nettest::kDownloaderFlags) {
        if (!contextMade_) {
            if (!MakeContext(client_, 0, "https://127.0.0.1:" + std::to_string(tls.Port()) + "/"))
                return nullptr;
            contextMade_ = true;
        }
        auto request = std::make_unique<NetEx::CRequestHttx>();
        request->Init({.contextId = 0,
                       .requestId = id,
                       .url = "/",
                       .openFlags = openFlags,
                       .securityFlags = securityFlags});
        return Run(std::move(request));
    }
    // Reopens the internet handle with the distribution's opt-in.
    bool OptIn() {
        if (!transport_.CloseInternet())
            return false;
        contextMade_ = false;
        NetEx::InternetParams params;
        params.userAgent = nettest::kAgent;
        params.accessType = plat::INTERNET_OPEN_TYPE_DIRECT;
        params.certificateWaivers = true;
        return transport_.OpenInternet(params) && transport_.CertificateWaiversAllowed();
    }
    // The test's context points at one server; a new server needs a new one.
    void NewServer() {
        if (contextMade_)
            client_->PostDestroyContext(0);
        contextMade_ = false;
    }

    bool contextMade_ = false;
};

TEST_F(TransportTlsTest, AnUnknownIssuerIsSentAgainThreeTimesThenFails) {
    TlsServer tls("IP:127.0.0.1", false);
    // The downloader's flags waive the issuer check, but without the
    // opt-in nothing is waived: each attempt and re-send fails alike.
    auto done = Fetch(tls, 1, kDownloaderSecurityFlags);
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->GetErrorCode(), plat::kErrInternetInvalidCa);
    EXPECT_EQ(done->GetErrorKind(), NetEx::kErrorKindFailed);
    EXPECT_EQ(done->GetStatusCode(), 0u);
    EXPECT_EQ(done->GetBodySize(), 0u);
    EXPECT_EQ(tls.Connections(), 1 + static_cast<int>(NetEx::CContextHttx::kMaxInvalidCaResends));
    EXPECT_EQ(NetEx::CContextHttx::kMaxInvalidCaResends, 3u);
    // The request still carries the flags it was given.
    EXPECT_EQ(done->GetOpenFlags(), nettest::kDownloaderFlags);
    EXPECT_EQ(done->GetSecurityFlags(), kDownloaderSecurityFlags);

    // The bound is per request.
    done = Fetch(tls, 2, kDownloaderSecurityFlags);
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->GetErrorCode(), plat::kErrInternetInvalidCa);
    EXPECT_EQ(tls.Connections(), 8);
}

// Expired, self-signed and for another name: refused by default with the
// downloader's flags, accepted with them once the distribution opted in.
TEST_F(TransportTlsTest, FaultyCertificatesNeedThePublishersOptIn) {
    TestCa ca;
    testsupport::TrustedCa trusted(ca.Pem());
    ASSERT_TRUE(trusted.Ok());
    struct Case {
        const char* what;
        std::unique_ptr<TlsServer> server;
        plat::ErrorCode refusal;
    };
    Case cases[] = {
        {"expired", std::make_unique<TlsServer>("IP:127.0.0.1", true, &ca),
         plat::kErrInternetSecCertDateInvalid},
        {"self-signed", std::make_unique<TlsServer>("IP:127.0.0.1", false),
         plat::kErrInternetInvalidCa},
        {"another name", std::make_unique<TlsServer>("DNS:updates.example.com", false, &ca),
         plat::kErrInternetSecCertCnInvalid},
    };
    std::uint32_t id = 1;
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        NewServer();
        auto done = Fetch(*c.server, id++, kDownloaderSecurityFlags);
        ASSERT_NE(done, nullptr);
        EXPECT_EQ(done->GetErrorCode(), c.refusal);
        EXPECT_EQ(done->GetStatusCode(), 0u);
        EXPECT_EQ(done->GetBodySize(), 0u);
    }
    // A sound certificate of the trust store passes without any opt-in.
    TlsServer sound("IP:127.0.0.1", false, &ca);
    NewServer();
    auto done = Fetch(sound, id++, kDownloaderSecurityFlags);
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->GetErrorCode(), 0u);
    EXPECT_EQ(done->GetStatusCode(), 200u);

    ASSERT_TRUE(OptIn());
    for (Case& c : cases) {
        SCOPED_TRACE(std::string("opted in, ") + c.what);
        NewServer();
        done = Fetch(*c.server, id++, kDownloaderSecurityFlags);
        ASSERT_NE(done, nullptr);
        EXPECT_EQ(done->GetErrorCode(), 0u);
        EXPECT_EQ(done->GetStatusCode(), 200u);
        EXPECT_EQ(done->GetResponseBody().View().substr(0, done->GetBodySize()), "secure");
        // The opt-in makes a request's waivers count; it waives nothing a
        // request does not name.
        done = Fetch(*c.server, id++, 0, 0);
        ASSERT_NE(done, nullptr);
        EXPECT_EQ(done->GetErrorCode(), c.refusal);
    }
}

} // namespace
