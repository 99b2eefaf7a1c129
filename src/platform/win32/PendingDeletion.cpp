#include "platform/PendingDeletion.h"
#include "platform/Error.h"
#include "platform/PathRules.h"
#include "platform/win32/Handle.h"

namespace plat {

// The system itself deletes what MoveFileEx registers for the next start
// (the registry value PendingFileRenameOperations of the session manager),
// before any program runs. Registering needs administrator rights, as it
// changes the machine's settings.
bool DeleteAtNextSystemStart(const std::wstring& path) {
    if (path.empty())
        return win::FailWith(kErrPathNotFound);
    // A relative path would be taken from wherever the system stands while
    // it starts: only absolute paths are registered.
    if (path.find_first_of(L"\r\n\t") != std::wstring::npos || AbsoluteRootLength(path) == 0)
        return win::FailWith(kErrInvalidName);
    if (!::MoveFileExW(win::WinPath(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
        return win::FailWithSystemError();
    return true;
}

// Nothing is left for the launcher: the system works off its list while it
// starts.
int WorkOffPendingDeletions() {
    return 0;
}

} // namespace plat
