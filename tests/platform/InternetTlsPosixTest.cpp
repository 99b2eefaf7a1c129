// HTTPS against a certificate of the trust store the environment names
// (SSL_CERT_FILE), the way OpenSSL's own tools read it.

#include "InternetTestSupport.h"
#include "InternetTlsServer.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace {

using inettest::InternetTest;
using inettest::TlsServer;

// HTTPS exchanges with a TLS peer; the test's thread.
class InternetTlsStoreTest : public InternetTest {
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

// A certificate an authority of the trust store issued for this name and
// date passes every check without a waiver; SSL_CERT_FILE names the store
// as OpenSSL's own tools read it.
TEST_F(InternetTlsStoreTest, ACertificateFromTheTrustStorePassesWithoutWaivers) {
    testsupport::TempDir dir;
    inettest::TestCa ca;
    ASSERT_TRUE(ca.WritePem(dir.NarrowPath() + "/ca.pem"));
    testsupport::ScopedEnv store("SSL_CERT_FILE", (dir.NarrowPath() + "/ca.pem").c_str());
    TlsServer tls("IP:127.0.0.1", false, &ca);
    std::string body;
    EXPECT_EQ(Fetch(tls, 0, 0, &body), 0u);
    EXPECT_EQ(body, "secure");
    TlsServer expired("IP:127.0.0.1", true, &ca);
    EXPECT_EQ(Fetch(expired, 0, 0), plat::kErrInternetSecCertDateInvalid);
    TlsServer otherName("DNS:updates.example.com", false, &ca);
    EXPECT_EQ(Fetch(otherName, 0, 0), plat::kErrInternetSecCertCnInvalid);
}

} // namespace
