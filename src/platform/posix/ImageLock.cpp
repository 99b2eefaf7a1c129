// Running programs' files: a shared flock on the executable, held by each
// launcher from its start, and an exclusive non-blocking probe that tells a
// held file from a free one. flock locks belong to the open file, so the
// probe conflicts with every holder, this process's own included, exactly
// as Windows refuses to delete the running program's own file.

#include "platform/ImageLock.h"

#include "platform/Unicode.h"
#include "platform/posix/ImageLock.h"

#include <cerrno>
#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace plat {

namespace {

// Deeper trees are not looked into (as the folder-tree walks).
constexpr int kMaxDepth = 64;
// A probe of another process holds the exclusive lock for a moment only.
constexpr int kHoldAttempts = 50;

bool IsRunnableFile(const struct stat& st) {
    return S_ISREG(st.st_mode) && (st.st_mode & 0111) != 0;
}

bool HeldAt(int folderFd, const char* name, const struct stat& st) {
    if (!IsRunnableFile(st))
        return false;
    int fd = ::openat(folderFd, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false; // a file we may not read: we cannot tell
    bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd); // drops the probe's lock
    return held;
}

bool TreeHolds(int folderFd, int depth) {
    int listFd = ::dup(folderFd);
    if (listFd < 0)
        return false;
    DIR* dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return false;
    }
    bool held = false;
    while (!held) {
        const dirent* entry = ::readdir(dir);
        if (!entry)
            break;
        std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st {};
        if (::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            if (depth >= kMaxDepth)
                continue;
            int sub =
                ::openat(folderFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub >= 0) {
                held = TreeHolds(sub, depth + 1);
                ::close(sub);
            }
        } else {
            held = HeldAt(folderFd, name.c_str(), st);
        }
    }
    ::closedir(dir);
    return held;
}

} // namespace

bool HoldRunningImage() {
    static int held = -1;
    if (held >= 0)
        return true;
    int fd = ::open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    for (int attempt = 0; attempt < kHoldAttempts; ++attempt) {
        if (::flock(fd, LOCK_SH | LOCK_NB) == 0) {
            held = fd; // kept open for the life of the process
            return true;
        }
        if (errno != EWOULDBLOCK)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ::close(fd);
    return false;
}

bool IsImageInUse(const std::wstring& path) {
    return posix::ImageInUseAt(AT_FDCWD, WideToUtf8(path));
}

namespace posix {

bool ImageInUseAt(int folderFd, const std::string& name) {
    struct stat st {};
    if (::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    return HeldAt(folderFd, name.c_str(), st);
}

bool TreeHoldsImageInUse(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool held = TreeHolds(fd, 0);
    ::close(fd);
    return held;
}

} // namespace posix

} // namespace plat
