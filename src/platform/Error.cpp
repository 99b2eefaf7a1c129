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
    };
    auto it = texts.find(code);
    return it == texts.end() ? std::wstring() : std::wstring(it->second);
}

} // namespace plat
