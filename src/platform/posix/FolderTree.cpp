// Folder trees walked through descriptors: every entry is looked at with
// fstatat without following links, every folder is entered with openat and
// O_NOFOLLOW and checked to be the folder that was looked at.

#include "platform/FolderTree.h"

#include "platform/Elevation.h"
#include "platform/TextCase.h"
#include "platform/Unicode.h"
#include "platform/posix/ErrnoMap.h"
#include "platform/posix/ImageLock.h"
#include "platform/posix/TextFiles.h"
#include "platform/posix/UserAccounts.h"

#include <cerrno>
#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace plat {

namespace {

// The names of the entries of an open folder ("." and ".." left out). The
// folder's own descriptor stays untouched.
bool ListNames(int folderFd, std::vector<std::string>* names) {
    names->clear();
    int copy = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (copy < 0) {
        posix::SetLastErrno(errno);
        return false;
    }
    DIR* dir = ::fdopendir(copy);
    if (!dir) {
        posix::SetLastErrno(errno);
        ::close(copy);
        return false;
    }
    while (const dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            names->push_back(std::move(name));
    }
    ::closedir(dir);
    return true;
}

bool SameEntry(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Opens a subfolder that was seen as `seen`; -1 when it is a link now, or
// another folder than the one seen.
int OpenSubfolder(int parentFd, const std::string& name, const struct stat& seen) {
    int fd = ::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !SameEntry(st, seen)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool Stopped(const std::atomic<bool>* stop) {
    return stop && stop->load();
}

std::uint32_t CountBelow(int folderFd, dev_t device, int depth) {
    std::vector<std::string> names;
    if (!ListNames(folderFd, &names))
        return 0;
    std::uint32_t count = 0;
    for (const std::string& name : names) {
        ++count;
        struct stat st {};
        if (::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISDIR(st.st_mode) || st.st_dev != device || depth >= kMaxTreeDepth)
            continue;
        int sub = OpenSubfolder(folderFd, name, st);
        if (sub < 0)
            continue;
        count += CountBelow(sub, device, depth + 1);
        ::close(sub);
    }
    return count;
}

// Deletes what is below one folder; false when something other than a kept
// file stayed or the walk was stopped.
class TreeDeleter {
public:
    TreeDeleter(const TreeDeleteOptions& options, dev_t device)
        : options_(options), keepName_(WideToUtf8(options.keepName)), device_(device) {}

    bool DeleteBelow(int folderFd, int depth) {
        std::vector<std::string> names;
        if (!ListNames(folderFd, &names))
            return false;
        bool clean = true;
        for (const std::string& name : names) {
            if (Stopped(options_.stop))
                return false;
            struct stat st {};
            if (::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
                clean = clean && errno == ENOENT; // gone meanwhile
                Step();
                continue;
            }
            if (S_ISDIR(st.st_mode)) {
                if (st.st_dev == device_ && depth < kMaxTreeDepth) {
                    int sub = OpenSubfolder(folderFd, name, st);
                    if (sub >= 0) {
                        clean = DeleteBelow(sub, depth + 1) && clean;
                        ::close(sub);
                        if (Stopped(options_.stop))
                            return false;
                    }
                }
                // Only an emptied folder goes; a mount point never does.
                if (::unlinkat(folderFd, name.c_str(), AT_REMOVEDIR) != 0)
                    clean = false;
            } else if (IsKept(name, depth)) {
                // stays
            } else if (!DeleteFileEntry(folderFd, name)) {
                clean = false;
            }
            Step();
        }
        return clean;
    }

private:
    bool IsKept(const std::string& name, int depth) const {
        if (keepName_.empty() || (options_.keepOnlyAtTop && depth != 0))
            return false;
        return EqualsNoCase(name, keepName_);
    }

    bool DeleteFileEntry(int folderFd, const std::string& name) const {
        int attempts = options_.attempts < 1 ? 1 : options_.attempts;
        for (int attempt = 0; attempt < attempts; ++attempt) {
            if (attempt > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(options_.retryPauseMs));
            // A running program's file stays until its program ends.
            if (posix::ImageInUseAt(folderFd, name))
                continue;
            if (::unlinkat(folderFd, name.c_str(), 0) == 0 || errno == ENOENT)
                return true;
        }
        return false;
    }

    void Step() const {
        if (options_.onEntry)
            options_.onEntry();
    }

    const TreeDeleteOptions& options_;
    std::string keepName_;
    dev_t device_;
};

// Gives the user ownership of what is below one folder.
class TreeGranter {
public:
    TreeGranter(std::uint32_t uid, std::uint32_t gid, dev_t device, const std::atomic<bool>* stop,
                const std::function<void()>& onEntry)
        : uid_(uid), gid_(gid), device_(device), stop_(stop), onEntry_(onEntry) {}

    bool GrantFolder(int fd) const {
        struct stat st {};
        if (::fstat(fd, &st) != 0)
            return false;
        if (::fchown(fd, uid_, gid_) != 0)
            return false;
        return ::fchmod(fd, (st.st_mode & 07777) | S_IRWXU) == 0;
    }

    void GrantBelow(int folderFd, int depth) {
        std::vector<std::string> names;
        if (!ListNames(folderFd, &names)) {
            ++failures_;
            return;
        }
        for (const std::string& name : names) {
            if (Stopped(stop_))
                return;
            if (onEntry_)
                onEntry_();
            struct stat st {};
            if (::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            if (st.st_dev != device_)
                continue;
            if (S_ISDIR(st.st_mode)) {
                if (depth >= kMaxTreeDepth) {
                    ++failures_;
                    continue;
                }
                int sub = OpenSubfolder(folderFd, name, st);
                if (sub < 0 || !GrantFolder(sub))
                    ++failures_;
                if (sub >= 0) {
                    GrantBelow(sub, depth + 1);
                    ::close(sub);
                }
            } else if (S_ISREG(st.st_mode)) {
                if (!GrantFile(folderFd, name, st))
                    ++failures_;
            }
        }
    }

    std::uint32_t Failures() const { return failures_; }

private:
    bool GrantFile(int folderFd, const std::string& name, const struct stat& seen) const {
        // A second name of somebody else's file: giving it away would give
        // away a file outside the tree.
        if (seen.st_nlink > 1 && seen.st_uid != uid_)
            return false;
        int fd = ::openat(folderFd, name.c_str(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            return false;
        struct stat st {};
        bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && SameEntry(st, seen) &&
                  ::fchown(fd, uid_, gid_) == 0 &&
                  ::fchmod(fd, (st.st_mode & 07777) | S_IRUSR | S_IWUSR) == 0;
        ::close(fd);
        return ok;
    }

    std::uint32_t uid_, gid_;
    dev_t device_;
    const std::atomic<bool>* stop_;
    const std::function<void()>& onEntry_;
    std::uint32_t failures_ = 0;
};

} // namespace

OpenFolder::~OpenFolder() {
    Close();
}

bool OpenFolder::Open(const std::wstring& path) {
    Close();
    std::string native = WideToUtf8(path);
    // A trailing separator would make the last name followed after all.
    while (native.size() > 1 && native.back() == '/')
        native.pop_back();
    if (native.empty()) {
        SetLastError(kErrPathNotFound);
        return false;
    }
    int fd = ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        struct stat st {};
        if (errno == ELOOP ||
            (errno == ENOTDIR && ::lstat(native.c_str(), &st) == 0 && S_ISLNK(st.st_mode)))
            SetLastError(kErrAccessDenied);
        else if (errno == ENOENT || errno == ENOTDIR)
            SetLastError(kErrPathNotFound);
        else
            posix::SetLastErrno(errno);
        return false;
    }
    fd_ = fd;
    return true;
}

void OpenFolder::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

std::wstring OpenFolder::ResolvedPath() const {
    if (fd_ < 0)
        return std::wstring();
    std::string link = "/proc/self/fd/" + std::to_string(fd_);
    std::string target(4096, '\0');
    ssize_t length = ::readlink(link.c_str(), target.data(), target.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= target.size())
        return std::wstring();
    target.resize(static_cast<std::size_t>(length));
    if (target.size() > 10 && target.compare(target.size() - 10, 10, " (deleted)") == 0)
        return std::wstring();
    return Utf8ToWide(target);
}

std::uint32_t OpenFolder::OwnerId() const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0)
        return ~0u;
    return static_cast<std::uint32_t>(st.st_uid);
}

bool OpenFolder::IsEmpty() const {
    std::vector<std::string> names;
    return fd_ >= 0 && ListNames(fd_, &names) && names.empty();
}

bool OpenFolder::HoldsFile(const std::wstring& name) const {
    std::vector<std::string> names;
    if (fd_ < 0 || !ListNames(fd_, &names))
        return false;
    std::string wanted = WideToUtf8(name);
    for (const std::string& entry : names) {
        struct stat st {};
        if (EqualsNoCase(entry, wanted) &&
            ::fstatat(fd_, entry.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
            return true;
    }
    return false;
}

bool OpenFolder::DeleteFile(const std::wstring& name) const {
    std::string native = WideToUtf8(name);
    if (fd_ < 0 || native.empty() || native.find('/') != std::string::npos || native == "." ||
        native == "..") {
        SetLastError(kErrInvalidName);
        return false;
    }
    struct stat st {};
    if (::fstatat(fd_, native.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        posix::SetLastErrno(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        SetLastError(kErrAccessDenied);
        return false;
    }
    if (posix::ImageInUseAt(fd_, native)) {
        SetLastError(kErrSharingViolation);
        return false;
    }
    if (::unlinkat(fd_, native.c_str(), 0) != 0) {
        posix::SetLastErrno(errno);
        return false;
    }
    return true;
}

bool OpenFolder::ReadFile(const std::wstring& name, std::size_t limit,
                          std::string* contents) const {
    std::string native = WideToUtf8(name);
    if (fd_ < 0 || native.empty() || native.find('/') != std::string::npos) {
        SetLastError(kErrInvalidName);
        return false;
    }
    return posix::ReadSmallFileAt(fd_, native, limit, contents);
}

bool PathEntryExists(const std::wstring& path) {
    struct stat st {};
    return ::lstat(WideToUtf8(path).c_str(), &st) == 0;
}

std::uint32_t CountTreeEntries(const OpenFolder& folder) {
    struct stat st {};
    if (!folder.IsOpen() || ::fstat(folder.Descriptor(), &st) != 0)
        return 0;
    return CountBelow(folder.Descriptor(), st.st_dev, 0);
}

bool DeleteTreeContents(const OpenFolder& folder, const TreeDeleteOptions& options) {
    struct stat st {};
    if (!folder.IsOpen() || ::fstat(folder.Descriptor(), &st) != 0) {
        SetLastError(kErrInvalidHandle);
        return false;
    }
    TreeDeleter deleter(options, st.st_dev);
    return deleter.DeleteBelow(folder.Descriptor(), 0) && !Stopped(options.stop);
}

bool GrantTreeToInvokingUser(const OpenFolder& folder, const std::atomic<bool>* stop,
                             const std::function<void()>& onEntry, std::uint32_t* failures) {
    struct stat st {};
    if (!folder.IsOpen() || ::fstat(folder.Descriptor(), &st) != 0) {
        SetLastError(kErrInvalidHandle);
        return false;
    }
    std::uint32_t uid = InvokingUserId();
    posix::UserAccount account;
    std::uint32_t gid = posix::LookUpUser(uid, &account) ? account.gid : uid;
    TreeGranter granter(uid, gid, st.st_dev, stop, onEntry);
    if (!granter.GrantFolder(folder.Descriptor())) {
        posix::SetLastErrno(errno);
        return false;
    }
    granter.GrantBelow(folder.Descriptor(), 0);
    if (failures)
        *failures = granter.Failures();
    return true;
}

} // namespace plat
