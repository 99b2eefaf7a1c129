#include "platform/posix/LockFile.h"

#include "platform/posix/ErrnoMap.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat::posix {

LockFile::LockFile(const std::string& path, unsigned mode) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd_ < 0 && errno == EACCES)
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd_ < 0) {
        SetLastErrno(errno);
        return;
    }
    // The creator's umask must not narrow who may lock.
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && st.st_uid == ::geteuid() && (st.st_mode & 07777) != mode)
        ::fchmod(fd_, mode);
    int result;
    do {
        result = ::flock(fd_, LOCK_EX);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        int error = errno;
        ::close(fd_);
        fd_ = -1;
        SetLastErrno(error);
    }
}

LockFile::~LockFile() {
    if (fd_ < 0)
        return;
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
}

} // namespace plat::posix
