#include "platform/ShellOpen.h"
#include "platform/CommandLine.h"
#include "platform/FileSystem.h"
#include "platform/TextCase.h"
#include "platform/win32/ComThread.h"
#include "platform/win32/Handle.h"
#include "platform/win32/ProcessTable.h"

#include <cstdlib>

namespace plat {

namespace {

constexpr ErrorCode kErrNoAssociation = 1155;

// Runs the shell's "open" on a file or address. With a process given, the
// started program is handed to it when the shell started one.
bool ShellOpen(const std::wstring& target, Process* process) {
    win::ComThread com;
    SHELLEXECUTEINFOW execute{};
    execute.cbSize = sizeof execute;
    execute.fMask =
        SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC | (process != nullptr ? SEE_MASK_NOCLOSEPROCESS : 0);
    execute.lpVerb = L"open";
    execute.lpFile = target.c_str();
    execute.nShow = SW_SHOWNORMAL;
    if (!::ShellExecuteExW(&execute)) {
        DWORD error = ::GetLastError();
        return win::FailWithCode(
            error == ERROR_NO_ASSOCIATION || error == 0 ? DWORD{kErrNoAssociation} : error);
    }
    if (process != nullptr && execute.hProcess != nullptr)
        ProcessHandover::Adopt(process, execute.hProcess);
    return true;
}

} // namespace

bool OpenDocument(const std::wstring& path, Process* process) {
    if (!FileExists(path))
        return win::FailWith(kErrFileNotFound);
    const std::wstring native = win::WinPath(path);
    // A program runs as itself, without arguments.
    std::wstring name = ToLowerAscii(FileNameOf(native));
    if (name.size() > 4 && name.compare(name.size() - 4, 4, L".exe") == 0) {
        ProcessStartInfo info;
        info.tail = TailPassing::Split;
        info.commandLine = BuildCommandLine(native, std::wstring());
        return process->Start(info);
    }
    return ShellOpen(native, process);
}

bool IsWebAddress(const std::wstring& address) {
    std::wstring lower = ToLowerAscii(address);
    std::size_t rest = 0;
    if (lower.rfind(L"http://", 0) == 0)
        rest = 7;
    else if (lower.rfind(L"https://", 0) == 0)
        rest = 8;
    else
        return false;
    if (address.size() == rest)
        return false;
    for (wchar_t c : address) {
        if (c <= L' ' || c == 0x7F || c == L'"')
            return false;
    }
    return true;
}

bool OpenAddress(const std::wstring& address) {
    if (!IsWebAddress(address))
        return win::FailWith(kErrInvalidParameter);
    // A program of the tests' choosing stands in for the browser.
    DWORD length = ::GetEnvironmentVariableW(L"LAUNCHER_URL_OPENER", nullptr, 0);
    if (length > 1 && length < 32768) {
        std::wstring opener(length, L'\0');
        opener.resize(::GetEnvironmentVariableW(L"LAUNCHER_URL_OPENER", opener.data(), length));
        ProcessStartInfo info;
        info.tail = TailPassing::Split;
        info.commandLine = BuildCommandLine(opener, QuoteArgument(address));
        Process process;
        if (!process.Start(info))
            return false;
        process.Close(); // the browser goes on alone
        return true;
    }
    return ShellOpen(address, nullptr);
}

} // namespace plat
