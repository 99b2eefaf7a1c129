// The notification-area dock on the shell's notification icons: one icon of
// a hidden top-level window of ours, added, changed and deleted with
// Shell_NotifyIconW. The icon's callback messages become the launcher's
// pointer messages for the target window; a timer notices when the pointer
// has left the icon (the callback has no leave message). A new taskbar
// ("TaskbarCreated") gets the icon again. Lives on the thread of the
// target window, whose loop dispatches the hidden window's messages.

#include "platform/TrayDock.h"

#include "platform/win32/GdiPicture.h"
#include "platform/win32/Handle.h"
#include "platform/win32/Win32Presenter.h"
#include "platform/win32/Win32TrayDock.h"
#include "platform/win32/WinApi.h"

#include <algorithm>

namespace plat {

namespace {

constexpr UINT kIconId = 1;
constexpr UINT kCallbackMessage = win::kTrayCallbackMessage;
constexpr UINT_PTR kLeaveTimer = 1;
constexpr UINT kLeavePollMs = 100;

// The picture scaled to a square side by averaging the pixels each target
// pixel covers (premultiplied pixels average correctly).
Bitmap ScaledIcon(const Bitmap& picture, int side) {
    Bitmap icon;
    if (picture.IsEmpty() || !icon.Create(side, side))
        return icon;
    if (picture.Width() == side && picture.Height() == side)
        return picture;
    for (int y = 0; y < side; ++y) {
        const int y0 = y * picture.Height() / side;
        const int y1 = std::max(y0 + 1, (y + 1) * picture.Height() / side);
        for (int x = 0; x < side; ++x) {
            const int x0 = x * picture.Width() / side;
            const int x1 = std::max(x0 + 1, (x + 1) * picture.Width() / side);
            std::uint32_t sum[4] = {0, 0, 0, 0};
            for (int sy = y0; sy < y1; ++sy)
                for (int sx = x0; sx < x1; ++sx) {
                    const std::uint32_t p = picture.Pixel(sx, sy);
                    sum[0] += PixelB(p);
                    sum[1] += PixelG(p);
                    sum[2] += PixelR(p);
                    sum[3] += PixelA(p);
                }
            const auto count = static_cast<std::uint32_t>((y1 - y0) * (x1 - x0));
            icon.SetPixel(x, y,
                          MakePixel(static_cast<std::uint8_t>(sum[0] / count),
                                    static_cast<std::uint8_t>(sum[1] / count),
                                    static_cast<std::uint8_t>(sum[2] / count),
                                    static_cast<std::uint8_t>(sum[3] / count)));
        }
    }
    return icon;
}

class Win32TrayDock final : public ITrayDock {
public:
    Win32TrayDock() = default;
    ~Win32TrayDock() override {
        Hide();
        if (window_) {
            ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
            ::DestroyWindow(window_);
        }
        if (icon_)
            ::DestroyIcon(icon_);
    }

    bool AreaPresent() override { return ::FindWindowW(L"Shell_TrayWnd", nullptr) != nullptr; }

    bool Show(HWND window, const Bitmap& picture) override {
        if (!EnsureWindow())
            return false;
        target_ = window;
        const int side = std::max(16, ::GetSystemMetrics(SM_CXSMICON));
        HICON icon = win::MakeIcon(ScaledIcon(picture, side));
        if (!icon)
            return win::FailWith(kErrInvalidParameter);
        if (icon_)
            ::DestroyIcon(icon_);
        icon_ = icon;
        wanted_ = true;
        if (docked_)
            return Notify(NIM_MODIFY) || Dock();
        Dock();
        return true;
    }

    void Hide() override {
        wanted_ = false;
        if (window_)
            ::KillTimer(window_, kLeaveTimer);
        if (docked_) {
            Notify(NIM_DELETE);
            SetDocked(false);
        }
    }

    bool IsDocked() const override { return docked_; }

    Rect IconBounds() const override {
        if (!docked_)
            return Rect{};
        NOTIFYICONIDENTIFIER id{};
        id.cbSize = sizeof id;
        id.hWnd = window_;
        id.uID = kIconId;
        RECT rect{};
        if (FAILED(::Shell_NotifyIconGetRect(&id, &rect)))
            return Rect{};
        return Rect{rect.left, rect.top, rect.right, rect.bottom};
    }

    std::uint64_t NativeId() const override {
        return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(window_));
    }

private:
    static ::LRESULT CALLBACK WindowProc(::HWND window, UINT message, ::WPARAM wParam,
                                         ::LPARAM lParam) {
        auto* dock = reinterpret_cast<Win32TrayDock*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (dock)
            return dock->Handle(message, wParam, lParam);
        return ::DefWindowProcW(window, message, wParam, lParam);
    }

    bool EnsureWindow() {
        if (window_)
            return true;
        static const bool registered = [] {
            WNDCLASSEXW wc{};
            wc.cbSize = sizeof wc;
            wc.lpfnWndProc = WindowProc;
            wc.hInstance = ::GetModuleHandleW(nullptr);
            wc.lpszClassName = L"LauncherTrayDock";
            return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
        }();
        if (!registered)
            return win::FailWithSystemError();
        // A hidden top-level window: the taskbar's restart is broadcast to
        // top-level windows only.
        window_ = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"LauncherTrayDock", L"", WS_POPUP, 0, 0, 0,
                                    0, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
        if (!window_)
            return win::FailWithSystemError();
        ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        taskbarCreated_ = ::RegisterWindowMessageW(L"TaskbarCreated");
        return true;
    }

    bool Notify(DWORD action) {
        NOTIFYICONDATAW data{};
        data.cbSize = sizeof data;
        data.hWnd = window_;
        data.uID = kIconId;
        if (action != NIM_DELETE) {
            data.uFlags = NIF_MESSAGE | NIF_ICON;
            data.uCallbackMessage = kCallbackMessage;
            data.hIcon = icon_;
        }
        return ::Shell_NotifyIconW(action, &data) != FALSE;
    }

    // Adds the icon; when no notification area takes it, the next
    // "TaskbarCreated" tries again.
    bool Dock() {
        if (!wanted_ || !icon_)
            return false;
        if (!Notify(NIM_ADD) && !Notify(NIM_MODIFY)) {
            SetDocked(false);
            return false;
        }
        SetDocked(true);
        return true;
    }

    void SetDocked(bool docked) {
        if (docked == docked_)
            return;
        docked_ = docked;
        if (target_)
            PostMessage(target_, WM_TRAYDOCKCHANGED, docked ? 1 : 0, 0);
    }

    void Post(std::uint32_t message) {
        POINT pointer{};
        ::GetCursorPos(&pointer);
        if (target_)
            PostMessage(target_, message, 0, MakePointParam(pointer.x, pointer.y));
    }

    bool PointerOverIcon() const {
        const Rect bounds = IconBounds();
        POINT pointer{};
        ::GetCursorPos(&pointer);
        return bounds.IsEmpty() || (pointer.x >= bounds.left && pointer.x < bounds.right &&
                                    pointer.y >= bounds.top && pointer.y < bounds.bottom);
    }

    ::LRESULT Handle(UINT message, ::WPARAM wParam, ::LPARAM lParam) {
        if (message == kCallbackMessage) {
            switch (static_cast<UINT>(lParam) & 0xFFFF) {
            case WM_MOUSEMOVE:
                if (!hovering_) {
                    hovering_ = true;
                    ::SetTimer(window_, kLeaveTimer, kLeavePollMs, nullptr);
                }
                Post(WM_MOUSEMOVE);
                break;
            case WM_LBUTTONDOWN:
                Post(WM_LBUTTONDOWN);
                break;
            case WM_RBUTTONDOWN:
                Post(WM_RBUTTONDOWN);
                break;
            default:
                break;
            }
            return 0;
        }
        if (message == WM_TIMER && wParam == kLeaveTimer) {
            if (!PointerOverIcon()) {
                hovering_ = false;
                ::KillTimer(window_, kLeaveTimer);
                if (target_)
                    PostMessage(target_, WM_MOUSELEAVE, 0, 0);
            }
            return 0;
        }
        if (taskbarCreated_ != 0 && message == taskbarCreated_) {
            // A new taskbar knows no icons: add ours again.
            docked_ = false;
            if (wanted_)
                Dock();
            return 0;
        }
        return ::DefWindowProcW(window_, message, wParam, lParam);
    }

    ::HWND window_ = nullptr;
    HWND target_ = 0;
    HICON icon_ = nullptr;
    UINT taskbarCreated_ = 0;
    bool wanted_ = false;
    bool docked_ = false;
    bool hovering_ = false;
};

} // namespace

std::unique_ptr<ITrayDock> CreateTrayDock(const char* display, std::wstring* why) {
    (void)display;
    std::wstring reason;
    if (!win::DesktopUsable(&reason)) {
        if (why)
            *why = reason;
        return nullptr;
    }
    if (why)
        *why = L"the shell's notification area";
    return std::make_unique<Win32TrayDock>();
}

} // namespace plat
