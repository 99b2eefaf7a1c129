#include "platform/posix/InternetErrors.h"

#include "platform/posix/InternetTls.h"

#include <cerrno>

namespace plat::posix {

namespace {

// A connection that broke while data moved: a reset from the far side, a
// time-out of the socket itself, or any other abort.
ErrorCode BrokenTransfer(long osErrno) {
    switch (osErrno) {
    case ECONNRESET:
    case EPIPE:
        return kErrInternetConnectionReset;
    case ETIMEDOUT:
        return kErrInternetTimeout;
    default:
        return kErrInternetConnectionAborted;
    }
}

} // namespace

ErrorCode CurlResultToError(CURLcode code, const TransferFacts& facts) {
    switch (code) {
    case CURLE_OK:
        return kErrSuccess;
    case CURLE_URL_MALFORMAT:
        return kErrInternetInvalidUrl;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_PROXY:
        return kErrInternetProxyServerUnreachable;
    case CURLE_COULDNT_RESOLVE_HOST:
        return kErrInternetNameNotResolved;
    case CURLE_COULDNT_CONNECT:
    case CURLE_INTERFACE_FAILED:
    case CURLE_NO_CONNECTION_AVAILABLE:
    case CURLE_QUIC_CONNECT_ERROR:
        return kErrInternetCannotConnect;
    // Only http and https URLs reach libcurl, so an unsupported protocol is
    // an answer that is not HTTP at all.
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_HTTP3:
    case CURLE_RANGE_ERROR:
    case CURLE_GOT_NOTHING:
        return kErrHttpInvalidServerResponse;
    case CURLE_PARTIAL_FILE:
    case CURLE_UPLOAD_FAILED:
    case CURLE_SEND_FAIL_REWIND:
        return kErrInternetConnectionAborted;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
        return BrokenTransfer(facts.osErrno);
    case CURLE_OUT_OF_MEMORY:
        return kErrNotEnoughMemory;
    case CURLE_OPERATION_TIMEDOUT:
        return kErrInternetTimeout;
    case CURLE_ABORTED_BY_CALLBACK:
        return kErrInternetOperationCancelled;
    case CURLE_BAD_FUNCTION_ARGUMENT:
        return kErrInvalidParameter;
    case CURLE_UNKNOWN_OPTION:
    case CURLE_SETOPT_OPTION_SYNTAX:
        return kErrInternetInvalidOption;
    case CURLE_TOO_MANY_REDIRECTS:
        return kErrHttpRedirectFailed;
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_LOGIN_DENIED:
    case CURLE_AUTH_ERROR:
        return kErrInternetLoginFailure;
    case CURLE_RECURSIVE_API_CALL:
        return kErrInternetInvalidOperation;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_CIPHER:
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_SHUTDOWN_FAILED:
        return kErrInternetSecurityChannelError;
    case CURLE_PEER_FAILED_VERIFICATION:
        return CertificateFailureToError(facts.verifyResult);
    case CURLE_SSL_ISSUER_ERROR:
        return kErrInternetInvalidCa;
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        return kErrInternetSecInvalidCert;
    case CURLE_SSL_INVALIDCERTSTATUS:
        return kErrInternetSecCertRevFailed;
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CLIENTCERT:
        return kErrInternetClientAuthCertNeeded;
    case CURLE_BAD_CONTENT_ENCODING:
        return kErrInternetDecodingFailed;
    default:
        return kErrInternetInternalError;
    }
}

bool IsConnectionLoss(CURLcode code) {
    switch (code) {
    case CURLE_PARTIAL_FILE:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
        return true;
    default:
        return false;
    }
}

} // namespace plat::posix
