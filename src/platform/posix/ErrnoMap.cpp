#include "platform/posix/ErrnoMap.h"

#include <cerrno>

namespace plat::posix {

ErrorCode ErrnoToError(int err) {
    switch (err) {
    case 0:
        return kErrSuccess;
    case ENOENT:
        return kErrFileNotFound;
    case ENOTDIR:
        return kErrPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return kErrAccessDenied;
    case EMFILE:
    case ENFILE:
        return kErrTooManyOpenFiles;
    case EBADF:
        return kErrInvalidHandle;
    case ENOMEM:
        return kErrNotEnoughMemory;
    case EXDEV:
        return kErrNotSameDevice;
    case EBUSY:
    case ETXTBSY:
        return kErrSharingViolation;
    case EAGAIN:
        return kErrLockViolation;
    case EEXIST:
        return kErrAlreadyExists;
    case EINVAL:
        return kErrInvalidParameter;
    case EPIPE:
        return kErrBrokenPipe;
    case ENOSPC:
    case EDQUOT:
        return kErrDiskFull;
    case ENAMETOOLONG:
        return kErrFilenameTooLong;
    case ENOTEMPTY:
        return kErrDirNotEmpty;
    case EISDIR:
        return kErrAccessDenied;
    case ENOEXEC:
        return kErrBadExeFormat;
    case ELOOP:
        return kErrInvalidName;
    case ETIMEDOUT:
        return kErrTimeout;
    case ECANCELED:
        return kErrOperationAborted;
    case EIO:
        return kErrNotReady;
    case ENOSYS:
    case EOPNOTSUPP:
        return kErrNotSupported;
    default:
        return kErrInvalidFunction;
    }
}

void SetLastErrno(int err) { SetLastError(ErrnoToError(err)); }

} // namespace plat::posix
