// The search of top-level windows by class across the user's processes: the
// system's list of top-level windows of the desktop, this process's windows
// first. Message-only windows are not in that list.

#include "platform/Window.h"

#include "platform/win32/WinApi.h"
#include "platform/win32/WindowTable.h"

namespace plat {

namespace {

wchar_t AsciiLower(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool SameClassName(const std::wstring& a, const wchar_t* b, std::size_t length) {
    if (a.size() != length)
        return false;
    for (std::size_t i = 0; i < length; ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

struct Search {
    const std::wstring* className;
    std::uint32_t ownProcess;
    std::vector<HWND> own;
    std::vector<HWND> others;
};

BOOL CALLBACK CollectWindow(::HWND window, ::LPARAM context) {
    auto* search = reinterpret_cast<Search*>(context);
    wchar_t name[257];
    const int length = ::GetClassNameW(window, name, 257);
    if (length <= 0 || !SameClassName(*search->className, name, static_cast<std::size_t>(length)))
        return TRUE;
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    if (processId == search->ownProcess) {
        // Only the message layer's windows, not a surface that shares the name.
        if (win::WindowTable::Instance().Contains(window))
            search->own.push_back(win::ToPlatformWindow(window, processId));
    } else {
        search->others.push_back(win::ToPlatformWindow(window, processId));
    }
    return TRUE;
}

} // namespace

std::vector<HWND> FindWindowsByClass(const std::wstring& className) {
    Search search{&className, static_cast<std::uint32_t>(::GetCurrentProcessId()), {}, {}};
    if (className.empty() || className.size() > 256)
        return {};
    ::EnumWindows(CollectWindow, reinterpret_cast<::LPARAM>(&search));
    std::vector<HWND> found = std::move(search.own);
    found.insert(found.end(), search.others.begin(), search.others.end());
    return found;
}

} // namespace plat
