// Questions about windows of this or another launcher process: whether one
// exists, its class and title, and the search by class.

#include "platform/Window.h"

#include "platform/Error.h"
#include "platform/posix/CrossProcess.h"
#include "platform/posix/WindowTable.h"

#include <unistd.h>

namespace plat {

using posix::WindowRecord;
using posix::WindowTable;

namespace {

bool IsOfThisProcess(HWND window) {
    return ProcessIdOfWindow(window) == static_cast<std::uint32_t>(::getpid());
}

// Class and title of any window; either pointer may be null.
bool Describe(HWND window, std::wstring* className, std::wstring* title) {
    if (window == 0) {
        SetLastError(kErrInvalidWindowHandle);
        return false;
    }
    if (!IsOfThisProcess(window))
        return posix::RemoteQuery(window, className, title);
    WindowRecord record;
    if (!WindowTable::Instance().Lookup(window, &record)) {
        SetLastError(kErrInvalidWindowHandle);
        return false;
    }
    if (className)
        *className = record.className;
    if (title)
        *title = record.title;
    return true;
}

} // namespace

bool IsWindow(HWND window) {
    return Describe(window, nullptr, nullptr);
}

bool GetWindowClassName(HWND window, std::wstring* className) {
    return Describe(window, className, nullptr);
}

bool GetWindowText(HWND window, std::wstring* title) {
    return Describe(window, nullptr, title);
}

bool SetWindowText(HWND window, const std::wstring& title) {
    if (window != 0 && !IsOfThisProcess(window)) {
        SetLastError(kErrAccessDenied);
        return false;
    }
    if (window == 0 || !WindowTable::Instance().SetTitle(window, title)) {
        SetLastError(kErrInvalidWindowHandle);
        return false;
    }
    return true;
}

std::vector<HWND> FindWindowsByClass(const std::wstring& className) {
    std::vector<HWND> windows;
    for (const WindowRecord& record : WindowTable::Instance().TopLevelOfClass(className))
        windows.push_back(record.handle);
    posix::RemoteFindByClass(className, &windows);
    return windows;
}

} // namespace plat
