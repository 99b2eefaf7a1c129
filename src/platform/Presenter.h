#pragma once
// Presenters put the launcher's windows on screen. A surface is one
// top-level window: a borderless picture of the size of its bounds, shaped
// by a region (what shows and what takes the mouse), with a title, a window
// class (the taskbar identity), icons and an always-on-top wish, or a popup
// (drop-down lists, tooltips) that the window manager leaves alone.
//
// A surface belongs to a window of the message layer (Window.h): its input
// arrives there as the Windows messages below, posted into that window's
// queue, and so does WM_PAINT when part of the surface needs painting. The
// window's handler answers WM_PAINT with BeginPaint, draws the update area
// into the surface's picture through the canvas it gets, and EndPaint, which
// shows only the painted area. The picture is kept: an area the screen lost
// is shown again from it without a WM_PAINT.
//
// Two presenters exist: the X11 one (a real window of the display) and the
// headless one (everything in memory, with scripted input and screenshots).
// CreatePresenter picks one when the launcher starts. A presenter and its
// surfaces belong to the thread that made them, which must be the thread of
// the windows they serve.

#include "platform/Bitmap.h"
#include "platform/Canvas.h"
#include "platform/Geometry.h"
#include "platform/Region.h"
#include "platform/Window.h"

#include <cstdint>
#include <memory>
#include <string>

namespace plat {

// The messages a presenter posts, with the Windows numbers and parameters.
enum : std::uint32_t {
    WM_MOVE = 0x0003,        // lParam: new left (low 16 bits) and top (high), screen
    WM_SETFOCUS = 0x0007,    // the surface took the keyboard
    WM_KILLFOCUS = 0x0008,   // the surface lost the keyboard
    WM_PAINT = 0x000F,       // part of the surface needs painting (BeginPaint)
    WM_KEYDOWN = 0x0100,     // wParam: virtual key; lParam: repeat 1, bit 30 when held
    WM_KEYUP = 0x0101,       // wParam: virtual key
    WM_CHAR = 0x0102,        // wParam: the character typed (a code point)
    WM_MOUSEMOVE = 0x0200,   // wParam: MK_ flags; lParam: client x (low), y (high)
    WM_LBUTTONDOWN = 0x0201, // as WM_MOUSEMOVE
    WM_LBUTTONUP = 0x0202,
    WM_RBUTTONDOWN = 0x0204,
    WM_RBUTTONUP = 0x0205,
    WM_MBUTTONDOWN = 0x0207,
    WM_MBUTTONUP = 0x0208,
    WM_MOUSEWHEEL = 0x020A,     // wParam: MK_ flags, delta (+-120 a notch, away from the
                                // user positive) in the high 16 bits; lParam: screen x, y
    WM_CAPTURECHANGED = 0x0215, // the surface lost the mouse capture
    WM_ENTERSIZEMOVE = 0x0231,  // a window move by the mouse begins
    WM_EXITSIZEMOVE = 0x0232,   // and ends
    WM_MOUSELEAVE = 0x02A3,     // the pointer left the surface
};

// Key and button flags of mouse messages.
enum : std::uint32_t {
    MK_LBUTTON = 0x01,
    MK_RBUTTON = 0x02,
    MK_SHIFT = 0x04,
    MK_CONTROL = 0x08,
    MK_MBUTTON = 0x10,
};

// Virtual keys the presenters report (letters and digits are their upper
// case ASCII codes).
enum : std::uint32_t {
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_RETURN = 0x0D,
    VK_SHIFT = 0x10,
    VK_CONTROL = 0x11,
    VK_MENU = 0x12,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_PRIOR = 0x21,
    VK_NEXT = 0x22,
    VK_END = 0x23,
    VK_HOME = 0x24,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_INSERT = 0x2D,
    VK_DELETE = 0x2E,
    VK_F1 = 0x70,
};

constexpr LPARAM MakePointParam(int x, int y) {
    return static_cast<LPARAM>(static_cast<std::uint16_t>(x) |
                               static_cast<std::uint32_t>(static_cast<std::uint16_t>(y)) << 16);
}
constexpr int PointParamX(LPARAM lParam) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(lParam));
}
constexpr int PointParamY(LPARAM lParam) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(lParam >> 16));
}
constexpr int WheelDelta(WPARAM wParam) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(wParam >> 16));
}

enum class SurfaceKind {
    Main,  // a top-level window with a taskbar entry, moved by the user
    Popup, // a drop-down or tooltip: never decorated, moved or listed
};

struct SurfaceOptions {
    SurfaceKind kind = SurfaceKind::Main;
    HWND window = 0;        // the message-layer window that gets the messages
    std::wstring className; // the taskbar identity
    std::wstring title;
    Rect bounds;          // on the screen; width and height at least 1
    bool topmost = false; // stays above other windows
};

// What BeginPaint hands out: a canvas onto the surface's picture, clipped to
// the area to paint.
struct PaintStruct {
    Region update; // the area to paint, in surface coordinates
    Rect bounds;   // its bounding rectangle
    std::unique_ptr<Canvas> canvas;
};

class ISurface {
public:
    virtual ~ISurface() = default;

    virtual HWND Window() const = 0;
    virtual SurfaceKind Kind() const = 0;
    // The presenter's own number for the surface (the X window id; a counter
    // headless).
    virtual std::uint64_t NativeId() const = 0;

    // Position and size on the screen. A new size keeps the picture's
    // top-left part; the rest starts transparent and is to be painted.
    virtual Rect Bounds() const = 0;
    virtual bool SetBounds(const Rect& bounds) = 0;
    virtual bool Show(bool visible) = 0;
    virtual bool IsVisible() const = 0;
    virtual bool SetTitle(const std::wstring& title) = 0;
    // The icons the window manager shows (any may be null).
    virtual bool SetIcons(const Bitmap* large, const Bitmap* small) = 0;
    virtual bool SetTopmost(bool topmost) = 0;

    // SetWindowRgn: the shape in surface coordinates, for what shows and for
    // what takes the mouse; null makes the surface a plain rectangle again.
    virtual bool SetShape(const Region* shape) = 0;
    // Null while the surface has no shape.
    virtual const Region* Shape() const = 0;

    // The picture (surface size). Drawing into it shows on the next
    // EndPaint or Present.
    virtual Bitmap& Picture() = 0;
    // InvalidateRect: adds the area (null: all of it) to the update area;
    // one WM_PAINT is posted while the update area is not empty.
    virtual void Invalidate(const Rect* area) = 0;
    // Takes the update area (empty when nothing is due) and a canvas for it.
    virtual void BeginPaint(PaintStruct* paint) = 0;
    // Shows what the paint drew.
    virtual void EndPaint(const PaintStruct& paint) = 0;
    // Shows the area of the picture now, outside a paint.
    virtual void Present(const Region& area) = 0;

    // SetCapture / ReleaseCapture: while captured, every mouse message goes
    // to this surface, wherever the pointer is. Losing the capture posts
    // WM_CAPTURECHANGED.
    virtual bool SetCapture() = 0;
    virtual bool ReleaseCapture() = 0;
    virtual bool HasCapture() const = 0;
    // Gives the surface the keyboard.
    virtual bool SetFocus() = 0;
    // Moves the window with the pointer while the left button stays down,
    // as dragging a caption does: WM_ENTERSIZEMOVE, moves, WM_EXITSIZEMOVE.
    // Uses the window manager where there is one.
    virtual bool BeginMoveDrag() = 0;
};

class IPresenter {
public:
    virtual ~IPresenter() = default;

    // "x11" or "headless".
    virtual const char* Name() const = 0;
    // What was chosen and why, for the log.
    virtual std::wstring Description() const = 0;
    virtual Size ScreenSize() const = 0;
    // The pointer's screen position (GetCursorPos).
    virtual Point CursorPosition() const = 0;
    // Null (last error set) when the surface cannot be made.
    virtual std::unique_ptr<ISurface> CreateSurface(const SurfaceOptions& options) = 0;
    // The whole screen as it shows now: every visible surface in its shape
    // over the desktop.
    virtual bool CaptureScreen(Bitmap* screen) = 0;
};

// The presenter for this run: the X11 one when DISPLAY names a display that
// answers, otherwise the headless one. `why` is set to the reason of the
// choice either way. Never null.
std::unique_ptr<IPresenter> CreatePresenter(std::wstring* why);
// The X11 presenter on `display` (null: DISPLAY); null with the reason in
// `why` when that display does not answer.
std::unique_ptr<IPresenter> CreateX11Presenter(const char* display, std::wstring* why);

} // namespace plat
