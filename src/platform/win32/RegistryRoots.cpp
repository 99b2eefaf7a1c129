#include "platform/win32/RegistryRoots.h"

#include <cstdint>
#include <cwchar>

namespace plat::win {

namespace {

// A key name made from a moved root's value: separators and colons become
// underscores, and a long value keeps its end and a hash of the whole.
std::wstring MovedRootName(const std::wstring& value) {
    std::wstring name;
    for (wchar_t c : value)
        name.push_back(c == L'\\' || c == L'/' || c == L':' ? L'_' : c);
    constexpr std::size_t kKeep = 120;
    if (name.size() > kKeep) {
        std::uint32_t hash = 2166136261u;
        for (wchar_t c : value)
            hash = (hash ^ static_cast<std::uint32_t>(c)) * 16777619u;
        wchar_t digits[16];
        std::swprintf(digits, 16, L"%08X-", hash);
        name = digits + name.substr(name.size() - kKeep);
    }
    return name;
}

std::wstring EnvValue(const wchar_t* variable) {
    DWORD length = ::GetEnvironmentVariableW(variable, nullptr, 0);
    if (length == 0 || length > 32768)
        return std::wstring();
    std::wstring value(length, L'\0');
    length = ::GetEnvironmentVariableW(variable, value.data(), length);
    value.resize(length);
    return value;
}

} // namespace

bool LocateRegistryKey(RegistryRoot root, const std::wstring& path, RegistryPlace* place) {
    std::wstring names;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos)
            end = path.size();
        std::wstring name = path.substr(start, end - start);
        if (name == L"." || name == L"..")
            return FailWith(kErrInvalidName);
        if (!name.empty()) {
            if (!names.empty())
                names += L'\\';
            names += name;
        }
        start = end + 1;
    }
    const bool user = root == RegistryRoot::CurrentUser;
    std::wstring moved = EnvValue(user ? L"LAUNCHER_REGISTRY_HKCU" : L"LAUNCHER_REGISTRY_HKLM");
    place->view = KEY_WOW64_32KEY;
    place->isRoot = names.empty();
    if (!moved.empty()) {
        place->base = HKEY_CURRENT_USER;
        place->path = L"Software\\LauncherTestRoots\\" + MovedRootName(moved);
        if (!names.empty())
            place->path += L"\\" + names;
        return true;
    }
    place->base = user ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    place->path = names;
    return true;
}

} // namespace plat::win
