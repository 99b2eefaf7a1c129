#pragma once
// Certificate checks of HTTPS requests: every check is on unless the
// request's flags waive it, and then only the checks they name are waived.
// Private to the POSIX backend; the owner thread of the request.

#include "platform/Error.h"

#include <cstdint>
#include <curl/curl.h>

namespace plat::posix {

// The SECURITY_FLAG_* waivers of a request: its security flags plus the
// INTERNET_FLAG_IGNORE_CERT_* open flags.
std::uint32_t CertificateWaivers(std::uint32_t openFlags, std::uint32_t securityFlags);
// True when `waivers` cover the OpenSSL verification error `x509Error`.
bool IsWaived(int x509Error, std::uint32_t waivers);
// Sets the transfer's checks. The host name check is curl's own; the chain
// check goes through a verify callback that forgives only waived errors.
// Transfers with waivers never share connections or TLS sessions with
// strict ones (curl keeps them apart by their different settings).
void ApplyCertificateChecks(CURL* easy, std::uint32_t waivers);
// The WinINet number of a failed certificate check, from the OpenSSL
// verification result libcurl reports (no chain error: the host name failed).
ErrorCode CertificateFailureToError(long verifyResult);

} // namespace plat::posix
