#include "platform/RegistryAccess.h"
#include "platform/win32/RegistryRoots.h"

#include <aclapi.h>

namespace plat {

bool GrantRegistryKeyToInvokingUser(RegistryRoot root, const std::wstring& path) {
    win::RegistryPlace place;
    if (!win::LocateRegistryKey(root, path, &place))
        return false;
    if (place.isRoot)
        return win::FailWith(kErrAccessDenied);
    std::vector<unsigned char> sid = win::CurrentUserSid();
    if (sid.empty())
        return false;
    HKEY key = nullptr;
    LSTATUS status = ::RegCreateKeyExW(
        place.base, place.path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
        READ_CONTROL | WRITE_DAC | WRITE_OWNER | place.view, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS)
        return win::FailWithCode(static_cast<DWORD>(status));
    PACL oldDacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD result = ::GetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr,
                                     nullptr, &oldDacl, nullptr, &descriptor);
    PACL newDacl = nullptr;
    if (result == ERROR_SUCCESS) {
        EXPLICIT_ACCESSW access{};
        access.grfAccessPermissions = KEY_ALL_ACCESS;
        access.grfAccessMode = GRANT_ACCESS;
        access.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
        access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        access.Trustee.TrusteeType = TRUSTEE_IS_USER;
        access.Trustee.ptstrName = reinterpret_cast<LPWSTR>(sid.data());
        result = ::SetEntriesInAclW(1, &access, oldDacl, &newDacl);
    }
    if (result == ERROR_SUCCESS)
        result = ::SetSecurityInfo(key, SE_REGISTRY_KEY,
                                   OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                   sid.data(), nullptr, newDacl, nullptr);
    if (newDacl)
        ::LocalFree(newDacl);
    if (descriptor)
        ::LocalFree(descriptor);
    ::RegCloseKey(key);
    return result == ERROR_SUCCESS ? true : win::FailWithCode(result);
}

bool GetRegistryKeyOwner(RegistryRoot root, const std::wstring& path, std::uint32_t* owner) {
    win::RegistryPlace place;
    if (!win::LocateRegistryKey(root, path, &place))
        return false;
    HKEY key = nullptr;
    LSTATUS status =
        ::RegOpenKeyExW(place.base, place.path.c_str(), 0, READ_CONTROL | place.view, &key);
    if (status != ERROR_SUCCESS)
        return win::FailWithCode(static_cast<DWORD>(status));
    PSID sid = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD result = ::GetSecurityInfo(key, SE_REGISTRY_KEY, OWNER_SECURITY_INFORMATION, &sid,
                                     nullptr, nullptr, nullptr, &descriptor);
    ::RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        return win::FailWithCode(result);
    *owner = win::SidUserNumber(sid);
    ::LocalFree(descriptor);
    return true;
}

} // namespace plat
