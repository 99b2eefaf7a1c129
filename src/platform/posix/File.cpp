#include "platform/File.h"

#include "platform/FileSystem.h"
#include "platform/Unicode.h"
#include "platform/posix/ErrnoMap.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {

using posix::SetLastErrno;

namespace {

// A new file named like a program (".exe") is made runnable, as every such
// file is where the launcher's packages come from; other files are not.
mode_t NewFileMode(const std::string& native) {
    const std::size_t dot = native.rfind('.');
    if (dot == std::string::npos || native.size() - dot != 4)
        return 0644;
    std::string extension = native.substr(dot);
    for (char& c : extension)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return extension == ".exe" ? 0755 : 0644;
}

} // namespace

File::~File() {
    Close();
}

File::File(File&& other) noexcept : fd_(other.fd_) {
    other.fd_ = -1;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

bool File::Open(const std::wstring& path, unsigned access, Disposition disposition, bool* created) {
    Close();
    if (created)
        *created = false;
    if (path.empty()) {
        SetLastError(kErrPathNotFound);
        return false;
    }
    std::string native = WideToUtf8(path);
    int flags = O_CLOEXEC;
    if ((access & kReadWrite) == kReadWrite)
        flags |= O_RDWR;
    else if (access & kWrite)
        flags |= O_WRONLY;
    else
        flags |= O_RDONLY;
    if (access & kNoFollow)
        flags |= O_NOFOLLOW;

    bool existed = ::access(native.c_str(), F_OK) == 0;
    switch (disposition) {
    case Disposition::CreateNew:
        flags |= O_CREAT | O_EXCL;
        break;
    case Disposition::CreateAlways:
        flags |= O_CREAT | O_TRUNC;
        break;
    case Disposition::OpenExisting:
        break;
    case Disposition::OpenAlways:
        flags |= O_CREAT;
        break;
    case Disposition::TruncateExisting:
        flags |= O_TRUNC;
        break;
    }
    int fd = ::open(native.c_str(), flags, NewFileMode(native));
    if (fd < 0) {
        int err = errno;
        if (disposition == Disposition::CreateNew && err == EEXIST)
            SetLastError(kErrFileExists);
        else if (err == ENOENT && disposition != Disposition::OpenExisting &&
                 disposition != Disposition::TruncateExisting)
            SetLastError(kErrPathNotFound); // the folder is missing
        else
            SetLastErrno(err);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        SetLastError(kErrAccessDenied);
        return false;
    }
    fd_ = fd;
    if (created)
        *created = !existed;
    // Windows reports an already existing file for the two "always" kinds.
    bool alwaysKind =
        disposition == Disposition::OpenAlways || disposition == Disposition::CreateAlways;
    SetLastError(alwaysKind && existed ? kErrAlreadyExists : kErrSuccess);
    return true;
}

void File::Close() {
    if (fd_ >= 0) {
        ::close(static_cast<int>(fd_));
        fd_ = -1;
    }
}

bool File::Read(void* buffer, std::size_t size, std::size_t* done) {
    *done = 0;
    if (fd_ < 0) {
        SetLastError(kErrInvalidHandle);
        return false;
    }
    auto out = static_cast<char*>(buffer);
    while (*done < size) {
        ssize_t n = ::read(static_cast<int>(fd_), out + *done, size - *done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            SetLastErrno(errno);
            return false;
        }
        if (n == 0)
            break;
        *done += static_cast<std::size_t>(n);
    }
    return true;
}

bool File::Write(const void* data, std::size_t size) {
    if (fd_ < 0) {
        SetLastError(kErrInvalidHandle);
        return false;
    }
    auto in = static_cast<const char*>(data);
    std::size_t written = 0;
    while (written < size) {
        ssize_t n = ::write(static_cast<int>(fd_), in + written, size - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            SetLastErrno(errno);
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    return true;
}

bool File::Seek(std::int64_t offset, SeekFrom from, std::int64_t* position) {
    if (fd_ < 0) {
        SetLastError(kErrInvalidHandle);
        return false;
    }
    int whence = from == SeekFrom::Begin     ? SEEK_SET
                 : from == SeekFrom::Current ? SEEK_CUR
                                             : SEEK_END;
    off_t pos = ::lseek(static_cast<int>(fd_), static_cast<off_t>(offset), whence);
    if (pos < 0) {
        SetLastError(kErrNegativeSeek);
        return false;
    }
    if (position)
        *position = pos;
    return true;
}

bool File::SetEndOfFile() {
    std::int64_t pos = 0;
    if (!Seek(0, SeekFrom::Current, &pos))
        return false;
    if (::ftruncate(static_cast<int>(fd_), static_cast<off_t>(pos)) != 0) {
        SetLastErrno(errno);
        return false;
    }
    return true;
}

bool File::Size(std::uint64_t* size) const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(static_cast<int>(fd_), &st) != 0) {
        SetLastError(kErrInvalidHandle);
        return false;
    }
    *size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool File::StartWriteBack(std::uint64_t offset, std::uint64_t length) {
    if (fd_ < 0) {
        SetLastError(kErrInvalidHandle);
        return false;
    }
    // Not every file system takes the hint; the data is written either way.
    ::sync_file_range(static_cast<int>(fd_), static_cast<off_t>(offset), static_cast<off_t>(length),
                      SYNC_FILE_RANGE_WRITE);
    return true;
}

bool File::Flush() {
    if (fd_ < 0) {
        SetLastError(kErrInvalidHandle);
        return false;
    }
    if (::fdatasync(static_cast<int>(fd_)) != 0 && errno != EINVAL) {
        SetLastErrno(errno);
        return false;
    }
    return true;
}

bool ReadWholeFile(const std::wstring& path, std::string* contents) {
    File file;
    if (!file.Open(path, kRead, Disposition::OpenExisting))
        return false;
    std::uint64_t size = 0;
    if (!file.Size(&size))
        return false;
    contents->resize(static_cast<std::size_t>(size));
    std::size_t done = 0;
    if (!file.Read(contents->data(), contents->size(), &done))
        return false;
    contents->resize(done);
    return true;
}

std::wstring TempNameBeside(const std::wstring& path) {
    static std::atomic<unsigned> counter{0};
    unsigned n = counter.fetch_add(1);
    return FolderOf(path) + L"." + FileNameOf(path) + L"." + std::to_wstring(::getpid()) + L"-" +
           std::to_wstring(n) + L".part";
}

bool WriteWholeFile(const std::wstring& path, const void* data, std::size_t size) {
    // Attempts at finding an unused name: a leftover of an earlier process
    // with the same number may be in the way.
    constexpr int kAttempts = 16;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::wstring temp = TempNameBeside(path);
        File file;
        // A new name: an existing file or link there is never opened.
        if (!file.Open(temp, kWrite, Disposition::CreateNew)) {
            if (GetLastError() == kErrFileExists)
                continue;
            return false;
        }
        bool written = file.Write(data, size) && file.Flush();
        file.Close();
        // rename replaces a link at the path, never what it points to.
        if (written && ::rename(WideToUtf8(temp).c_str(), WideToUtf8(path).c_str()) == 0)
            return true;
        if (written)
            SetLastErrno(errno);
        ErrorCode error = GetLastError();
        ::unlink(WideToUtf8(temp).c_str());
        SetLastError(error);
        return false;
    }
    return false;
}

} // namespace plat
