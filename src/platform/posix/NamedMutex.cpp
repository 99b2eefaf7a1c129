// Named mutexes as flock()ed files in the runtime folder's "mutex/" folder.
// Every holder keeps a shared lock on the file; the mutex exists while some
// process holds one, which an exclusive probe tells. Probing and attaching
// happen under one exclusive guard lock, so that a probe never sees the short
// gap while a creator turns its probe lock into a shared one.

#include "platform/NamedMutex.h"

#include "platform/Folders.h"
#include "platform/Unicode.h"
#include "platform/posix/EncodedName.h"
#include "platform/posix/ErrnoMap.h"
#include "platform/posix/LockFile.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace plat {

namespace {

constexpr ErrorCode kErrNotOwner = 288;
constexpr std::size_t kMaxFileName = 200;
constexpr const char* kGuardFile = ".guard"; // never an encoded name: '.' is encoded

// "Global\{...}" and the like become file names: letters, digits, '-' and '_'
// stay, every other byte is %XX, so that different names never share a file.
// Overlong names are cut and end with a hash of the whole name.
std::string MutexFileName(const std::string& name) {
    return posix::EncodeName(name, kMaxFileName);
}

// The folder holding the mutex files, with a trailing separator; empty on
// failure (last error set).
std::string MutexFolder() {
    std::wstring runtime = GetRuntimeFolder();
    if (runtime.empty())
        return std::string();
    std::wstring folder = runtime + L"mutex/";
    if (!EnsurePrivateFolder(folder))
        return std::string();
    return WideToUtf8(folder);
}

// Holds the exclusive guard lock of the mutex folder for one probe-and-attach
// or probe-and-remove step. Lives on the calling thread for that step only.
class GuardLock : public posix::LockFile {
public:
    explicit GuardLock(const std::string& folder) : LockFile(folder + kGuardFile) {}
};

// Drops this description's lock (dups in a forked child included) and closes.
void Drop(int fd) {
    ::flock(fd, LOCK_UN);
    ::close(fd);
}

} // namespace

NamedMutex::~NamedMutex() {
    Close();
}

bool NamedMutex::Attach(const std::string& name, bool mustExist, bool* existed) {
    Close();
    if (name.empty()) {
        SetLastError(kErrInvalidName);
        return false;
    }
    std::string folder = MutexFolder();
    if (folder.empty())
        return false;
    GuardLock guard(folder);
    if (!guard.Held())
        return false;

    std::string path = folder + MutexFileName(name);
    int flags = O_RDWR | O_CLOEXEC | O_NOFOLLOW | (mustExist ? 0 : O_CREAT);
    int fd = ::open(path.c_str(), flags, 0600);
    if (fd < 0) {
        posix::SetLastErrno(errno);
        return false;
    }
    bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    if (held && errno != EWOULDBLOCK) {
        posix::SetLastErrno(errno);
        ::close(fd);
        return false;
    }
    if (!held && mustExist) {
        // A file left by holders that are gone: nobody can be attaching
        // while we hold the guard, so it can go.
        ::unlink(path.c_str());
        Drop(fd);
        SetLastError(kErrFileNotFound);
        return false;
    }
    // Nobody else takes an exclusive lock while we hold the guard, so the
    // shared lock is granted at once, also when it replaces our probe lock.
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
        posix::SetLastErrno(errno);
        Drop(fd);
        return false;
    }
    fd_ = fd;
    path_ = path;
    *existed = held;
    return true;
}

bool NamedMutex::Open(const std::string& name) {
    bool existed = false;
    if (!Attach(name, true, &existed))
        return false;
    owned_ = false;
    return true;
}

bool NamedMutex::Create(const std::string& name, bool initialOwner) {
    bool existed = false;
    if (!Attach(name, false, &existed))
        return false;
    owned_ = initialOwner && !existed;
    SetLastError(existed ? kErrAlreadyExists : kErrSuccess);
    return true;
}

bool NamedMutex::Release() {
    if (!IsOpen()) {
        SetLastError(kErrInvalidHandle);
        return false;
    }
    if (!owned_) {
        SetLastError(kErrNotOwner);
        return false;
    }
    owned_ = false;
    return true;
}

void NamedMutex::Close() {
    if (fd_ < 0)
        return;
    ErrorCode saved = GetLastError();
    std::string folder = path_.substr(0, path_.find_last_of('/') + 1);
    {
        GuardLock guard(folder);
        ::flock(fd_, LOCK_UN);
        // The last holder removes the file.
        if (guard.Held() && ::flock(fd_, LOCK_EX | LOCK_NB) == 0)
            ::unlink(path_.c_str());
    }
    Drop(fd_);
    SetLastError(saved);
    fd_ = -1;
    owned_ = false;
    path_.clear();
}

} // namespace plat
