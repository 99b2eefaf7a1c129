#pragma once
// Maps libcurl's results onto the WinINet numbers of the same meaning.
// Private to the POSIX backend; any thread.

#include "platform/Error.h"

#include <curl/curl.h>

namespace plat::posix {

// What a finished transfer tells beyond its result code.
struct TransferFacts {
    long osErrno = 0;      // CURLINFO_OS_ERRNO
    long verifyResult = 0; // CURLINFO_SSL_VERIFYRESULT (an X509_V_ERR_* number)
};

ErrorCode CurlResultToError(CURLcode code, const TransferFacts& facts = {});
// True when the result means the server's connection ended under the
// exchange (the transport hears of it as "connection closed").
bool IsConnectionLoss(CURLcode code);

} // namespace plat::posix
