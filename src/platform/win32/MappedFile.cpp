#include "platform/MappedFile.h"
#include "platform/win32/Handle.h"

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
    win::Handle file(::CreateFileW(win::WinPath(path).c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.Valid())
        return win::FailWithSystemError();
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size))
        return win::FailWithSystemError();
    if (static_cast<std::uint64_t>(size.QuadPart) < length)
        return win::FailWith(kErrHandleEof);
    if (length == 0) {
        SetLastError(kErrSuccess);
        return true;
    }
    if (length > static_cast<std::uint64_t>(SIZE_MAX))
        return win::FailWith(kErrNotEnoughMemory);
    // The view keeps the file; neither handle is needed once it exists.
    win::Handle mapping(::CreateFileMappingW(file.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping.Valid())
        return win::FailWithSystemError();
    void* view = ::MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, static_cast<SIZE_T>(length));
    if (view == nullptr)
        return win::FailWithSystemError();
    data_ = static_cast<const std::uint8_t*>(view);
    size_ = static_cast<std::size_t>(length);
    released_ = 0;
    SetLastError(kErrSuccess);
    return true;
}

void MappedFile::Close() {
    if (data_)
        ::UnmapViewOfFile(data_);
    data_ = nullptr;
    size_ = 0;
    released_ = 0;
}

namespace {

std::size_t PageSize() {
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    return info.dwPageSize != 0 ? info.dwPageSize : 4096;
}

// Unlocking pages that were never locked takes them out of the process's
// working set: they stay mapped and come back from the file when read.
void DropPages(const std::uint8_t* start, std::size_t length) {
    if (length != 0)
        ::VirtualUnlock(const_cast<std::uint8_t*>(start), length);
}

} // namespace

void MappedFile::ReleaseBefore(std::size_t offset) {
    if (!data_)
        return;
    static const std::size_t page = PageSize();
    std::size_t end = (offset < size_ ? offset : size_) / page * page;
    if (end <= released_)
        return;
    DropPages(data_ + released_, end - released_);
    released_ = end;
}

void MappedFile::ReleaseTouched() {
    if (data_)
        DropPages(data_, size_);
}

} // namespace plat
