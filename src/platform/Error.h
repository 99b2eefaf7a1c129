#pragma once
// Windows error numbers as the launcher logs and shows them, and a per-thread
// last error that every platform call sets on failure.

#include <cstdint>
#include <string>

namespace plat {

using ErrorCode = std::uint32_t;

enum : ErrorCode {
    kErrSuccess = 0,
    kErrInvalidFunction = 1,
    kErrFileNotFound = 2,
    kErrPathNotFound = 3,
    kErrTooManyOpenFiles = 4,
    kErrAccessDenied = 5,
    kErrInvalidHandle = 6,
    kErrNotEnoughMemory = 8,
    kErrInvalidData = 13,
    kErrOutOfMemory = 14,
    kErrNotSameDevice = 17,
    kErrNoMoreFiles = 18,
    kErrWriteProtect = 19,
    kErrNotReady = 21,
    kErrSharingViolation = 32,
    kErrLockViolation = 33,
    kErrHandleEof = 38,
    kErrNegativeSeek = 131,
    kErrNotSupported = 50,
    kErrFileExists = 80,
    kErrInvalidParameter = 87,
    kErrBrokenPipe = 109,
    kErrDiskFull = 112,
    kErrInsufficientBuffer = 122,
    kErrInvalidName = 123,
    kErrDirNotEmpty = 145,
    kErrBusy = 170,
    kErrAlreadyExists = 183,
    kErrFilenameTooLong = 206,
    kErrBadExeFormat = 193,
    kErrPipeBusy = 231,
    kErrNoData = 232,
    kErrPipeNotConnected = 233,
    kErrMoreData = 234,
    kErrWaitTimeout = 258,
    kErrNoMoreItems = 259,
    kErrDirectory = 267,
    kErrPartialCopy = 299,
    kErrOperationAborted = 995,
    kErrIoPending = 997,
    kErrNoAccess = 998,
    kErrCancelled = 1223,
    kErrNotFound = 1168,
    kErrInvalidWindowHandle = 1400,
    kErrTimeout = 1460,
    // WinINet's numbers.
    kErrInternetOutOfHandles = 12001,
    kErrInternetTimeout = 12002,
    kErrInternetExtendedError = 12003,
    kErrInternetInternalError = 12004,
    kErrInternetInvalidUrl = 12005,
    kErrInternetUnrecognizedScheme = 12006,
    kErrInternetNameNotResolved = 12007,
    kErrInternetInvalidOption = 12009,
    kErrInternetLoginFailure = 12015,
    kErrInternetInvalidOperation = 12016,
    kErrInternetOperationCancelled = 12017,
    kErrInternetIncorrectHandleType = 12018,
    kErrInternetIncorrectHandleState = 12019,
    kErrInternetCannotConnect = 12029,
    kErrInternetConnectionAborted = 12030,
    kErrInternetConnectionReset = 12031,
    kErrInternetHandleExists = 12036,
    kErrInternetSecCertDateInvalid = 12037,
    kErrInternetSecCertCnInvalid = 12038,
    kErrInternetClientAuthCertNeeded = 12044,
    kErrInternetInvalidCa = 12045,
    kErrInternetSecCertErrors = 12055,
    kErrInternetSecCertRevFailed = 12057,
    kErrHttpHeaderNotFound = 12150,
    kErrHttpInvalidServerResponse = 12152,
    kErrHttpInvalidQueryRequest = 12154,
    kErrHttpRedirectFailed = 12156,
    kErrInternetSecurityChannelError = 12157,
    kErrInternetProxyServerUnreachable = 12165,
    kErrInternetSecInvalidCert = 12169,
    kErrInternetSecCertRevoked = 12170,
    kErrInternetDecodingFailed = 12175,
};

// The calling thread's last error (0 when none was set).
ErrorCode GetLastError();
void SetLastError(ErrorCode code);

// The system message text of an error number, without a trailing line end,
// as FormatMessage gives it. Unknown numbers give an empty text.
std::wstring ErrorMessageText(ErrorCode code);

} // namespace plat
