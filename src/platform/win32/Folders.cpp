#include "platform/Folders.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/win32/FolderWalk.h"
#include "platform/win32/KnownFolders.h"

#include <aclapi.h>
#include <initguid.h>
#include <knownfolders.h>
#include <sddl.h>

namespace plat {

namespace {

std::wstring WithoutSeparators(std::wstring path) {
    path = win::WinPath(path);
    while (path.size() > 3 && path.back() == L'\\')
        path.pop_back();
    return path;
}

// The owner a new object of this process gets: the user, or for an
// elevated process the administrators' group, which the system puts in
// the user's place.
bool IsOwnOwner(PSID owner) {
    std::vector<unsigned char> user = win::CurrentUserSid();
    if (!user.empty() && ::EqualSid(owner, user.data()))
        return true;
    return ::IsWellKnownSid(owner, WinBuiltinAdministratorsSid) && IsProcessElevated();
}

// Creates the folder with rights for its owner and the system only.
bool CreatePrivate(const std::wstring& path) {
    // Owner rights, the system, and the administrators: nobody else, and
    // nothing inherited from the folder above.
    const wchar_t* sddl = L"D:P(A;OICI;FA;;;OW)(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                                nullptr))
        return ::CreateDirectoryW(path.c_str(), nullptr) != 0;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    BOOL created = ::CreateDirectoryW(path.c_str(), &attributes);
    DWORD error = ::GetLastError();
    ::LocalFree(descriptor);
    ::SetLastError(error);
    return created != 0;
}

std::wstring PrivateFolderPath(const std::wstring& path) {
    if (!EnsurePrivateFolder(path))
        return std::wstring();
    return WithoutSeparators(path) + L"\\";
}

// The user's local application data, below which the launcher keeps its
// private folders.
std::wstring LocalAppData() {
    std::wstring local = win::KnownFolderPath(FOLDERID_LocalAppData);
    if (local.empty())
        SetLastError(kErrPathNotFound);
    return local;
}

} // namespace

bool EnsurePrivateFolder(const std::wstring& path) {
    const std::wstring native = WithoutSeparators(path);
    if (native.empty())
        return win::FailWith(kErrPathNotFound);
    if (native.size() <= 3 && native.size() >= 2 && native[1] == L':')
        return win::FailWith(kErrAccessDenied); // a volume root
    std::wstring parent = FolderOf(native);
    if (!parent.empty() && !CreateDirectoryTree(parent))
        return false;
    if (!CreatePrivate(native) && ::GetLastError() != ERROR_ALREADY_EXISTS)
        return win::FailWithSystemError();
    DWORD attributes = ::GetFileAttributesW(native.c_str());
    // A link or a file where the folder should be.
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return win::FailWith(kErrAccessDenied);
    win::Handle folder = win::OpenFolderEntry(native, 0);
    if (!folder.Valid())
        return false;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(folder.Get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                          nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return win::FailWith(kErrAccessDenied);
    bool ours = IsOwnOwner(owner);
    ::LocalFree(descriptor);
    return ours ? true : win::FailWith(kErrAccessDenied);
}

std::wstring GetRuntimeFolder() {
    std::wstring local = LocalAppData();
    if (local.empty())
        return local;
    return PrivateFolderPath(local + L"\\Launcher\\Runtime");
}

std::wstring GetTempFolder() {
    std::wstring moved = win::AbsolutePathFromEnv(L"LAUNCHER_TEMP_DIR");
    if (!moved.empty())
        return PrivateFolderPath(moved);
    // A folder of the launcher's own inside the user's temporary folder,
    // never that shared folder itself.
    wchar_t temp[MAX_PATH + 1];
    DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
    if (length > 0 && length <= MAX_PATH) {
        std::wstring folder = PrivateFolderPath(std::wstring(temp, length) + L"Launcher");
        if (!folder.empty())
            return folder;
    }
    std::wstring local = LocalAppData();
    if (local.empty())
        return local;
    return PrivateFolderPath(local + L"\\Launcher\\Temp");
}

} // namespace plat
