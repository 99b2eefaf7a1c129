#include "platform/ProcessList.h"
#include "platform/Elevation.h"
#include "platform/win32/FolderWalk.h"
#include "platform/win32/Handle.h"

namespace plat {

namespace {

using win::IntToHandle;

win::Handle OpenForQuery(std::uint32_t pid) {
    return win::Handle(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
}

// The user of a process's token, compared with this process's user.
bool SameUserAs(HANDLE process, const std::vector<unsigned char>& sid) {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(process, TOKEN_QUERY, &raw))
        return false;
    win::Handle token(raw);
    DWORD needed = 0;
    ::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &needed);
    if (needed == 0 || needed > 4096)
        return false;
    std::vector<unsigned char> buffer(needed);
    if (!::GetTokenInformation(token.Get(), TokenUser, buffer.data(), needed, &needed))
        return false;
    PSID user = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    return !sid.empty() && ::EqualSid(user, const_cast<unsigned char*>(sid.data()));
}

// Removes "." and ".." names and doubled separators without looking at
// the disk, after making the path absolute.
std::wstring CleanLexically(const std::wstring& path) {
    wchar_t full[MAX_PATH * 4];
    DWORD length = ::GetFullPathNameW(win::WinPath(path).c_str(), MAX_PATH * 4, full, nullptr);
    if (length == 0 || length >= MAX_PATH * 4)
        return win::WinPath(path);
    return std::wstring(full, length);
}

} // namespace

std::vector<std::uint32_t> ListProcessIds() {
    std::vector<std::uint32_t> ids;
    win::Handle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.Valid()) {
        win::FailWithSystemError();
        return ids;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
         more = ::Process32NextW(snapshot.Get(), &entry))
        if (entry.th32ProcessID != 0)
            ids.push_back(entry.th32ProcessID);
    return ids;
}

bool GetProcessExecutable(std::uint32_t pid, std::wstring* path) {
    win::Handle process = OpenForQuery(pid);
    if (!process.Valid())
        return win::FailWithSystemError();
    std::wstring name(MAX_PATH * 4, L'\0');
    DWORD length = static_cast<DWORD>(name.size());
    if (!::QueryFullProcessImageNameW(process.Get(), 0, name.data(), &length))
        return win::FailWithSystemError();
    name.resize(length);
    *path = name;
    return true;
}

bool GetProcessStartTime(std::uint32_t pid, std::uint64_t* ticks) {
    win::Handle process = OpenForQuery(pid);
    if (!process.Valid())
        return win::FailWithSystemError();
    DWORD code = 0;
    if (::GetExitCodeProcess(process.Get(), &code) && code != STILL_ACTIVE &&
        ::WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0)
        return win::FailWith(kErrInvalidParameter);
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!::GetProcessTimes(process.Get(), &created, &exited, &kernel, &user))
        return win::FailWithSystemError();
    // The creation instant in 100 ns steps: later starts give larger values.
    *ticks = (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    return true;
}

bool IsProcessOfInvokingUser(std::uint32_t pid) {
    win::Handle process = OpenForQuery(pid);
    return process.Valid() && SameUserAs(process.Get(), win::CurrentUserSid());
}

std::wstring ResolvedPath(const std::wstring& path) {
    win::Handle entry(::CreateFileW(win::WinPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (entry.Valid()) {
        std::wstring resolved = win::WithoutLongPrefix(win::FinalPathOf(entry.Get()));
        if (!resolved.empty())
            return resolved;
    }
    return CleanLexically(path);
}

ProcessHandle::~ProcessHandle() {
    Close();
}

ProcessHandle::ProcessHandle(ProcessHandle&& other) noexcept : fd_(other.fd_), pid_(other.pid_) {
    other.fd_ = -1;
    other.pid_ = 0;
}

ProcessHandle& ProcessHandle::operator=(ProcessHandle&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        pid_ = other.pid_;
        other.fd_ = -1;
        other.pid_ = 0;
    }
    return *this;
}

bool ProcessHandle::Open(std::uint32_t pid) {
    Close();
    if (pid == 0)
        return win::FailWith(kErrInvalidParameter);
    HANDLE h = ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION,
                             FALSE, pid);
    if (h == nullptr) {
        DWORD error = ::GetLastError();
        // Another user's process may still be waited for.
        if (error == ERROR_ACCESS_DENIED)
            h = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
        if (h == nullptr)
            return win::FailWithCode(error);
    }
    fd_ = win::HandleToInt(h);
    pid_ = pid;
    return true;
}

bool ProcessHandle::HasEnded() const {
    return fd_ >= 0 && ::WaitForSingleObject(IntToHandle(fd_), 0) == WAIT_OBJECT_0;
}

bool ProcessHandle::Wait(int timeoutMs) const {
    if (fd_ < 0)
        return win::FailWith(kErrInvalidHandle);
    DWORD result = ::WaitForSingleObject(IntToHandle(fd_),
                                         timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
    if (result == WAIT_OBJECT_0)
        return true;
    if (result == WAIT_TIMEOUT)
        return win::FailWith(kErrWaitTimeout);
    return win::FailWithSystemError();
}

bool ProcessHandle::Terminate() const {
    if (fd_ < 0)
        return win::FailWith(kErrInvalidHandle);
    // An ended process cannot be ended again.
    if (HasEnded())
        return win::FailWith(kErrAccessDenied);
    return ::TerminateProcess(IntToHandle(fd_), 1) ? true : win::FailWithSystemError();
}

void ProcessHandle::Close() {
    if (fd_ >= 0)
        ::CloseHandle(IntToHandle(fd_));
    fd_ = -1;
    pid_ = 0;
}

} // namespace plat
