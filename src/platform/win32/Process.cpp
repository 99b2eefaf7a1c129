#include "platform/Process.h"
#include "platform/CommandLine.h"
#include "platform/FileSystem.h"
#include "platform/win32/ProcessTable.h"

#include <map>
#include <mutex>

namespace plat {

namespace win {

namespace {

std::mutex& TableLock() {
    static std::mutex lock;
    return lock;
}

std::map<std::uint32_t, HANDLE>& Table() {
    static std::map<std::uint32_t, HANDLE> table;
    return table;
}

} // namespace

void KeepProcessHandle(std::uint32_t pid, HANDLE h) {
    std::lock_guard<std::mutex> guard(TableLock());
    HANDLE& slot = Table()[pid];
    if (slot != nullptr && slot != h)
        ::CloseHandle(slot);
    slot = h;
}

HANDLE KeptProcessHandle(std::uint32_t pid) {
    std::lock_guard<std::mutex> guard(TableLock());
    auto found = Table().find(pid);
    return found == Table().end() ? nullptr : found->second;
}

void DropProcessHandle(std::uint32_t pid) {
    HANDLE h = nullptr;
    {
        std::lock_guard<std::mutex> guard(TableLock());
        auto found = Table().find(pid);
        if (found == Table().end())
            return;
        h = found->second;
        Table().erase(found);
    }
    ::CloseHandle(h);
}

} // namespace win

void ProcessHandover::Adopt(Process* process, HANDLE h) {
    process->Close();
    std::uint32_t pid = ::GetProcessId(h);
    win::KeepProcessHandle(pid, h);
    process->pid_ = pid;
    process->reaped_ = false;
    process->terminated_ = false;
}

namespace {

// The program as CreateProcess gets it: an absolute path. A relative path
// means the caller's folder; a bare name that is no file there is looked
// up as the system looks up programs.
std::wstring ResolveProgram(const std::wstring& token) {
    std::wstring program = win::WinPath(token);
    wchar_t full[MAX_PATH * 4];
    if (program.find(L'\\') == std::wstring::npos &&
        ::GetFileAttributesW(program.c_str()) == INVALID_FILE_ATTRIBUTES) {
        DWORD found = ::SearchPathW(nullptr, program.c_str(), L".exe", MAX_PATH * 4, full, nullptr);
        if (found > 0 && found < MAX_PATH * 4)
            return std::wstring(full, found);
    }
    DWORD length = ::GetFullPathNameW(program.c_str(), MAX_PATH * 4, full, nullptr);
    if (length > 0 && length < MAX_PATH * 4)
        return std::wstring(full, length);
    return program;
}

// The error CreateProcess gives for a program that is not there, told
// apart before the start: 3 when its folder is missing too.
bool CheckProgram(const std::wstring& program) {
    DWORD attributes = ::GetFileAttributesW(program.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        std::wstring folder = FolderOf(program);
        DWORD folderAttributes = ::GetFileAttributesW(folder.c_str());
        bool folderThere = folder.empty() || (folderAttributes != INVALID_FILE_ATTRIBUTES &&
                                              (folderAttributes & FILE_ATTRIBUTE_DIRECTORY));
        return win::FailWith(folderThere ? kErrFileNotFound : kErrPathNotFound);
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return win::FailWith(kErrAccessDenied);
    return true;
}

} // namespace

Process::~Process() {
    Close();
}

Process::Process(Process&& other) noexcept {
    *this = std::move(other);
}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        Close();
        pid_ = other.pid_;
        reaped_ = other.reaped_;
        exitCode_ = other.exitCode_;
        terminated_ = other.terminated_;
        terminateCode_ = other.terminateCode_;
        other.pid_ = 0;
        other.reaped_ = false;
    }
    return *this;
}

bool Process::Start(const ProcessStartInfo& info) {
    Close();
    std::wstring programToken, tail;
    SplitProgramToken(info.commandLine, &programToken, &tail);
    if (programToken.empty())
        return win::FailWith(kErrFileNotFound);
    const std::wstring program = ResolveProgram(programToken);
    if (!CheckProgram(program))
        return false;
    std::wstring folder;
    if (!info.workingFolder.empty()) {
        folder = win::WinPath(info.workingFolder);
        DWORD attributes = ::GetFileAttributesW(folder.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return win::FailWith(kErrDirectory);
    }
    // The child reads its own command line: the tail reaches it as it is,
    // whichever way the caller asked for (a program splits its command line
    // itself on this system).
    std::wstring commandLine = BuildCommandLine(program, tail);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    DWORD flags = CREATE_UNICODE_ENVIRONMENT;
    if (info.hidden) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
        flags |= CREATE_NO_WINDOW;
    }
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, flags,
                          nullptr, folder.empty() ? nullptr : folder.c_str(), &startup, &started)) {
        DWORD error = ::GetLastError();
        // Not a program of this system.
        if (error == ERROR_BAD_FORMAT || error == ERROR_EXE_MACHINE_TYPE_MISMATCH)
            error = ERROR_BAD_EXE_FORMAT;
        return win::FailWithCode(error);
    }
    ::CloseHandle(started.hThread);
    win::KeepProcessHandle(started.dwProcessId, started.hProcess);
    pid_ = started.dwProcessId;
    reaped_ = false;
    terminated_ = false;
    return true;
}

bool Process::Reap(bool blocking) {
    if (reaped_)
        return true;
    HANDLE h = win::KeptProcessHandle(pid_);
    if (h == nullptr)
        return false;
    if (::WaitForSingleObject(h, blocking ? INFINITE : 0) != WAIT_OBJECT_0)
        return false;
    DWORD code = 0;
    if (!::GetExitCodeProcess(h, &code))
        return false;
    exitCode_ = code;
    reaped_ = true;
    return true;
}

bool Process::Wait(int timeoutMs) {
    if (!IsValid())
        return win::FailWith(kErrInvalidHandle);
    if (reaped_)
        return true;
    HANDLE h = win::KeptProcessHandle(pid_);
    if (h == nullptr)
        return win::FailWith(kErrInvalidHandle);
    DWORD result =
        ::WaitForSingleObject(h, timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
    if (result == WAIT_TIMEOUT)
        return win::FailWith(kErrWaitTimeout);
    if (result != WAIT_OBJECT_0)
        return win::FailWithSystemError();
    return Reap(false);
}

bool Process::GetExitCode(std::uint32_t* code) {
    if (!IsValid())
        return win::FailWith(kErrInvalidHandle);
    if (Reap(false)) {
        *code = exitCode_;
        return true;
    }
    HANDLE h = win::KeptProcessHandle(pid_);
    DWORD value = 0;
    if (h == nullptr || !::GetExitCodeProcess(h, &value))
        return win::FailWith(kErrInvalidHandle);
    *code = value;
    return true;
}

bool Process::Terminate(std::uint32_t exitCode) {
    if (!IsValid())
        return win::FailWith(kErrInvalidHandle);
    HANDLE h = win::KeptProcessHandle(pid_);
    if (h == nullptr)
        return win::FailWith(kErrInvalidHandle);
    // An ended process cannot be ended again.
    if (reaped_ || ::WaitForSingleObject(h, 0) == WAIT_OBJECT_0)
        return win::FailWith(kErrAccessDenied);
    if (!::TerminateProcess(h, exitCode))
        return win::FailWithSystemError();
    terminated_ = true;
    terminateCode_ = exitCode;
    return true;
}

void Process::Close() {
    if (pid_ != 0)
        win::DropProcessHandle(pid_);
    pid_ = 0;
    reaped_ = false;
    terminated_ = false;
}

} // namespace plat
