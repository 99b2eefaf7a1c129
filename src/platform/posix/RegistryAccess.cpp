// A key's folder (and the store's files inside it) change owner; the folder
// is reached name by name from the root without following links.

#include "platform/RegistryAccess.h"

#include "platform/Elevation.h"
#include "platform/posix/ErrnoMap.h"
#include "platform/posix/RegistryPaths.h"
#include "platform/posix/UserAccounts.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace plat {

using namespace posix;

namespace {

// The key's folder, opened; -1 (last error set) when it cannot be.
int OpenKeyFolder(RegistryRoot root, const std::wstring& path) {
    RootPlace place;
    std::vector<std::wstring> names;
    if (!ResolveRoot(root, &place) || !SplitKeyPath(path, &names))
        return -1;
    int fd = ::open(place.folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    for (const std::wstring& name : names) {
        if (fd < 0)
            break;
        int next = ::openat(fd, KeyFolderName(name).c_str(),
                            O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        int err = errno;
        ::close(fd);
        fd = next;
        errno = err;
    }
    if (fd < 0)
        SetLastError(errno == ENOENT ? kErrFileNotFound : ErrnoToError(errno));
    return fd;
}

} // namespace

bool GrantRegistryKeyToInvokingUser(RegistryRoot root, const std::wstring& path) {
    std::vector<std::wstring> names;
    if (!SplitKeyPath(path, &names))
        return false;
    if (names.empty()) {
        SetLastError(kErrAccessDenied);
        return false;
    }
    RegistryKey key;
    if (!key.Create(root, path))
        return false;
    int fd = OpenKeyFolder(root, path);
    if (fd < 0)
        return false;
    std::uint32_t uid = InvokingUserId();
    UserAccount account;
    std::uint32_t gid = LookUpUser(uid, &account) ? account.gid : uid;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && ::fchown(fd, uid, gid) == 0 &&
              ::fchmod(fd, (st.st_mode & 07777) | S_IRWXU) == 0;
    int err = errno;
    for (const char* name : {kValuesFile, kNameFile}) {
        int file = ::openat(fd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (file < 0)
            continue;
        struct stat fileStat {};
        if (::fstat(file, &fileStat) == 0 && S_ISREG(fileStat.st_mode) &&
            (::fchown(file, uid, gid) != 0 ||
             ::fchmod(file, (fileStat.st_mode & 07777) | S_IRUSR | S_IWUSR) != 0) &&
            ok) {
            ok = false;
            err = errno;
        }
        ::close(file);
    }
    ::close(fd);
    if (!ok)
        SetLastErrno(err);
    return ok;
}

bool GetRegistryKeyOwner(RegistryRoot root, const std::wstring& path, std::uint32_t* owner) {
    int fd = OpenKeyFolder(root, path);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    ::close(fd);
    if (ok)
        *owner = static_cast<std::uint32_t>(st.st_uid);
    return ok;
}

} // namespace plat
