#include "platform/PathRules.h"
#include "platform/win32/KnownFolders.h"
#include "platform/win32/WinApi.h"

#include <algorithm>

namespace plat {

namespace {

bool IsDriveLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// The end of the name that starts at `from` (the next separator or the end).
std::size_t NameEnd(std::wstring_view path, std::size_t from) {
    while (from < path.size() && !IsPathSeparator(path[from]))
        ++from;
    return from;
}

std::wstring WindowsFolder() {
    wchar_t buffer[MAX_PATH];
    UINT length = ::GetSystemWindowsDirectoryW(buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

} // namespace

bool IsPathSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

std::size_t AbsoluteRootLength(std::wstring_view path) {
    if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == L':' && IsPathSeparator(path[2]))
        return 3;
    // "\\server\share\": both names present. "\\?\" and "\\.\" name the
    // system's own namespaces and devices, never a folder of ours.
    if (path.size() < 5 || !IsPathSeparator(path[0]) || !IsPathSeparator(path[1]) ||
        path[2] == L'?' || path[2] == L'.' || IsPathSeparator(path[2]))
        return 0;
    std::size_t serverEnd = NameEnd(path, 2);
    if (serverEnd >= path.size() || serverEnd + 1 >= path.size() ||
        IsPathSeparator(path[serverEnd + 1]))
        return 0;
    std::size_t shareEnd = NameEnd(path, serverEnd + 1);
    return shareEnd < path.size() ? shareEnd + 1 : shareEnd;
}

bool HasReservedPathCharacter(std::wstring_view name) {
    return name.find_first_of(L"\\/:*?\"<>|") != std::wstring_view::npos;
}

std::wstring PathKey(std::wstring_view path) {
    std::wstring key(path);
    for (wchar_t& c : key)
        if (c == L'/')
            c = L'\\';
    if (!key.empty())
        ::CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
    std::size_t root = AbsoluteRootLength(key);
    while (key.size() > std::max<std::size_t>(root, 1) && key.back() == L'\\')
        key.pop_back();
    return key;
}

SystemFolderRules GetSystemFolderRules() {
    SystemFolderRules rules;
    std::wstring windows = WindowsFolder();
    if (!windows.empty()) {
        rules.systemTrees.push_back(windows);
        // The system drive's own folders beside the Windows folder.
        if (AbsoluteRootLength(windows) == 3)
            for (const wchar_t* name : {L"$Recycle.Bin", L"System Volume Information", L"Recovery",
                                        L"Boot", L"Config.Msi"})
                rules.systemTrees.push_back(windows.substr(0, 3) + name);
    }
    std::wstring profiles = win::ProfilesFolder();
    if (!profiles.empty())
        rules.homeHolders.push_back(profiles);
    return rules;
}

} // namespace plat
