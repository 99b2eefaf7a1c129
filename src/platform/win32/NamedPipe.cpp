#include "platform/NamedPipe.h"
#include "platform/win32/Handle.h"

#include <sddl.h>

#include <algorithm>
#include <chrono>
#include <thread>

// The pipe is a system named pipe with a single instance, opened for
// overlapped transfers so that a transfer waiting on one thread can be
// ended from another. The int slots of the object hold:
//   listenFd_      the server's pipe handle (server only)
//   fd_            the handle transfers use; -1 none yet, -2 disconnected
//   placeholderFd_ the client's own handle (client only)

namespace plat {

namespace {

using win::IntToHandle;

constexpr int kDisconnected = -2;
constexpr DWORD kBufferBytes = 64 * 1024;
// How often a waiting transfer looks whether Disconnect was called.
constexpr DWORD kStatePollMs = 50;
constexpr auto kDataPoll = std::chrono::milliseconds(2);

constexpr wchar_t kPipePrefix[] = L"\\\\.\\pipe\\";

// The system name of a pipe: the text after the prefix stays one name
// (no "." or ".." steps, no sub-paths), so both sides agree on it and it
// never leaves the pipe namespace. Empty (last error 123) for a name
// without the prefix or without a name after it.
std::wstring SystemPipeName(const std::wstring& name) {
    const std::wstring prefix = kPipePrefix;
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) {
        win::FailWith(kErrInvalidName);
        return std::wstring();
    }
    std::wstring rest = name.substr(prefix.size());
    for (wchar_t& c : rest)
        if (c == L'\\' || c == L'/')
            c = L'_';
    return prefix + rest;
}

// Access for the user this process works for, the system and the
// administrators; nobody else may open either end.
bool MakeSecurity(PSECURITY_DESCRIPTOR* descriptor) {
    std::vector<unsigned char> sid = win::CurrentUserSid();
    LPWSTR text = nullptr;
    if (sid.empty() || !::ConvertSidToStringSidW(sid.data(), &text))
        return false;
    std::wstring sddl = L"D:P(A;;GA;;;" + std::wstring(text) + L")(A;;GA;;;SY)(A;;GA;;;BA)";
    ::LocalFree(text);
    return ::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                                  descriptor, nullptr) != 0;
}

bool IsEndOfStream(DWORD error) {
    return error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA ||
           error == ERROR_PIPE_NOT_CONNECTED || error == ERROR_OPERATION_ABORTED ||
           error == ERROR_HANDLE_EOF;
}

// One overlapped read or write of up to `size` bytes; waits until it ends
// or `state` says the connection was ended.
bool TransferOnce(bool write, HANDLE h, char* buffer, DWORD size, const std::atomic<int>& state,
                  DWORD* done) {
    *done = 0;
    win::Handle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event.Valid())
        return win::FailWithSystemError();
    OVERLAPPED overlapped{};
    overlapped.hEvent = event.Get();
    BOOL started = write ? ::WriteFile(h, buffer, size, nullptr, &overlapped)
                         : ::ReadFile(h, buffer, size, nullptr, &overlapped);
    if (!started && ::GetLastError() != ERROR_IO_PENDING) {
        DWORD error = ::GetLastError();
        return win::FailWith(IsEndOfStream(error) ? ErrorCode{kErrBrokenPipe}
                                                  : static_cast<ErrorCode>(error));
    }
    while (::WaitForSingleObject(event.Get(), kStatePollMs) == WAIT_TIMEOUT) {
        if (state.load() == kDisconnected) {
            ::CancelIoEx(h, &overlapped);
            break;
        }
    }
    if (!::GetOverlappedResult(h, &overlapped, done, TRUE)) {
        DWORD error = ::GetLastError();
        return win::FailWith(IsEndOfStream(error) ? ErrorCode{kErrBrokenPipe}
                                                  : static_cast<ErrorCode>(error));
    }
    if (state.load() == kDisconnected && *done == 0)
        return win::FailWith(kErrBrokenPipe);
    return true;
}

bool TransferAll(bool write, HANDLE h, char* buffer, std::size_t size,
                 const std::atomic<int>& state) {
    std::size_t total = 0;
    while (total < size) {
        DWORD piece = static_cast<DWORD>(std::min<std::size_t>(size - total, 1u << 20));
        DWORD done = 0;
        if (!TransferOnce(write, h, buffer + total, piece, state, &done))
            return false;
        if (done == 0 && !write)
            return win::FailWith(kErrBrokenPipe);
        total += done;
    }
    return true;
}

} // namespace

NamedPipe::~NamedPipe() {
    Close();
}

bool NamedPipe::Create(const std::wstring& name) {
    Close();
    const std::wstring systemName = SystemPipeName(name);
    if (systemName.empty())
        return false;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!MakeSecurity(&descriptor))
        return win::FailWithSystemError();
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    // The first instance only: a second server finds the name taken.
    HANDLE h = ::CreateNamedPipeW(
        systemName.c_str(),
        PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
        kBufferBytes, kBufferBytes, 0, &attributes);
    DWORD error = ::GetLastError();
    ::LocalFree(descriptor);
    if (h == INVALID_HANDLE_VALUE) {
        if (error == ERROR_ACCESS_DENIED || error == ERROR_PIPE_BUSY)
            return win::FailWith(kErrPipeBusy);
        return win::FailWithCode(error);
    }
    listenFd_ = win::HandleToInt(h);
    fd_.store(-1);
    return true;
}

bool NamedPipe::Open(const std::wstring& name, int busyWaitMs, int attempts) {
    Close();
    const std::wstring systemName = SystemPipeName(name);
    if (systemName.empty())
        return false;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        HANDLE h = ::CreateFileW(
            systemName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
            FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            placeholderFd_ = win::HandleToInt(h);
            fd_.store(placeholderFd_);
            return true;
        }
        DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
            return win::FailWith(kErrFileNotFound);
        if (error != ERROR_PIPE_BUSY)
            return win::FailWithCode(error);
        // Busy: wait for the instance to be free, then try again.
        if (!::WaitNamedPipeW(systemName.c_str(),
                              static_cast<DWORD>(busyWaitMs < 0 ? 0 : busyWaitMs)) &&
            ::GetLastError() == ERROR_FILE_NOT_FOUND) {
            // The server went away meanwhile; a new one may come.
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    return win::FailWith(kErrPipeBusy);
}

bool NamedPipe::AcceptClient() {
    int current = fd_.load();
    if (current >= 0)
        return true;
    if (current == kDisconnected)
        return win::FailWith(kErrBrokenPipe);
    if (listenFd_ < 0)
        return win::FailWith(kErrInvalidHandle);
    HANDLE h = IntToHandle(listenFd_);
    win::Handle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event.Valid())
        return win::FailWithSystemError();
    OVERLAPPED overlapped{};
    overlapped.hEvent = event.Get();
    bool connected = false;
    if (::ConnectNamedPipe(h, &overlapped)) {
        connected = true;
    } else {
        DWORD error = ::GetLastError();
        if (error == ERROR_PIPE_CONNECTED || error == ERROR_NO_DATA) {
            // A client came before this call (and may have gone already,
            // leaving what it wrote).
            connected = true;
        } else if (error == ERROR_IO_PENDING) {
            // Nobody yet: the read fails at once rather than waiting.
            ::CancelIoEx(h, &overlapped);
            DWORD ignored = 0;
            connected = ::GetOverlappedResult(h, &overlapped, &ignored, TRUE) != 0;
        } else {
            return win::FailWithCode(error);
        }
    }
    if (!connected)
        return win::FailWith(kErrPipeNotConnected);
    int expected = -1;
    fd_.compare_exchange_strong(expected, listenFd_);
    return fd_.load() >= 0 ? true : win::FailWith(kErrBrokenPipe);
}

int NamedPipe::Connection() {
    if (listenFd_ >= 0 && !AcceptClient())
        return -1;
    int fd = fd_.load();
    if (fd == kDisconnected) {
        win::FailWith(kErrBrokenPipe);
        return -1;
    }
    if (fd < 0)
        win::FailWith(kErrInvalidHandle);
    return fd;
}

bool NamedPipe::Read(void* buffer, std::size_t size) {
    int fd = Connection();
    return fd >= 0 && TransferAll(false, IntToHandle(fd), static_cast<char*>(buffer), size, fd_);
}

bool NamedPipe::Write(const void* data, std::size_t size) {
    int fd = Connection();
    return fd >= 0 && TransferAll(true, IntToHandle(fd),
                                  const_cast<char*>(static_cast<const char*>(data)), size, fd_);
}

std::size_t NamedPipe::WaitForData(int timeoutMs) {
    int fd = Connection();
    if (fd < 0)
        return 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        DWORD available = 0;
        if (!::PeekNamedPipe(IntToHandle(fd), nullptr, 0, nullptr, &available, nullptr))
            return 0; // the stream ended
        if (available > 0)
            return available;
        if (fd_.load() == kDisconnected)
            return 0;
        if (timeoutMs >= 0 && std::chrono::steady_clock::now() >= deadline)
            return 0;
        std::this_thread::sleep_for(kDataPoll);
    }
}

void NamedPipe::Disconnect() {
    int fd = fd_.exchange(kDisconnected);
    if (fd >= 0) {
        ::CancelIoEx(IntToHandle(fd), nullptr);
        // The server's end goes at once, so its client sees the end too.
        if (fd == listenFd_)
            ::DisconnectNamedPipe(IntToHandle(fd));
    }
}

void NamedPipe::Close() {
    fd_.store(-1);
    if (placeholderFd_ >= 0) {
        ::CloseHandle(IntToHandle(placeholderFd_));
        placeholderFd_ = -1;
    }
    if (listenFd_ >= 0) {
        ::CloseHandle(IntToHandle(listenFd_));
        listenFd_ = -1;
    }
    lockFd_ = -1;
    path_.clear();
    pathInode_ = pathDevice_ = 0;
}

} // namespace plat
