#include "platform/Error.h"

#include <unordered_map>

namespace plat {

namespace {
thread_local ErrorCode t_lastError = kErrSuccess;
} // namespace

ErrorCode GetLastError() { return t_lastError; }
void SetLastError(ErrorCode code) { t_lastError = code; }

// The texts Windows gives for the numbers the launcher can show. The network
// layer adds its own numbers' texts where it defines them.
std::wstring ErrorMessageText(ErrorCode code) {
    static const std::unordered_map<ErrorCode, const wchar_t*> texts = {
        {kErrSuccess, L"The operation completed successfully."},
        {kErrInvalidFunction, L"Incorrect function."},
        {kErrFileNotFound, L"The system cannot find the file specified."},
        {kErrPathNotFound, L"The system cannot find the path specified."},
        {kErrTooManyOpenFiles, L"The system cannot open the file."},
        {kErrAccessDenied, L"Access is denied."},
        {kErrInvalidHandle, L"The handle is invalid."},
        {kErrNotEnoughMemory, L"Not enough memory resources are available to process this command."},
        {kErrInvalidData, L"The data is invalid."},
        {kErrOutOfMemory, L"Not enough memory resources are available to complete this operation."},
        {kErrNotSameDevice, L"The system cannot move the file to a different disk drive."},
        {kErrNoMoreFiles, L"There are no more files."},
        {kErrWriteProtect, L"The media is write protected."},
        {kErrNotReady, L"The device is not ready."},
        {kErrSharingViolation,
         L"The process cannot access the file because it is being used by another process."},
        {kErrLockViolation,
         L"The process cannot access the file because another process has locked a portion of the file."},
        {kErrHandleEof, L"Reached the end of the file."},
        {kErrNotSupported, L"The request is not supported."},
        {kErrNegativeSeek, L"An attempt was made to move the file pointer before the beginning of the file."},
        {kErrFileExists, L"The file exists."},
        {kErrInvalidParameter, L"The parameter is incorrect."},
        {kErrBrokenPipe, L"The pipe has been ended."},
        {kErrDiskFull, L"There is not enough space on the disk."},
        {kErrInsufficientBuffer, L"The data area passed to a system call is too small."},
        {kErrInvalidName, L"The filename, directory name, or volume label syntax is incorrect."},
        {kErrDirNotEmpty, L"The directory is not empty."},
        {kErrBusy, L"The requested resource is in use."},
        {kErrAlreadyExists, L"Cannot create a file when that file already exists."},
        {kErrBadExeFormat, L"%1 is not a valid Win32 application."},
        {kErrFilenameTooLong, L"The filename or extension is too long."},
        {kErrPipeBusy, L"All pipe instances are busy."},
        {kErrNoData, L"The pipe is being closed."},
        {kErrPipeNotConnected, L"No process is on the other end of the pipe."},
        {kErrMoreData, L"More data is available."},
        {kErrWaitTimeout, L"The wait operation timed out."},
        {kErrNoMoreItems, L"No more data is available."},
        {kErrDirectory, L"The directory name is invalid."},
        {kErrPartialCopy, L"Only part of a ReadProcessMemory or WriteProcessMemory request was completed."},
        {kErrOperationAborted,
         L"The I/O operation has been aborted because of either a thread exit or an application request."},
        {kErrIoPending, L"Overlapped I/O operation is in progress."},
        {kErrNoAccess, L"Invalid access to memory location."},
        {kErrNotFound, L"Element not found."},
        {kErrCancelled, L"The operation was canceled by the user."},
        {kErrInvalidWindowHandle, L"Invalid window handle."},
        {kErrTimeout, L"This operation returned because the timeout period expired."},
        {kErrInternetOutOfHandles, L"No more Internet handles can be allocated"},
        {kErrInternetTimeout, L"The operation timed out"},
        {kErrInternetExtendedError, L"The server returned extended information"},
        {kErrInternetInternalError, L"An internal error occurred in the Microsoft Internet extensions"},
        {kErrInternetInvalidUrl, L"The URL is invalid"},
        {kErrInternetUnrecognizedScheme, L"The URL does not use a recognized protocol"},
        {kErrInternetNameNotResolved, L"The server name or address could not be resolved"},
        {kErrInternetInvalidOption, L"The option is invalid"},
        {kErrInternetLoginFailure, L"The login request was denied"},
        {kErrInternetInvalidOperation, L"The requested operation is invalid"},
        {kErrInternetOperationCancelled, L"The operation was canceled"},
        {kErrInternetIncorrectHandleType,
         L"The type of handle supplied is incorrect for this operation"},
        {kErrInternetIncorrectHandleState,
         L"The requested operation cannot be carried out because the handle supplied is not in "
         L"the correct state"},
        {kErrInternetCannotConnect, L"A connection with the server could not be established"},
        {kErrInternetConnectionAborted,
         L"The connection with the server was terminated abnormally"},
        {kErrInternetConnectionReset, L"The connection with the server was reset"},
        {kErrInternetHandleExists, L"The request failed because the handle already exists"},
        {kErrInternetSecCertDateInvalid,
         L"The date in the certificate is invalid or has expired"},
        {kErrInternetSecCertCnInvalid,
         L"The host name in the certificate is invalid or does not match"},
        {kErrInternetClientAuthCertNeeded,
         L"A certificate is required to complete client authentication"},
        {kErrInternetInvalidCa, L"The certificate authority is invalid or incorrect"},
        {kErrInternetSecCertErrors, L"The certificate contains errors"},
        {kErrInternetSecCertRevFailed,
         L"The revocation status of the certificate could not be checked"},
        {kErrHttpHeaderNotFound, L"The requested header was not found"},
        {kErrHttpInvalidServerResponse, L"The server returned an invalid or unrecognized response"},
        {kErrHttpInvalidQueryRequest, L"The request made to HttpQueryInfo is invalid"},
        {kErrHttpRedirectFailed, L"The redirection failed"},
        {kErrInternetSecurityChannelError, L"An error occurred in the secure channel support"},
        {kErrInternetProxyServerUnreachable, L"The proxy server could not be reached"},
        {kErrInternetSecInvalidCert, L"The certificate is invalid"},
        {kErrInternetSecCertRevoked, L"The certificate has been revoked"},
        {kErrInternetDecodingFailed, L"Content decoding has failed"},
    };
    auto it = texts.find(code);
    return it == texts.end() ? std::wstring() : std::wstring(it->second);
}

} // namespace plat
