#include "WindowsLinks.h"

#include <windows.h>

namespace platformtest {

bool MakeWindowsLink(const std::wstring& target, const std::wstring& link, bool folder) {
    // Developer mode lets an ordinary account make links; older systems
    // refuse the flag, and then only an administrator may.
    constexpr DWORD kUnprivileged = 0x2;
    const DWORD kind = folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0;
    if (!::CreateSymbolicLinkW(link.c_str(), target.c_str(), kind | kUnprivileged) &&
        !::CreateSymbolicLinkW(link.c_str(), target.c_str(), kind))
        return false;
    // A layer that only pretends to make links leaves nothing behind.
    DWORD attributes = ::GetFileAttributesW(link.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

} // namespace platformtest
