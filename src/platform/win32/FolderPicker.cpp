// The folder picker: the shell's folder browser (SHBrowseForFolderW), opened
// on the nearest existing folder of the one given. Its modal loop keeps
// dispatching the thread's messages, so the launcher's windows stay alive
// while it is open.

#include "platform/FolderPicker.h"

#include "platform/Error.h"
#include "platform/win32/Handle.h"
#include "platform/win32/WinApi.h"

#include <objbase.h>

namespace plat {

namespace {

// The nearest existing folder at or above `path`.
std::wstring ExistingFolder(std::wstring path) {
    while (!path.empty()) {
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return path;
        const std::size_t slash = path.find_last_of(L"\\/");
        if (slash == std::wstring::npos)
            return {};
        path.resize(slash);
        if (path.size() == 2 && path[1] == L':')
            path += L'\\';
    }
    return path;
}

// Selects the start folder once the dialog is up.
int CALLBACK BrowseCallback(::HWND dialog, UINT message, ::LPARAM, ::LPARAM data) {
    if (message == BFFM_INITIALIZED && data)
        ::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

} // namespace

bool PickFolder(const std::wstring& title, const std::wstring& current, std::wstring* chosen) {
    if (!chosen) {
        SetLastError(kErrInvalidParameter);
        return false;
    }
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring start = ExistingFolder(current);
    BROWSEINFOW info{};
    info.hwndOwner = ::GetActiveWindow();
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_EDITBOX;
    info.lpfn = BrowseCallback;
    info.lParam = start.empty() ? 0 : reinterpret_cast<::LPARAM>(start.c_str());
    PIDLIST_ABSOLUTE list = ::SHBrowseForFolderW(&info);
    bool picked = false;
    if (list) {
        std::wstring path(32768, L'\0');
        if (::SHGetPathFromIDListEx(list, path.data(), static_cast<DWORD>(path.size()), 0)) {
            path.resize(wcslen(path.c_str()));
            picked = !path.empty();
            if (picked)
                *chosen = path;
        }
        ::CoTaskMemFree(list);
    }
    if (SUCCEEDED(com))
        ::CoUninitialize();
    if (!picked)
        SetLastError(kErrCancelled);
    return picked;
}

} // namespace plat
