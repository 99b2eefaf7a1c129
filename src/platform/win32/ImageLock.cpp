#include "platform/ImageLock.h"
#include "platform/Process.h"
#include "platform/ProcessList.h"
#include "platform/TextCase.h"
#include "platform/win32/Handle.h"
#include "platform/win32/RunningImages.h"

// The system keeps a running program's file from being written, replaced
// or deleted while any process runs it; the launcher need not hold
// anything itself. The check below asks for the rights such a change needs
// and also looks at the programs running now, so it answers alike on every
// file system.

namespace plat {

namespace win {

bool IsProgramFileName(const std::wstring& path) {
    std::wstring name = ToLowerAscii(path);
    return name.size() > 4 && name.compare(name.size() - 4, 4, L".exe") == 0;
}

bool RunsImageBelow(const std::wstring& folder) {
    std::wstring prefix = ResolvedPath(folder);
    if (prefix.empty())
        return false;
    if (prefix.back() != L'\\')
        prefix += L'\\';
    for (std::uint32_t pid : ListProcessIds()) {
        std::wstring executable;
        if (!GetProcessExecutable(pid, &executable))
            continue;
        std::wstring resolved = ResolvedPath(executable);
        if (resolved.size() > prefix.size() &&
            EqualsNoCase(std::wstring_view(resolved).substr(0, prefix.size()), prefix))
            return true;
    }
    return false;
}

} // namespace win

bool HoldRunningImage() {
    return !GetExecutablePath().empty();
}

bool IsImageInUse(const std::wstring& path) {
    const std::wstring native = win::WinPath(path);
    DWORD attributes = ::GetFileAttributesW(native.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes &
         (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)))
        return false;
    HANDLE h = ::CreateFileW(native.c_str(), GENERIC_WRITE | DELETE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        ::CloseHandle(h);
    } else if (::GetLastError() == ERROR_SHARING_VIOLATION) {
        return true;
    }
    return IsProgramRunning(path);
}

} // namespace plat
