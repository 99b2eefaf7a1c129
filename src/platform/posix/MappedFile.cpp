#include "platform/MappedFile.h"

#include "platform/Unicode.h"
#include "platform/posix/ErrnoMap.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {

MappedFile::~MappedFile() {
    Close();
}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : data_(other.data_), size_(other.size_), released_(other.released_) {
    other.data_ = nullptr;
    other.size_ = 0;
    other.released_ = 0;
}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
    if (this != &other) {
        Close();
        data_ = other.data_;
        size_ = other.size_;
        released_ = other.released_;
        other.data_ = nullptr;
        other.size_ = 0;
        other.released_ = 0;
    }
    return *this;
}

bool MappedFile::Open(const std::wstring& path, std::uint64_t length) {
    Close();
    int fd = ::open(WideToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        posix::SetLastErrno(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        posix::SetLastErrno(errno);
        ::close(fd);
        return false;
    }
    if (static_cast<std::uint64_t>(st.st_size) < length) {
        ::close(fd);
        SetLastError(kErrHandleEof);
        return false;
    }
    if (length == 0) {
        ::close(fd);
        SetLastError(kErrSuccess);
        return true;
    }
    void* view = ::mmap(nullptr, static_cast<std::size_t>(length), PROT_READ, MAP_PRIVATE, fd, 0);
    int err = errno;
    ::close(fd); // the mapping keeps the file
    if (view == MAP_FAILED) {
        posix::SetLastErrno(err);
        return false;
    }
    ::madvise(view, static_cast<std::size_t>(length), MADV_SEQUENTIAL);
    data_ = static_cast<const std::uint8_t*>(view);
    size_ = static_cast<std::size_t>(length);
    released_ = 0;
    SetLastError(kErrSuccess);
    return true;
}

void MappedFile::Close() {
    if (data_)
        ::munmap(const_cast<std::uint8_t*>(data_), size_);
    data_ = nullptr;
    size_ = 0;
    released_ = 0;
}

void MappedFile::ReleaseBefore(std::size_t offset) {
    if (!data_)
        return;
    static const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    std::size_t end = (offset < size_ ? offset : size_) / page * page;
    if (end <= released_)
        return;
    // Only whole pages from the start of the view (which is page aligned).
    ::madvise(const_cast<std::uint8_t*>(data_) + released_, end - released_, MADV_DONTNEED);
    released_ = end;
}

void MappedFile::ReleaseTouched() {
    if (data_)
        ::madvise(const_cast<std::uint8_t*>(data_), size_, MADV_DONTNEED);
}

} // namespace plat
