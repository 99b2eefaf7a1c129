// HTTPS certificate checks: a request waives exactly the checks its flags
// name, and a failed check reports the WinINet number of its kind. The peer
// is a small TLS server with a self-signed certificate made for each test.

#include "InternetTestSupport.h"
#include "InternetTlsServer.h"

namespace {

using inettest::InternetTest;
using inettest::TlsServer;

// HTTPS exchanges with a TLS peer; the test's thread.
class InternetTlsTest : public InternetTest {
protected:
    // The outcome of one HTTPS request with these flags: 0 and the body, or
    // the failure's number.
    plat::ErrorCode Fetch(const TlsServer& tls, std::uint32_t openFlags,
                          std::uint32_t securityFlags, std::string* body = nullptr) {
        plat::HINTERNET connection = Connect("127.0.0.1", tls.Port());
        auto& exchange =
            NewExchange("/", 4096, "GET", openFlags | plat::INTERNET_FLAG_SECURE, connection);
        EXPECT_TRUE(plat::SetInternetOption(exchange.Handle(), plat::INTERNET_OPTION_SECURITY_FLAGS,
                                            securityFlags));
        EXPECT_TRUE(exchange.Send());
        EXPECT_TRUE(Finish(exchange));
        if (body != nullptr)
            *body = exchange.body;
        return exchange.error;
    }
};

constexpr std::uint32_t kUnknownCa = plat::SECURITY_FLAG_IGNORE_UNKNOWN_CA;

TEST_F(InternetTlsTest, UntrustedCertificateNeedsItsWaiver) {
    TlsServer tls("IP:127.0.0.1", false);
    EXPECT_EQ(Fetch(tls, 0, 0), plat::kErrInternetInvalidCa);
    // The date and name waivers do not cover an unknown issuer.
    EXPECT_EQ(Fetch(tls,
                    plat::INTERNET_FLAG_IGNORE_CERT_DATE_INVALID |
                        plat::INTERNET_FLAG_IGNORE_CERT_CN_INVALID,
                    0),
              plat::kErrInternetInvalidCa);
    std::string body;
    EXPECT_EQ(Fetch(tls, 0, kUnknownCa, &body), 0u);
    EXPECT_EQ(body, "secure");
}

TEST_F(InternetTlsTest, ExpiredCertificateNeedsTheDateWaiver) {
    TlsServer tls("IP:127.0.0.1", true);
    EXPECT_EQ(Fetch(tls, 0, kUnknownCa), plat::kErrInternetSecCertDateInvalid);
    EXPECT_EQ(Fetch(tls, 0, kUnknownCa | plat::SECURITY_FLAG_IGNORE_CERT_DATE_INVALID), 0u);
    EXPECT_EQ(Fetch(tls, plat::INTERNET_FLAG_IGNORE_CERT_DATE_INVALID, kUnknownCa), 0u);
}

TEST_F(InternetTlsTest, CertificateForAnotherNameNeedsTheNameWaiver) {
    TlsServer tls("DNS:updates.example.com", false);
    EXPECT_EQ(Fetch(tls, 0, kUnknownCa), plat::kErrInternetSecCertCnInvalid);
    EXPECT_EQ(Fetch(tls, plat::INTERNET_FLAG_IGNORE_CERT_CN_INVALID, kUnknownCa), 0u);
}

// The layer honours waivers as the flags give them; whether a request's
// waivers reach it at all is the transport's choice (a publisher's opt-in).
TEST_F(InternetTlsTest, TheDownloadersFlagsAcceptAnExpiredCertificateForAnotherName) {
    TlsServer tls("DNS:updates.example.com", true);
    std::string body;
    EXPECT_EQ(Fetch(tls, inettest::kDownloaderFlags, 0x180, &body), 0u);
    EXPECT_EQ(body, "secure");
    // Those waivers stay with that request: the next strict one checks again.
    EXPECT_EQ(Fetch(tls, 0, 0), plat::kErrInternetInvalidCa);
}

} // namespace
