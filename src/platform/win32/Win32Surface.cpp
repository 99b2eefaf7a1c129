// A surface of the Windows presenter: its popup window, the picture kept in
// a DIB section and shown from there, the window region, icons and state,
// the pointer capture, the move by the pointer, and the system's input
// turned into the launcher's messages.

#include "platform/win32/Win32Presenter.h"

#include "platform/win32/Handle.h"

#include <algorithm>

namespace plat::win {

namespace {

const ::HWND kTopmost = reinterpret_cast<::HWND>(static_cast<std::intptr_t>(-1));
const ::HWND kNotTopmost = reinterpret_cast<::HWND>(static_cast<std::intptr_t>(-2));

// The point of a mouse message, kept as the launcher packs one.
LPARAM ClientPoint(::LPARAM lParam) {
    const auto x = static_cast<std::int16_t>(static_cast<std::uint16_t>(lParam));
    const auto y = static_cast<std::int16_t>(static_cast<std::uint16_t>(lParam >> 16));
    return MakePointParam(x, y);
}

} // namespace

Win32Surface::Win32Surface(Win32Presenter* presenter, const SurfaceOptions& options)
    : presenter_(presenter), options_(options), bounds_(options.bounds),
      picture_(options.window, Size{options.bounds.Width(), options.bounds.Height()}) {}

Win32Surface::~Win32Surface() {
    if (system_) {
        ::SetWindowLongPtrW(system_, GWLP_USERDATA, 0);
        ::DestroyWindow(system_);
    }
    if (largeIcon_)
        ::DestroyIcon(largeIcon_);
    if (smallIcon_)
        ::DestroyIcon(smallIcon_);
}

bool Win32Surface::Open() {
    if (picture_.IsEmpty() || !shown_.Create(bounds_.Width(), bounds_.Height()))
        return FailWith(kErrNotEnoughMemory);
    const bool popup = options_.kind == SurfaceKind::Popup;
    DWORD exStyle = popup ? (WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE) : WS_EX_APPWINDOW;
    if (options_.topmost || popup)
        exStyle |= WS_EX_TOPMOST;
    system_ =
        ::CreateWindowExW(exStyle, Win32Presenter::SurfaceClass(), options_.title.c_str(),
                          WS_POPUP | WS_CLIPSIBLINGS | (popup ? 0 : WS_SYSMENU | WS_MINIMIZEBOX),
                          bounds_.left, bounds_.top, bounds_.Width(), bounds_.Height(), nullptr,
                          nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!system_)
        return FailWithSystemError();
    ::SetWindowLongPtrW(system_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    topmost_ = options_.topmost;
    return true;
}

void Win32Surface::Post(std::uint32_t message, WPARAM wParam, LPARAM lParam) const {
    PostMessage(options_.window, message, wParam, lParam);
}

bool Win32Surface::SetBounds(const Rect& bounds) {
    if (!system_ || bounds.Width() < 1 || bounds.Height() < 1)
        return FailWith(kErrInvalidParameter);
    if (bounds.Width() != bounds_.Width() || bounds.Height() != bounds_.Height()) {
        if (!picture_.Resize(Size{bounds.Width(), bounds.Height()}) ||
            !shown_.Create(bounds.Width(), bounds.Height()))
            return FailWith(kErrNotEnoughMemory);
        shown_.CopyFrom(Picture(), Picture().Bounds());
    }
    bounds_ = bounds;
    ::SetWindowPos(system_, nullptr, bounds.left, bounds.top, bounds.Width(), bounds.Height(),
                   SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

bool Win32Surface::Show(bool visible) {
    if (!system_)
        return false;
    if (visible) {
        const bool popup = options_.kind == SurfaceKind::Popup;
        ::ShowWindow(system_, popup ? SW_SHOWNOACTIVATE : SW_SHOW);
        visible_ = true;
        Invalidate(nullptr);
    } else {
        ReleaseCapture();
        ::ShowWindow(system_, SW_HIDE);
        visible_ = false;
    }
    return true;
}

bool Win32Surface::SetTitle(const std::wstring& title) {
    if (!system_)
        return false;
    options_.title = title;
    return ::SetWindowTextW(system_, title.c_str()) != 0 || FailWithSystemError();
}

bool Win32Surface::SetIcons(const Bitmap* large, const Bitmap* small) {
    if (!system_)
        return false;
    HICON newLarge = large && !large->IsEmpty() ? MakeIcon(*large) : nullptr;
    HICON newSmall = small && !small->IsEmpty() ? MakeIcon(*small) : nullptr;
    ::SendMessageW(system_, WM_SETICON, ICON_BIG, reinterpret_cast<::LPARAM>(newLarge));
    ::SendMessageW(system_, WM_SETICON, ICON_SMALL, reinterpret_cast<::LPARAM>(newSmall));
    if (largeIcon_)
        ::DestroyIcon(largeIcon_);
    if (smallIcon_)
        ::DestroyIcon(smallIcon_);
    largeIcon_ = newLarge;
    smallIcon_ = newSmall;
    return true;
}

bool Win32Surface::SetTopmost(bool topmost) {
    if (!system_)
        return false;
    topmost_ = topmost;
    ::SetWindowPos(system_, topmost ? kTopmost : kNotTopmost, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return true;
}

bool Win32Surface::SetShape(const Region* shape) {
    if (!system_)
        return false;
    hasShape_ = shape != nullptr;
    shape_ = shape ? *shape : Region();
    // The system owns the region once it is set.
    HRGN region = shape ? MakeSystemRegion(*shape) : nullptr;
    if (!::SetWindowRgn(system_, region, visible_ ? TRUE : FALSE)) {
        if (region)
            ::DeleteObject(region);
        return FailWithSystemError();
    }
    return true;
}

void Win32Surface::Invalidate(const Rect* area) {
    picture_.Invalidate(area);
}

void Win32Surface::BeginPaint(PaintStruct* paint) {
    picture_.BeginPaint(paint);
}

void Win32Surface::EndPaint(const PaintStruct& paint) {
    Present(paint.update);
}

void Win32Surface::Present(const Region& area) {
    if (!system_)
        return;
    const Region shown = area.Intersect(Region(Picture().Bounds()));
    for (const Rect& r : shown.Rects())
        shown_.CopyFrom(Picture(), r);
    if (!visible_ || shown.IsEmpty())
        return;
    HRGN region = MakeSystemRegion(shown);
    ::RedrawWindow(system_, nullptr, region, RDW_INVALIDATE | RDW_UPDATENOW);
    ::DeleteObject(region);
}

void Win32Surface::PaintSystem(HDC dc, const RECT& area) const {
    ::BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, shown_.Dc(),
             area.left, area.top, SRCCOPY);
}

bool Win32Surface::ReadBack(Bitmap* shown) const {
    if (!system_ || !shown || !shown->Create(bounds_.Width(), bounds_.Height()))
        return false;
    DibSection target;
    if (!target.Create(bounds_.Width(), bounds_.Height()))
        return false;
    if (!::PrintWindow(system_, target.Dc(), 0))
        return FailWithSystemError();
    target.CopyTo(shown);
    return true;
}

bool Win32Surface::SetCapture() {
    if (!system_)
        return false;
    implicitCapture_ = false;
    if (::GetCapture() == system_)
        return true;
    ::SetCapture(system_);
    return ::GetCapture() == system_ || FailWith(kErrAccessDenied);
}

bool Win32Surface::ReleaseCapture() {
    if (!system_ || ::GetCapture() != system_)
        return false;
    implicitCapture_ = false;
    // The system tells the window, which posts WM_CAPTURECHANGED.
    ::ReleaseCapture();
    return true;
}

bool Win32Surface::HasCapture() const {
    return system_ && ::GetCapture() == system_ && !implicitCapture_;
}

bool Win32Surface::SetFocus() {
    if (!system_ || !visible_)
        return false;
    if (options_.kind == SurfaceKind::Main)
        ::SetForegroundWindow(system_);
    ::SetFocus(system_);
    return true;
}

bool Win32Surface::BeginMoveDrag() {
    if (!system_ || options_.kind != SurfaceKind::Main || !(::GetKeyState(VK_LBUTTON) & 0x8000))
        return FailWith(kErrInvalidParameter);
    if (::GetCapture() == system_ && !implicitCapture_)
        ReleaseCapture();
    POINT pointer{};
    ::GetCursorPos(&pointer);
    Post(WM_ENTERSIZEMOVE, 0, 0);
    // Follow the pointer until the button comes up; the capture keeps the
    // pointer's messages here wherever it goes.
    dragging_ = true;
    dragPointer_ = Point{pointer.x, pointer.y};
    dragOrigin_ = Point{bounds_.left, bounds_.top};
    implicitCapture_ = true;
    ::SetCapture(system_);
    return true;
}

void Win32Surface::OnMouse(UINT message, ::WPARAM wParam, ::LPARAM lParam) {
    const WPARAM flags = static_cast<WPARAM>(wParam) &
                         (MK_LBUTTON | MK_RBUTTON | MK_SHIFT | MK_CONTROL | MK_MBUTTON);
    if (dragging_) {
        POINT pointer{};
        ::GetCursorPos(&pointer);
        if (message == WM_MOUSEMOVE) {
            const int x = dragOrigin_.x + pointer.x - dragPointer_.x;
            const int y = dragOrigin_.y + pointer.y - dragPointer_.y;
            ::SetWindowPos(system_, nullptr, x, y, 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            return;
        }
        if (message == WM_LBUTTONUP) {
            dragging_ = false;
            implicitCapture_ = false;
            ::ReleaseCapture();
            Post(WM_EXITSIZEMOVE, 0, 0);
        }
        return;
    }
    if (message == WM_MOUSEMOVE && !tracking_) {
        TRACKMOUSEEVENT track{};
        track.cbSize = sizeof track;
        track.dwFlags = TME_LEAVE;
        track.hwndTrack = system_;
        tracking_ = ::TrackMouseEvent(&track) != FALSE;
    }
    const bool down =
        message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN;
    // While a button is held the surface it went down on keeps the pointer.
    if (down && ::GetCapture() != system_) {
        implicitCapture_ = true;
        ::SetCapture(system_);
    }
    Post(message, flags, ClientPoint(lParam));
    const bool up = message == WM_LBUTTONUP || message == WM_RBUTTONUP || message == WM_MBUTTONUP;
    if (up && implicitCapture_ && !(flags & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON))) {
        implicitCapture_ = false;
        if (::GetCapture() == system_) {
            implicitCapture_ = true; // the release below is not the launcher's
            ::ReleaseCapture();
            implicitCapture_ = false;
        }
    }
}

::LRESULT CALLBACK Win32Surface::WindowProcEntry(::HWND window, UINT message, ::WPARAM wParam,
                                                 ::LPARAM lParam) {
    auto* surface = reinterpret_cast<Win32Surface*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!surface)
        return ::DefWindowProcW(window, message, wParam, lParam);
    return surface->Handle(message, wParam, lParam);
}

::LRESULT Win32Surface::Handle(UINT message, ::WPARAM wParam, ::LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        // What the screen lost is shown again from the kept pixels.
        PAINTSTRUCT paint{};
        HDC dc = ::BeginPaint(system_, &paint);
        if (dc)
            PaintSystem(dc, paint.rcPaint);
        ::EndPaint(system_, &paint);
        return 0;
    }
    case WM_PRINTCLIENT: {
        RECT all{0, 0, bounds_.Width(), bounds_.Height()};
        PaintSystem(reinterpret_cast<HDC>(wParam), all);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_MOUSEACTIVATE:
        if (options_.kind == SurfaceKind::Popup)
            return MA_NOACTIVATE;
        break;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        OnMouse(message, wParam, lParam);
        return 0;
    case WM_MOUSEWHEEL:
        Post(WM_MOUSEWHEEL, static_cast<WPARAM>(wParam) & 0xFFFFFFFFu, ClientPoint(lParam));
        return 0;
    case WM_MOUSELEAVE:
        tracking_ = false;
        Post(WM_MOUSELEAVE, 0, 0);
        return 0;
    case WM_CAPTURECHANGED:
        if (dragging_) {
            dragging_ = false;
            Post(WM_EXITSIZEMOVE, 0, 0);
        }
        if (!implicitCapture_)
            Post(WM_CAPTURECHANGED, 0, 0);
        implicitCapture_ = false;
        return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
        Post(message, static_cast<WPARAM>(wParam),
             message == WM_KEYDOWN ? (1 | (static_cast<LPARAM>(lParam) & 0x40000000)) : 1);
        return 0;
    case WM_CHAR: {
        const auto unit = static_cast<wchar_t>(wParam);
        if (unit >= 0xD800 && unit < 0xDC00) {
            highSurrogate_ = unit;
            return 0;
        }
        WPARAM codePoint = unit;
        if (unit >= 0xDC00 && unit < 0xE000 && highSurrogate_) {
            codePoint = 0x10000 + ((static_cast<WPARAM>(highSurrogate_) - 0xD800) << 10) +
                        (static_cast<WPARAM>(unit) - 0xDC00);
        }
        highSurrogate_ = 0;
        Post(WM_CHAR, codePoint, 1);
        return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        Post(message, 0, 0);
        return 0;
    case WM_MOVE: {
        RECT rect{};
        ::GetWindowRect(system_, &rect);
        bounds_ = Rect::FromSize(rect.left, rect.top, bounds_.Width(), bounds_.Height());
        Post(WM_MOVE, 0, MakePointParam(rect.left, rect.top));
        return 0;
    }
    case WM_ENTERSIZEMOVE:
    case WM_EXITSIZEMOVE:
        Post(message, 0, 0);
        return 0;
    case WM_CLOSE:
        // The close request is the launcher's to answer.
        Post(WM_CLOSE, 0, 0);
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(system_, message, wParam, lParam);
}

} // namespace plat::win
