#include "platform/posix/RegistryFiles.h"

#include "platform/Error.h"
#include "platform/posix/ErrnoMap.h"
#include "platform/posix/RegistryPaths.h"
#include "platform/posix/TextFiles.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace plat::posix {

namespace {

bool WriteAll(int fd, const std::string& contents) {
    std::size_t done = 0;
    while (done < contents.size()) {
        ssize_t written = ::write(fd, contents.data() + done, contents.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace

RegistryWriteLock::RegistryWriteLock(const RootPlace& root)
    : LockFile(root.folder + "/" + kLockFile, root.fileMode) {}

bool ReadStoreFile(const std::string& path, std::size_t limit, std::string* contents) {
    return ReadSmallFile(path, limit, contents);
}

bool ReplaceStoreFile(const std::string& folder, const char* name, const std::string& contents,
                      unsigned mode) {
    std::string temp = folder + "/" + kTempPrefix + "XXXXXX";
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        SetLastErrno(errno);
        return false;
    }
    bool written = ::fchmod(fd, mode) == 0 && WriteAll(fd, contents) && ::fsync(fd) == 0;
    int err = errno;
    if (::close(fd) != 0 && written) {
        written = false;
        err = errno;
    }
    if (written && ::rename(temp.c_str(), (folder + "/" + name).c_str()) == 0)
        return true;
    if (written)
        err = errno;
    ::unlink(temp.c_str());
    SetLastErrno(err);
    return false;
}

bool IsKeyFolder(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        SetLastError(errno == ENOENT || errno == ENOTDIR ? kErrFileNotFound : ErrnoToError(errno));
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        SetLastError(kErrAccessDenied); // a file or a link planted where a key belongs
        return false;
    }
    return true;
}

bool MakeRootFolders(const std::string& path, unsigned mode) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string prefix = path.substr(0, slash);
        if (::mkdir(prefix.c_str(), mode) == 0)
            ::chmod(prefix.c_str(), mode); // whatever the umask took away
        else if (errno != EEXIST) {
            SetLastErrno(errno);
            return false;
        }
        if (slash == std::string::npos)
            break;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        SetLastError(kErrPathNotFound);
        return false;
    }
    return true;
}

bool MakeKeyFolder(const std::string& parent, const std::string& folderName,
                   const std::string& nameBytes, unsigned folderMode, unsigned fileMode) {
    std::string temp = parent + "/" + kTempPrefix + "XXXXXX";
    if (!::mkdtemp(temp.data())) {
        SetLastErrno(errno);
        return false;
    }
    std::string nameFile = temp + "/" + kNameFile;
    int fd = ::open(nameFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    bool built = fd >= 0 && ::fchmod(fd, fileMode) == 0 && WriteAll(fd, nameBytes);
    int err = errno;
    if (fd >= 0 && ::close(fd) != 0 && built) {
        built = false;
        err = errno;
    }
    if (built && ::chmod(temp.c_str(), folderMode) == 0 &&
        ::rename(temp.c_str(), (parent + "/" + folderName).c_str()) == 0)
        return true;
    if (built)
        err = errno;
    ::unlink(nameFile.c_str());
    ::rmdir(temp.c_str());
    SetLastErrno(err);
    return false;
}

bool RemoveKeyFolder(const std::string& rootFolder, const std::string& keyFolder) {
    std::string trash = rootFolder + "/" + kTrashPrefix + "XXXXXX";
    if (!::mkdtemp(trash.data())) {
        SetLastErrno(errno);
        return false;
    }
    // rename() replaces the empty trash folder with the key's folder.
    if (::rename(keyFolder.c_str(), trash.c_str()) != 0) {
        int err = errno;
        ::rmdir(trash.c_str());
        SetLastErrno(err);
        return false;
    }
    // The key is gone for every reader now; what cannot be removed stays in
    // the trash folder, out of sight.
    std::error_code ignored;
    std::filesystem::remove_all(trash, ignored);
    return true;
}

} // namespace plat::posix
