#include "platform/Elevation.h"
#include "platform/Process.h"
#include "platform/ProcessList.h"
#include "platform/TextCase.h"
#include "platform/win32/Handle.h"
#include "platform/win32/OwnCommandLine.h"

namespace plat {

std::uint32_t GetCurrentProcessId() {
    return ::GetCurrentProcessId();
}

std::wstring GetExecutablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= 32768)
            return std::wstring();
        path.resize(path.size() * 2);
    }
}

std::wstring GetExecutableFolder() {
    std::wstring path = GetExecutablePath();
    std::size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

bool IsProcessElevated() {
    if (IsTestElevation())
        return true;
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw))
        return false;
    win::Handle token(raw);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return ::GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof elevation,
                                 &size) &&
           elevation.TokenIsElevated != 0;
}

bool IsProgramRunning(const std::wstring& path) {
    const std::wstring wanted = ResolvedPath(path);
    if (wanted.empty())
        return false;
    // Processes this user may not look at do not count.
    for (std::uint32_t pid : ListProcessIds()) {
        std::wstring executable;
        if (GetProcessExecutable(pid, &executable) &&
            EqualsNoCase(ResolvedPath(executable), wanted))
            return true;
    }
    return false;
}

namespace win {

std::wstring OwnCommandLineTail() {
    const wchar_t* line = ::GetCommandLineW();
    if (line == nullptr)
        return std::wstring();
    // The program token as the C runtime reads it: up to the closing quote
    // when it starts with one, else up to the first blank.
    const wchar_t* p = line;
    if (*p == L'"') {
        ++p;
        while (*p != L'\0' && *p != L'"')
            ++p;
        if (*p == L'"')
            ++p;
    } else {
        while (*p != L'\0' && *p != L' ' && *p != L'\t')
            ++p;
    }
    // One blank ends the token; the rest is the text as the starter gave it.
    if (*p == L' ' || *p == L'\t')
        ++p;
    return std::wstring(p);
}

} // namespace win

} // namespace plat
