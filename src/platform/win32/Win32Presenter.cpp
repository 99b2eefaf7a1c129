// The Windows presenter: the surfaces' window class, the screen's size and
// the pointer, and the screen read back through the desktop's context.

#include "platform/win32/Win32Presenter.h"

#include "platform/win32/Handle.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace plat::win {

const wchar_t* Win32Presenter::SurfaceClass() {
    return L"LauncherSurface";
}

Win32Presenter::Win32Presenter(std::wstring description) : description_(std::move(description)) {}

Size Win32Presenter::ScreenSize() const {
    return Size{::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
}

Point Win32Presenter::CursorPosition() const {
    POINT point{};
    ::GetCursorPos(&point);
    return Point{point.x, point.y};
}

std::unique_ptr<ISurface> Win32Presenter::CreateSurface(const SurfaceOptions& options) {
    if (options.bounds.Width() < 1 || options.bounds.Height() < 1 || !IsWindow(options.window)) {
        SetLastError(kErrInvalidParameter);
        return nullptr;
    }
    static std::once_flag registered;
    static bool classReady = false;
    std::call_once(registered, [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &Win32Surface::WindowProcEntry;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.lpszClassName = SurfaceClass();
        classReady = ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    });
    if (!classReady) {
        SetLastError(kErrNotEnoughMemory);
        return nullptr;
    }
    auto surface = std::make_unique<Win32Surface>(this, options);
    if (!surface->Open())
        return nullptr;
    return surface;
}

namespace {

// This process's visible surfaces, from the top of the stack down.
BOOL CALLBACK CollectSurface(::HWND window, ::LPARAM context) {
    auto* found = reinterpret_cast<std::vector<::HWND>*>(context);
    wchar_t name[64];
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    if (processId == ::GetCurrentProcessId() && ::IsWindowVisible(window) &&
        ::GetClassNameW(window, name, 64) > 0 &&
        std::wstring(name) == Win32Presenter::SurfaceClass())
        found->push_back(window);
    return TRUE;
}

// Composes the screen from this process's visible surfaces, each printed by
// its window and kept to its region, over a black desktop: for a desktop
// whose pixels cannot be read (a display driver without a frame buffer).
bool ComposeScreen(Size size, Bitmap* screen) {
    if (!screen->Create(size.cx, size.cy))
        return false;
    for (int y = 0; y < size.cy; ++y)
        std::fill_n(screen->Row(y), size.cx, 0xFF000000u);
    std::vector<::HWND> surfaces;
    ::EnumWindows(CollectSurface, reinterpret_cast<::LPARAM>(&surfaces));
    for (auto it = surfaces.rbegin(); it != surfaces.rend(); ++it) {
        auto* surface = reinterpret_cast<Win32Surface*>(::GetWindowLongPtrW(*it, GWLP_USERDATA));
        Bitmap shown;
        if (!surface || !surface->ReadBack(&shown))
            continue;
        const Rect bounds = surface->Bounds();
        const Region area = surface->Shape() ? *surface->Shape() : Region(shown.Bounds());
        for (const Rect& r : area.Rects()) {
            for (int y = r.top; y < r.bottom; ++y) {
                const int sy = bounds.top + y;
                if (sy < 0 || sy >= size.cy)
                    continue;
                for (int x = r.left; x < r.right; ++x) {
                    const int sx = bounds.left + x;
                    if (sx >= 0 && sx < size.cx)
                        screen->SetPixel(sx, sy, shown.Pixel(x, y) | 0xFF000000u);
                }
            }
        }
    }
    return true;
}

} // namespace

bool Win32Presenter::CaptureScreen(Bitmap* screen) {
    if (!screen)
        return false;
    const Size size = ScreenSize();
    DibSection copy;
    if (size.cx < 1 || size.cy < 1 || !copy.Create(size.cx, size.cy))
        return false;
    HDC desktop = ::GetDC(nullptr);
    const BOOL copied =
        desktop && ::BitBlt(copy.Dc(), 0, 0, size.cx, size.cy, desktop, 0, 0, SRCCOPY | CAPTUREBLT);
    if (desktop)
        ::ReleaseDC(nullptr, desktop);
    if (!copied)
        return ComposeScreen(size, screen);
    if (!screen->Create(size.cx, size.cy))
        return FailWithSystemError();
    copy.CopyTo(screen);
    // The screen is opaque.
    for (int y = 0; y < size.cy; ++y) {
        std::uint32_t* row = screen->Row(y);
        for (int x = 0; x < size.cx; ++x)
            row[x] |= 0xFF000000u;
    }
    return true;
}

bool DesktopUsable(std::wstring* why) {
    auto say = [why](std::wstring text) {
        if (why)
            *why = std::move(text);
    };
    HWINSTA station = ::GetProcessWindowStation();
    USEROBJECTFLAGS flags{};
    if (!station ||
        !::GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr)) {
        say(L"no window station");
        return false;
    }
    if (!(flags.dwFlags & WSF_VISIBLE)) {
        say(L"the window station is not visible (a service)");
        return false;
    }
    HDESK desktop = ::GetThreadDesktop(::GetCurrentThreadId());
    wchar_t name[256] = L"";
    if (!desktop || !::GetUserObjectInformationW(desktop, UOI_NAME, name,
                                                 sizeof name - sizeof(wchar_t), nullptr)) {
        say(L"no desktop");
        return false;
    }
    if (::GetSystemMetrics(SM_CXSCREEN) < 1 || ::GetSystemMetrics(SM_CYSCREEN) < 1) {
        say(L"the desktop has no screen");
        return false;
    }
    say(std::wstring(L"desktop ") + name);
    return true;
}

} // namespace plat::win
