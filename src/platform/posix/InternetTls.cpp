#include "platform/posix/InternetTls.h"

#include "platform/Internet.h"

#include <cstdlib>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

namespace plat::posix {

namespace {

constexpr std::uint32_t kChainWaivers =
    SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
    SECURITY_FLAG_IGNORE_WRONG_USAGE | SECURITY_FLAG_IGNORE_REVOCATION;

enum class CertProblem { UnknownCa, Date, Usage, RevocationCheck, Revoked, HostName, Other };

CertProblem ProblemOf(long x509Error) {
    switch (x509Error) {
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_CERT_UNTRUSTED:
    case X509_V_ERR_INVALID_CA:
        return CertProblem::UnknownCa;
    case X509_V_ERR_CERT_NOT_YET_VALID:
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_ERROR_IN_CERT_NOT_BEFORE_FIELD:
    case X509_V_ERR_ERROR_IN_CERT_NOT_AFTER_FIELD:
        return CertProblem::Date;
    case X509_V_ERR_INVALID_PURPOSE:
        return CertProblem::Usage;
    case X509_V_ERR_UNABLE_TO_GET_CRL:
    case X509_V_ERR_CRL_NOT_YET_VALID:
    case X509_V_ERR_CRL_HAS_EXPIRED:
        return CertProblem::RevocationCheck;
    case X509_V_ERR_CERT_REVOKED:
        return CertProblem::Revoked;
    case X509_V_OK:
    case X509_V_ERR_HOSTNAME_MISMATCH:
        return CertProblem::HostName;
    default:
        return CertProblem::Other;
    }
}

int WaiverIndex() {
    static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

// OpenSSL calls this for every certificate of the chain; a forgiven error is
// cleared so that the final verification result stays clean.
int VerifyCallback(int preverifyOk, X509_STORE_CTX* store) {
    if (preverifyOk)
        return 1;
    auto* ssl =
        static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    if (ssl == nullptr)
        return 0;
    auto waivers = static_cast<std::uint32_t>(
        reinterpret_cast<std::uintptr_t>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), WaiverIndex())));
    if (!IsWaived(X509_STORE_CTX_get_error(store), waivers))
        return 0;
    X509_STORE_CTX_set_error(store, X509_V_OK);
    return 1;
}

// The system's trust store: what libcurl was built to use, unless the
// environment names another one the way OpenSSL's own tools read it
// (SSL_CERT_FILE, SSL_CERT_DIR).
struct TrustStore {
    const char* file = nullptr;
    const char* dir = nullptr;
};

TrustStore TrustStoreOf(CURL* easy) {
    TrustStore store;
    const char* file = std::getenv("SSL_CERT_FILE");
    const char* dir = std::getenv("SSL_CERT_DIR");
    if ((file != nullptr && *file != '\0') || (dir != nullptr && *dir != '\0')) {
        store.file = file != nullptr && *file != '\0' ? file : nullptr;
        store.dir = dir != nullptr && *dir != '\0' ? dir : nullptr;
        return store;
    }
    curl_easy_getinfo(easy, CURLINFO_CAINFO, &store.file);
    curl_easy_getinfo(easy, CURLINFO_CAPATH, &store.dir);
    return store;
}

// Runs for each new TLS connection of a transfer with waivers: curl has
// switched its own chain check off, so the trust store and the checking
// callback are put in here.
CURLcode SetUpContext(CURL* easy, void* sslContext, void* waivers) {
    auto* context = static_cast<SSL_CTX*>(sslContext);
    TrustStore store = TrustStoreOf(easy);
    if ((store.file != nullptr || store.dir != nullptr) &&
        SSL_CTX_load_verify_locations(context, store.file, store.dir) != 1)
        SSL_CTX_set_default_verify_paths(context);
    SSL_CTX_set_ex_data(context, WaiverIndex(), waivers);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, VerifyCallback);
    return CURLE_OK;
}

} // namespace

std::uint32_t CertificateWaivers(std::uint32_t openFlags, std::uint32_t securityFlags) {
    return securityFlags | (openFlags & (INTERNET_FLAG_IGNORE_CERT_CN_INVALID |
                                         INTERNET_FLAG_IGNORE_CERT_DATE_INVALID));
}

bool IsWaived(int x509Error, std::uint32_t waivers) {
    switch (ProblemOf(x509Error)) {
    case CertProblem::UnknownCa:
        return (waivers & SECURITY_FLAG_IGNORE_UNKNOWN_CA) != 0;
    case CertProblem::Date:
        return (waivers & SECURITY_FLAG_IGNORE_CERT_DATE_INVALID) != 0;
    case CertProblem::Usage:
        return (waivers & SECURITY_FLAG_IGNORE_WRONG_USAGE) != 0;
    case CertProblem::RevocationCheck:
        return (waivers & SECURITY_FLAG_IGNORE_REVOCATION) != 0;
    case CertProblem::HostName:
        return (waivers & SECURITY_FLAG_IGNORE_CERT_CN_INVALID) != 0;
    case CertProblem::Revoked:
    case CertProblem::Other:
        break;
    }
    return false;
}

void ApplyCertificateChecks(CURL* easy, std::uint32_t waivers) {
    if (std::getenv("SSL_CERT_FILE") != nullptr || std::getenv("SSL_CERT_DIR") != nullptr) {
        TrustStore store = TrustStoreOf(easy);
        curl_easy_setopt(easy, CURLOPT_CAINFO, store.file);
        curl_easy_setopt(easy, CURLOPT_CAPATH, store.dir);
    }
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST,
                     (waivers & SECURITY_FLAG_IGNORE_CERT_CN_INVALID) ? 0L : 2L);
    std::uint32_t chainWaivers = waivers & kChainWaivers;
    if (chainWaivers == 0) {
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
        return;
    }
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &SetUpContext);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA,
                     reinterpret_cast<void*>(static_cast<std::uintptr_t>(chainWaivers)));
}

ErrorCode CertificateFailureToError(long verifyResult) {
    // libcurl checks the name before it records the chain's result, which
    // then still holds its "not verified yet" mark.
    if (verifyResult == X509_V_ERR_UNSPECIFIED)
        return kErrInternetSecCertCnInvalid;
    switch (ProblemOf(verifyResult)) {
    case CertProblem::UnknownCa:
        return kErrInternetInvalidCa;
    case CertProblem::Date:
        return kErrInternetSecCertDateInvalid;
    case CertProblem::HostName:
        return kErrInternetSecCertCnInvalid;
    case CertProblem::Revoked:
        return kErrInternetSecCertRevoked;
    case CertProblem::RevocationCheck:
        return kErrInternetSecCertRevFailed;
    case CertProblem::Usage:
    case CertProblem::Other:
        break;
    }
    return kErrInternetSecInvalidCert;
}

} // namespace plat::posix
