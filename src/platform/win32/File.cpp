#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/win32/Handle.h"

#include <algorithm>
#include <atomic>

namespace plat {

namespace {

using win::IntToHandle;

HANDLE H(std::intptr_t fd) {
    return IntToHandle(fd);
}

// The largest piece one ReadFile or WriteFile call moves.
constexpr std::size_t kMaxChunk = 1u << 30;

// Writes every byte to an open handle; false with the system's last error.
bool WriteAll(HANDLE h, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    std::size_t total = 0;
    while (total < size) {
        DWORD piece = static_cast<DWORD>(std::min(size - total, kMaxChunk));
        DWORD put = 0;
        if (!::WriteFile(h, bytes + total, piece, &put, nullptr))
            return false;
        if (put == 0) {
            ::SetLastError(ERROR_DISK_FULL);
            return false;
        }
        total += put;
    }
    return true;
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
    if (path.empty())
        return win::FailWith(kErrPathNotFound);
    DWORD desired = 0;
    if (access & kRead)
        desired |= GENERIC_READ;
    if (access & kWrite)
        desired |= GENERIC_WRITE;
    DWORD creation = OPEN_EXISTING;
    switch (disposition) {
    case Disposition::CreateNew:
        creation = CREATE_NEW;
        break;
    case Disposition::CreateAlways:
        creation = CREATE_ALWAYS;
        break;
    case Disposition::OpenExisting:
        creation = OPEN_EXISTING;
        break;
    case Disposition::OpenAlways:
        creation = OPEN_ALWAYS;
        break;
    case Disposition::TruncateExisting:
        creation = TRUNCATE_EXISTING;
        break;
    }
    const std::wstring native = win::WinPath(path);
    DWORD flags = FILE_ATTRIBUTE_NORMAL;
    if (access & kNoFollow) {
        // Opened as the entry itself: a link at the end of the path is seen
        // and refused instead of being followed.
        flags |= FILE_FLAG_OPEN_REPARSE_POINT;
        DWORD attributes = ::GetFileAttributesW(native.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return win::FailWith(kErrInvalidName);
    }
    // Others may read, write and delete or rename the file meanwhile, as
    // the POSIX files the launcher grew up with allow.
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE h = ::CreateFileW(native.c_str(), desired, share, nullptr, creation, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD error = ::GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
            return win::FailWith(kErrFileExists);
        if (error == ERROR_ACCESS_DENIED) {
            DWORD attributes = ::GetFileAttributesW(native.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
                return win::FailWith(kErrAccessDenied);
        }
        return win::FailWithCode(error);
    }
    const bool existed = ::GetLastError() == ERROR_ALREADY_EXISTS;
    if (access & kNoFollow) {
        BY_HANDLE_FILE_INFORMATION info{};
        if (::GetFileInformationByHandle(h, &info) &&
            (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            ::CloseHandle(h);
            return win::FailWith(kErrInvalidName);
        }
    }
    fd_ = reinterpret_cast<std::intptr_t>(h);
    const bool alwaysKind =
        disposition == Disposition::OpenAlways || disposition == Disposition::CreateAlways;
    if (created)
        *created = creation == CREATE_NEW || (alwaysKind && !existed);
    SetLastError(alwaysKind && existed ? kErrAlreadyExists : kErrSuccess);
    return true;
}

void File::Close() {
    if (fd_ >= 0) {
        ::CloseHandle(H(fd_));
        fd_ = -1;
    }
}

bool File::Read(void* buffer, std::size_t size, std::size_t* done) {
    if (done)
        *done = 0;
    if (fd_ < 0)
        return win::FailWith(kErrInvalidHandle);
    auto* bytes = static_cast<char*>(buffer);
    std::size_t total = 0;
    while (total < size) {
        DWORD piece = static_cast<DWORD>(std::min(size - total, kMaxChunk));
        DWORD got = 0;
        if (!::ReadFile(H(fd_), bytes + total, piece, &got, nullptr)) {
            if (::GetLastError() == ERROR_HANDLE_EOF)
                break;
            return win::FailWithSystemError();
        }
        if (got == 0)
            break;
        total += got;
    }
    if (done)
        *done = total;
    return true;
}

bool File::Write(const void* data, std::size_t size) {
    if (fd_ < 0)
        return win::FailWith(kErrInvalidHandle);
    return WriteAll(H(fd_), data, size) ? true : win::FailWithSystemError();
}

bool File::Seek(std::int64_t offset, SeekFrom from, std::int64_t* position) {
    if (fd_ < 0)
        return win::FailWith(kErrInvalidHandle);
    DWORD method = from == SeekFrom::Begin     ? FILE_BEGIN
                   : from == SeekFrom::Current ? FILE_CURRENT
                                               : FILE_END;
    LARGE_INTEGER distance{};
    distance.QuadPart = offset;
    LARGE_INTEGER now{};
    if (!::SetFilePointerEx(H(fd_), distance, &now, method))
        return win::FailWithSystemError();
    if (position)
        *position = now.QuadPart;
    return true;
}

bool File::SetEndOfFile() {
    if (fd_ < 0)
        return win::FailWith(kErrInvalidHandle);
    return ::SetEndOfFile(H(fd_)) ? true : win::FailWithSystemError();
}

bool File::Size(std::uint64_t* size) const {
    if (fd_ < 0)
        return win::FailWith(kErrInvalidHandle);
    LARGE_INTEGER value{};
    if (!::GetFileSizeEx(H(fd_), &value))
        return win::FailWithSystemError();
    *size = static_cast<std::uint64_t>(value.QuadPart);
    return true;
}

bool File::StartWriteBack(std::uint64_t, std::uint64_t) {
    // The system's lazy writer already writes sequential files behind the
    // writer; nothing to ask for.
    if (fd_ < 0)
        return win::FailWith(kErrInvalidHandle);
    return true;
}

bool File::Flush() {
    if (fd_ < 0)
        return win::FailWith(kErrInvalidHandle);
    return ::FlushFileBuffers(H(fd_)) ? true : win::FailWithSystemError();
}

bool ReadWholeFile(const std::wstring& path, std::string* contents) {
    File file;
    if (!file.Open(path, kRead, Disposition::OpenExisting))
        return false;
    std::uint64_t size = 0;
    if (!file.Size(&size))
        return false;
    if (size > static_cast<std::uint64_t>(contents->max_size()))
        return win::FailWith(kErrNotEnoughMemory);
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
    return FolderOf(path) + L"." + FileNameOf(path) + L"." +
           std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(n) + L".part";
}

bool WriteNewPrivateFile(const std::wstring& path, const void* data, std::size_t size) {
    // A new file gets the folder's inherited rights; under the user's own
    // profile those leave out other users. CREATE_NEW never opens what is
    // there, a link included.
    const std::wstring native = win::WinPath(path);
    HANDLE h = ::CreateFileW(native.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD error = ::GetLastError();
        return error == ERROR_ALREADY_EXISTS ? win::FailWith(kErrFileExists)
                                             : win::FailWithCode(error);
    }
    win::Handle file(h);
    bool written = WriteAll(h, data, size) && ::FlushFileBuffers(h);
    ErrorCode error = written ? 0 : ::GetLastError();
    file.Reset();
    if (!written) {
        ::DeleteFileW(native.c_str());
        return win::FailWithCode(error);
    }
    return true;
}

bool WriteWholeFile(const std::wstring& path, const void* data, std::size_t size) {
    constexpr int kAttempts = 16;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::wstring temp = TempNameBeside(path);
        File file;
        if (!file.Open(temp, kWrite, Disposition::CreateNew)) {
            if (GetLastError() == kErrFileExists)
                continue;
            return false;
        }
        bool written = file.Write(data, size) && file.Flush();
        file.Close();
        const std::wstring nativeTemp = win::WinPath(temp);
        // MoveFileEx replaces a link at the path by the file; it never
        // writes through it.
        if (written && ::MoveFileExW(nativeTemp.c_str(), win::WinPath(path).c_str(),
                                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        if (written)
            win::FailWithSystemError();
        ErrorCode error = GetLastError();
        ::DeleteFileW(nativeTemp.c_str());
        SetLastError(error);
        return false;
    }
    return false;
}

} // namespace plat
