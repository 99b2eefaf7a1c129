#pragma once
// The launcher's place in the desktop's notification area: one small icon
// window that the notification area holds, painted with a picture scaled to
// the space the area gives it. Its pointer input goes to a window of the
// message layer as the Windows messages below, in screen coordinates; what
// the icon shows beside the picture (tooltips, balloons, menus) is drawn by
// its user. The dock follows the notification area: one that starts later
// takes the icon then, and one that goes away leaves the icon waiting for
// the next.
//
// CreateTrayDock picks the backend (the X11 system tray protocol on POSIX).
// A dock belongs to the thread that made it, which must own the window its
// messages go to.

#include "platform/Bitmap.h"
#include "platform/Geometry.h"
#include "platform/Window.h"

#include <cstdint>
#include <memory>
#include <string>

namespace plat {

// The messages a dock posts besides the pointer's WM_MOUSEMOVE,
// WM_LBUTTONDOWN, WM_RBUTTONDOWN (lParam: the screen point, as
// MakePointParam makes it) and WM_MOUSELEAVE.
enum : std::uint32_t {
    // wParam 1: the notification area took the icon; 0: it let it go (it
    // went away, or the icon was hidden).
    WM_TRAYDOCKCHANGED = WM_APP + 0x0154,
};

class ITrayDock {
public:
    virtual ~ITrayDock() = default;

    // Whether a notification area runs on the display now.
    virtual bool AreaPresent() = 0;
    // Puts the icon into the notification area: now when one runs, else as
    // soon as one starts. Input goes to `window`. False when the dock
    // cannot work at all (its display is gone).
    virtual bool Show(HWND window, const Bitmap& picture) = 0;
    // Takes the icon out of the notification area.
    virtual void Hide() = 0;
    // A notification area holds the icon now.
    virtual bool IsDocked() const = 0;
    // Where the icon is on the screen (empty while not docked).
    virtual Rect IconBounds() const = 0;
    // The backend's number for the icon window (the X window id), 0 while
    // there is none; for tests and logs.
    virtual std::uint64_t NativeId() const = 0;
};

// The dock of the display named by `display` (null: the one the presenter
// would use). Null with the reason in `why` when there is no display to dock
// on.
std::unique_ptr<ITrayDock> CreateTrayDock(const char* display, std::wstring* why);

} // namespace plat
