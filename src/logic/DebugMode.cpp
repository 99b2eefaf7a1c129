#include "logic/DebugMode.h"

#include "platform/Registry.h"

#include <cstdint>

namespace logic {

std::wstring DebugModeKeyPath(const std::wstring& regPath) {
    std::size_t cut = regPath.rfind(L'\\');
    if (cut == std::wstring::npos || cut == 0)
        return regPath;
    return regPath.substr(0, cut);
}

bool ReadDebugMode(const std::wstring& regPath) {
    plat::RegistryKey key;
    if (!key.Open(plat::RegistryRoot::CurrentUser, DebugModeKeyPath(regPath)))
        return false;
    std::uint32_t value = 0;
    return key.ReadDword(L"ZelmarDebugMode", &value) && value != 0;
}

} // namespace logic
