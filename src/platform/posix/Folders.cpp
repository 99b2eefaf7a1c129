// The launcher's private folders. A private folder is made with mkdir and then
// checked through a descriptor opened without following links, so that a link
// or a folder planted by someone else is refused rather than used. A copy that
// runs as root for another user (Elevation.h) uses that user's folders, with
// that user's rights.

#include "platform/Folders.h"

#include "platform/Elevation.h"
#include "platform/Unicode.h"
#include "platform/posix/ErrnoMap.h"
#include "platform/posix/UserAccounts.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace plat {

namespace {

std::string WithoutSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Creates the missing folders above `path` with the usual mode.
bool MakeParents(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        std::string parent = path.substr(0, slash);
        if (::mkdir(parent.c_str(), 0777) != 0 && !IsFolder(parent)) {
            posix::SetLastErrno(errno == EEXIST ? ENOTDIR : errno);
            return false;
        }
    }
    return true;
}

// The folder itself or its closest existing ancestor: the file system a
// folder would be created on.
std::string NearestExisting(std::string path) {
    while (!IsFolder(path)) {
        std::size_t slash = path.find_last_of('/');
        if (slash == std::string::npos || slash == 0)
            return "/";
        path.resize(slash);
    }
    return path;
}

bool AllowsPrograms(const std::string& path) {
    struct statvfs vfs {};
    if (::statvfs(NearestExisting(path).c_str(), &vfs) != 0)
        return false;
    return (vfs.f_flag & ST_NOEXEC) == 0;
}

std::string UserSuffix() {
    return std::to_string(static_cast<unsigned long>(InvokingUserId()));
}

// Absolute path from an environment variable, else empty (relative values
// are ignored as the XDG conventions require).
std::string AbsoluteFromEnv(const char* name) {
    const char* value = std::getenv(name);
    return (value && value[0] == '/') ? WithoutSlash(value) : std::string();
}

// The home folder of the user the folders belong to: $HOME, or for a copy
// acting for another user (whose environment pkexec cleared) that user's
// home from the account database.
std::string HomeFolder() {
    if (ActsForOtherUser()) {
        posix::UserAccount account;
        return posix::LookUpUser(InvokingUserId(), &account) ? account.home : std::string();
    }
    return AbsoluteFromEnv("HOME");
}

// Ensures a private folder and gives it back with a trailing separator.
std::wstring PrivateFolderPath(const std::string& path) {
    std::wstring wide = Utf8ToWide(path);
    if (!EnsurePrivateFolder(wide))
        return std::wstring();
    return wide + L"/";
}

} // namespace

bool EnsurePrivateFolder(const std::wstring& path) {
    InvokingUserFiles asUser;
    std::string native = WithoutSlash(WideToUtf8(path));
    if (native.empty() || native == "/") {
        SetLastError(native.empty() ? kErrPathNotFound : kErrAccessDenied);
        return false;
    }
    if (!MakeParents(native))
        return false;
    bool created = ::mkdir(native.c_str(), 0700) == 0;
    if (!created && errno != EEXIST) {
        posix::SetLastErrno(errno);
        return false;
    }
    int fd = ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        // A link or a file where the folder should be.
        bool planted = errno == ELOOP || errno == ENOTDIR;
        if (planted)
            SetLastError(kErrAccessDenied);
        else
            posix::SetLastErrno(errno);
        return false;
    }
    if (created)
        ::fchmod(fd, 0700); // whatever the umask took away
    struct stat st {};
    bool statOk = ::fstat(fd, &st) == 0;
    int err = errno;
    ::close(fd);
    if (!statOk) {
        posix::SetLastErrno(err);
        return false;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != InvokingUserId() || (st.st_mode & 077) != 0) {
        SetLastError(kErrAccessDenied);
        return false;
    }
    return true;
}

// A usable XDG_RUNTIME_DIR is always used, even when its launcher folder turns
// out unusable: every launcher process must agree on one runtime folder.
// A copy acting for another user has lost that user's environment: it looks
// where the user's session keeps its runtime folder.
std::wstring GetRuntimeFolder() {
    std::string runtime = AbsoluteFromEnv("XDG_RUNTIME_DIR");
    if (runtime.empty() && ActsForOtherUser())
        runtime = "/run/user/" + UserSuffix();
    bool usable = false;
    if (!runtime.empty() && IsFolder(runtime)) {
        InvokingUserFiles asUser;
        usable = ActsForOtherUser() || ::access(runtime.c_str(), W_OK | X_OK) == 0;
    }
    if (usable)
        return PrivateFolderPath(runtime + "/launcher");
    return PrivateFolderPath("/tmp/launcher-" + UserSuffix());
}

std::wstring GetTempFolder() {
    std::string moved = AbsoluteFromEnv("LAUNCHER_TEMP_DIR");
    std::vector<std::string> candidates;
    if (!moved.empty()) {
        candidates.push_back(moved);
    } else {
        std::string cache = AbsoluteFromEnv("XDG_CACHE_HOME");
        if (!cache.empty())
            candidates.push_back(cache + "/launcher/tmp");
        std::string home = HomeFolder();
        if (!home.empty())
            candidates.push_back(home + "/.cache/launcher/tmp");
        candidates.push_back("/tmp/launcher-tmp-" + UserSuffix());
    }
    // The launcher runs its copy from here: a file system mounted noexec
    // will not do, so the next candidate is tried.
    ErrorCode failure = kErrPathNotFound;
    for (const std::string& candidate : candidates) {
        if (!AllowsPrograms(candidate)) {
            failure = kErrAccessDenied;
            continue;
        }
        std::wstring folder = PrivateFolderPath(candidate);
        if (!folder.empty())
            return folder;
        failure = GetLastError();
    }
    SetLastError(failure);
    return std::wstring();
}

} // namespace plat
