#include "platform/ShellFolders.h"
#include "platform/Error.h"
#include "platform/win32/KnownFolders.h"

#include <initguid.h>
#include <knownfolders.h>
#include <userenv.h>

namespace plat {

namespace win {

std::wstring KnownFolderPath(const GUID& id) {
    PWSTR raw = nullptr;
    HRESULT result = ::SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &raw);
    if (FAILED(result) || raw == nullptr) {
        if (raw)
            ::CoTaskMemFree(raw);
        FailWith(kErrFileNotFound);
        return std::wstring();
    }
    std::wstring path = raw;
    ::CoTaskMemFree(raw);
    while (path.size() > 3 && path.back() == L'\\')
        path.pop_back();
    return path;
}

std::wstring AbsolutePathFromEnv(const wchar_t* name) {
    DWORD length = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (length == 0 || length > 32768)
        return std::wstring();
    std::wstring value(length, L'\0');
    length = ::GetEnvironmentVariableW(name, value.data(), length);
    value.resize(length);
    value = WinPath(value);
    bool absolute = (value.size() >= 3 && value[1] == L':' && value[2] == L'\\') ||
                    value.rfind(L"\\\\", 0) == 0;
    if (!absolute)
        return std::wstring();
    while (value.size() > 3 && value.back() == L'\\')
        value.pop_back();
    return value;
}

std::wstring ProfilesFolder() {
    DWORD length = 0;
    ::GetProfilesDirectoryW(nullptr, &length);
    if (length == 0 || length >= 32768)
        return std::wstring();
    std::wstring profiles(length, L'\0');
    if (!::GetProfilesDirectoryW(profiles.data(), &length))
        return std::wstring();
    profiles.resize(profiles.find(L'\0') == std::wstring::npos ? profiles.size()
                                                               : profiles.find(L'\0'));
    return profiles;
}

} // namespace win

namespace {

bool Found(const std::wstring& folder, std::wstring* path) {
    if (folder.empty())
        return false; // last error set by the look-up
    *path = folder;
    return true;
}

// The machine's start menu, or the one below LAUNCHER_COMMON_DATA_DIR when
// that moves the machine-wide places (tests).
std::wstring CommonStartMenu() {
    std::wstring moved = win::AbsolutePathFromEnv(L"LAUNCHER_COMMON_DATA_DIR");
    if (!moved.empty())
        return moved + L"\\Microsoft\\Windows\\Start Menu";
    return win::KnownFolderPath(FOLDERID_CommonStartMenu);
}

// One of the user's shell folders, or the same place below
// LAUNCHER_USER_DATA_DIR when that moves the user's places (tests).
std::wstring UserFolder(const GUID& id, const wchar_t* movedName) {
    std::wstring moved = win::AbsolutePathFromEnv(L"LAUNCHER_USER_DATA_DIR");
    if (!moved.empty())
        return moved + movedName;
    return win::KnownFolderPath(id);
}

} // namespace

bool GetSpecialFolderPath(int id, std::wstring* path) {
    switch (id) {
    case kCsidlDesktop:
        return Found(UserFolder(FOLDERID_Desktop, L"\\Desktop"), path);
    case kCsidlPrograms:
        return Found(UserFolder(FOLDERID_Programs, L"\\Microsoft\\Windows\\Start Menu\\Programs"),
                     path);
    case kCsidlStartMenu:
        return Found(UserFolder(FOLDERID_StartMenu, L"\\Microsoft\\Windows\\Start Menu"), path);
    case kCsidlCommonStartMenu:
        return Found(CommonStartMenu(), path);
    case kCsidlCommonPrograms: {
        std::wstring menu = CommonStartMenu();
        return Found(menu.empty() ? menu : menu + L"\\Programs", path);
    }
    case kCsidlCommonDesktopDirectory:
        return Found(win::KnownFolderPath(FOLDERID_PublicDesktop), path);
    case kCsidlProgramFiles: {
        std::wstring moved = win::AbsolutePathFromEnv(L"LAUNCHER_PROGRAM_FILES");
        if (!moved.empty())
            return Found(moved, path);
        // The folder of 32-bit programs: where the launcher always lived.
        return Found(win::KnownFolderPath(FOLDERID_ProgramFilesX86), path);
    }
    default:
        SetLastError(kErrFileNotFound);
        return false;
    }
}

std::vector<std::wstring> GetUserSettingsFolders() {
    std::vector<std::wstring> folders;
    for (const GUID* id : {&FOLDERID_Profile, &FOLDERID_RoamingAppData, &FOLDERID_LocalAppData,
                           &FOLDERID_LocalAppDataLow}) {
        std::wstring folder = win::KnownFolderPath(*id);
        if (!folder.empty())
            folders.push_back(folder);
    }
    return folders;
}

std::vector<std::wstring> GetHomeFolders() {
    std::vector<std::wstring> homes;
    // The profile the environment names, which may differ from the
    // system's record of it.
    std::wstring profile = win::AbsolutePathFromEnv(L"USERPROFILE");
    if (!profile.empty())
        homes.push_back(profile);
    std::wstring profiles = win::ProfilesFolder();
    if (!profiles.empty())
        homes.push_back(profiles);
    // Every account's profile, as the system lists them.
    HKEY list = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                        L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList", 0,
                        KEY_READ | KEY_WOW64_64KEY, &list) != ERROR_SUCCESS)
        return homes;
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = 256;
        if (::RegEnumKeyExW(list, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        wchar_t raw[MAX_PATH];
        DWORD size = sizeof raw;
        DWORD type = 0;
        if (::RegGetValueW(list, name, L"ProfileImagePath", RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ,
                           &type, raw, &size) != ERROR_SUCCESS)
            continue;
        wchar_t expanded[MAX_PATH];
        DWORD got = ::ExpandEnvironmentStringsW(raw, expanded, MAX_PATH);
        if (got > 0 && got <= MAX_PATH)
            homes.push_back(expanded);
    }
    ::RegCloseKey(list);
    return homes;
}

} // namespace plat
