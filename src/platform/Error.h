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
};

// The calling thread's last error (0 when none was set).
ErrorCode GetLastError();
void SetLastError(ErrorCode code);

// The system message text of an error number, without a trailing line end,
// as FormatMessage gives it. Unknown numbers give an empty text.
std::wstring ErrorMessageText(ErrorCode code);

} // namespace plat
