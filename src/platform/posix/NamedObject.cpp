#include "platform/posix/NamedObject.h"

#include "platform/Error.h"
#include "platform/Folders.h"
#include "platform/Unicode.h"
#include "platform/posix/EncodedName.h"
#include "platform/posix/ErrnoMap.h"
#include "platform/posix/LockFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace plat::posix {

namespace {

constexpr std::size_t kMaxFileName = 200;
constexpr const char* kGuardFile = ".guard"; // never an encoded name: '.' is encoded

// The folder holding the kind's files, with a trailing separator; empty on
// failure (last error set).
std::string KindFolder(const char* kind) {
    std::wstring runtime = GetRuntimeFolder();
    if (runtime.empty())
        return std::string();
    std::wstring folder = runtime + Utf8ToWide(kind) + L"/";
    if (!EnsurePrivateFolder(folder))
        return std::string();
    return WideToUtf8(folder);
}

// Drops this description's lock (dups in a forked child included) and closes.
void Drop(int fd) {
    ::flock(fd, LOCK_UN);
    ::close(fd);
}

} // namespace

bool AttachNamedObject(const char* kind, const std::string& name, bool mustExist, bool* existed,
                       NamedObjectHold* hold) {
    DetachNamedObject(hold);
    if (name.empty()) {
        SetLastError(kErrInvalidName);
        return false;
    }
    std::string folder = KindFolder(kind);
    if (folder.empty())
        return false;
    LockFile guard(folder + kGuardFile);
    if (!guard.Held())
        return false;

    // "Global\{...}" and the like become file names: letters, digits, '-'
    // and '_' stay, every other byte is %XX, so that different names never
    // share a file.
    std::string path = folder + EncodeName(name, kMaxFileName);
    int flags = O_RDWR | O_CLOEXEC | O_NOFOLLOW | (mustExist ? 0 : O_CREAT);
    int fd = ::open(path.c_str(), flags, 0600);
    if (fd < 0) {
        SetLastErrno(errno);
        return false;
    }
    bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    if (held && errno != EWOULDBLOCK) {
        SetLastErrno(errno);
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
        SetLastErrno(errno);
        Drop(fd);
        return false;
    }
    hold->fd = fd;
    hold->path = path;
    *existed = held;
    return true;
}

void DetachNamedObject(NamedObjectHold* hold) {
    if (hold->fd < 0)
        return;
    ErrorCode saved = GetLastError();
    std::string folder = hold->path.substr(0, hold->path.find_last_of('/') + 1);
    {
        LockFile guard(folder + kGuardFile);
        ::flock(hold->fd, LOCK_UN);
        // The last holder removes the file.
        if (guard.Held() && ::flock(hold->fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(hold->path.c_str());
    }
    Drop(hold->fd);
    SetLastError(saved);
    hold->fd = -1;
    hold->path.clear();
}

} // namespace plat::posix
