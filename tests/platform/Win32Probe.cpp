// The system side of the Windows presenter tests.

#include "Win32Probe.h"

#include "platform/win32/Win32Presenter.h"

namespace win32probe {

namespace {

::HWND Of(const plat::ISurface& surface) {
    return reinterpret_cast<::HWND>(static_cast<std::uintptr_t>(surface.NativeId()));
}

} // namespace

std::unique_ptr<plat::IPresenter> MakeWin32Presenter() {
    return std::make_unique<plat::win::Win32Presenter>(L"win32 test");
}

bool DesktopUsable(std::wstring* why) {
    return plat::win::DesktopUsable(why);
}

std::wstring SurfaceClass() {
    return plat::win::Win32Presenter::SurfaceClass();
}

bool IsSystemWindow(const plat::ISurface& surface) {
    return ::IsWindow(Of(surface)) != FALSE;
}

bool IsSystemWindowVisible(const plat::ISurface& surface) {
    return ::IsWindowVisible(Of(surface)) != FALSE;
}

plat::Rect SystemWindowRect(const plat::ISurface& surface) {
    RECT rect{};
    ::GetWindowRect(Of(surface), &rect);
    return plat::Rect{rect.left, rect.top, rect.right, rect.bottom};
}

std::wstring SystemWindowTitle(const plat::ISurface& surface) {
    wchar_t title[256] = L"";
    ::GetWindowTextW(Of(surface), title, 256);
    return title;
}

std::int64_t SendSystem(const plat::ISurface& surface, std::uint32_t message, std::uint64_t wParam,
                        std::int64_t lParam) {
    return ::SendMessageW(Of(surface), message, static_cast<::WPARAM>(wParam),
                          static_cast<::LPARAM>(lParam));
}

bool RegionBox(const plat::ISurface& surface, plat::Rect* box) {
    HRGN region = ::CreateRectRgn(0, 0, 0, 0);
    const int kind = ::GetWindowRgn(Of(surface), region);
    RECT rect{};
    ::GetRgnBox(region, &rect);
    ::DeleteObject(region);
    *box = plat::Rect{rect.left, rect.top, rect.right, rect.bottom};
    return kind != ERROR;
}

bool RegionContains(const plat::ISurface& surface, int x, int y) {
    HRGN region = ::CreateRectRgn(0, 0, 0, 0);
    const bool inside = ::GetWindowRgn(Of(surface), region) != ERROR && ::PtInRegion(region, x, y);
    ::DeleteObject(region);
    return inside;
}

int BigIconWidth(const plat::ISurface& surface) {
    HICON icon = reinterpret_cast<HICON>(::SendMessageW(Of(surface), WM_GETICON, ICON_BIG, 0));
    if (!icon)
        return 0;
    ICONINFO info{};
    if (!::GetIconInfo(icon, &info))
        return 0;
    BITMAP colour{};
    ::GetObjectW(info.hbmColor, sizeof colour, &colour);
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    return colour.bmWidth;
}

bool IsTopmost(const plat::ISurface& surface) {
    return (::GetWindowLongW(Of(surface), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

bool IsToolWindow(const plat::ISurface& surface) {
    const LONG style = ::GetWindowLongW(Of(surface), GWL_EXSTYLE);
    return (style & WS_EX_TOOLWINDOW) && (style & WS_EX_NOACTIVATE);
}

bool HasSystemCapture(const plat::ISurface& surface) {
    return ::GetCapture() == Of(surface);
}

void RedrawNow(const plat::ISurface& surface) {
    ::RedrawWindow(Of(surface), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

bool ReadBack(const plat::ISurface& surface, plat::Bitmap* shown) {
    return static_cast<const plat::win::Win32Surface&>(surface).ReadBack(shown);
}

} // namespace win32probe
