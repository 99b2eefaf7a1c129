#include "platform/win32/FolderWalk.h"

#include <aclapi.h>

namespace plat::win {

bool ListFolder(const std::wstring& folder, std::vector<FolderEntry>* entries) {
    entries->clear();
    std::wstring pattern = folder;
    if (!pattern.empty() && pattern.back() != L'\\')
        pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW data{};
    HANDLE find = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                     nullptr, 0);
    if (find == INVALID_HANDLE_VALUE)
        return ::GetLastError() == ERROR_FILE_NOT_FOUND; // an empty volume root
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        entries->push_back(FolderEntry{std::move(name), data.dwFileAttributes});
    } while (::FindNextFileW(find, &data));
    DWORD error = ::GetLastError();
    ::FindClose(find);
    if (error != ERROR_NO_MORE_FILES) {
        ::SetLastError(error);
        return false;
    }
    return true;
}

Handle OpenFolderEntry(const std::wstring& path, DWORD extraAccess) {
    Handle h(::CreateFileW(path.c_str(),
                           FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE |
                               extraAccess,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!h.Valid())
        FailWithSystemError();
    return h;
}

Handle OpenSubfolder(const std::wstring& folder, const std::wstring& name, DWORD extraAccess) {
    Handle h = OpenFolderEntry(folder + L"\\" + name, extraAccess);
    if (!h.Valid())
        return h;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h.Get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        FailWith(kErrAccessDenied);
        return Handle();
    }
    return h;
}

std::wstring FinalPathOf(HANDLE h) {
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD length = ::GetFinalPathNameByHandleW(h, path.data(), static_cast<DWORD>(path.size()),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (length > 32768)
            return std::wstring();
        path.assign(length + 1, L'\0');
    }
    return std::wstring();
}

std::wstring WithoutLongPrefix(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0)
        return L"\\\\" + path.substr(8);
    if (path.rfind(L"\\\\?\\", 0) == 0)
        return path.substr(4);
    return path;
}

DWORD VolumeOf(HANDLE h) {
    BY_HANDLE_FILE_INFORMATION info{};
    return ::GetFileInformationByHandle(h, &info) ? info.dwVolumeSerialNumber : 0;
}

bool SameEntry(HANDLE a, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION x{}, y{};
    return ::GetFileInformationByHandle(a, &x) && ::GetFileInformationByHandle(b, &y) &&
           x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

std::uint32_t OwnerNumberOf(HANDLE h) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(h, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                          nullptr, &descriptor) != ERROR_SUCCESS)
        return ~0u;
    std::uint32_t number = SidUserNumber(owner);
    ::LocalFree(descriptor);
    return number;
}

bool IsPlainName(const std::wstring& name) {
    return !name.empty() && name.find_first_of(L"\\/") == std::wstring::npos && name != L"." &&
           name != L"..";
}

} // namespace plat::win
