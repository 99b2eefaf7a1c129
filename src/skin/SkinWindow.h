#pragma once
// The window part of a skinned control. The platform has top-level surfaces
// only, so the dialog keeps its controls' windows itself: each control owns
// a message-only window of the message layer (its handle, its timers, the
// messages sent or posted to it), a rectangle in the dialog's client area,
// a shown flag and a window text, and it paints into the dialog's picture
// when the dialog paints. The dialog routes the mouse and the keyboard to
// its control windows (hit test, capture, leave tracking, focus) through
// the host interface below. Window thread only.

#include "platform/Canvas.h"
#include "platform/Geometry.h"
#include "platform/Presenter.h"
#include "platform/Window.h"

#include <cstdint>
#include <string>

namespace skin {

class CSkinWindow;

// What a control window needs from the dialog that holds it. Points and
// rectangles are in the dialog's client coordinates.
class ISkinWindowHost {
public:
    virtual ~ISkinWindowHost() = default;

    virtual plat::HWND HostWindow() const = 0;
    // Every control window made or destroyed in the dialog, in creation
    // order (which is the painting order: later windows lie above).
    virtual void AddChildWindow(CSkinWindow* window) = 0;
    virtual void RemoveChildWindow(CSkinWindow* window) = 0;
    // Repaints that part of the dialog (background first, then the controls).
    virtual void InvalidateArea(const plat::Rect& area) = 0;
    // SetCapture / ReleaseCapture for a control window.
    virtual bool CaptureMouse(CSkinWindow* window) = 0;
    virtual bool ReleaseMouse(CSkinWindow* window) = 0;
    virtual CSkinWindow* MouseCapture() const = 0;
    // The keyboard focus among the control windows (null: the dialog).
    virtual void FocusWindow(CSkinWindow* window) = 0;
    virtual CSkinWindow* FocusedWindow() const = 0;
    // TrackMouseEvent: one WM_MOUSELEAVE when the pointer leaves the window.
    virtual bool TrackMouseLeave(CSkinWindow* window) = 0;
    virtual void CancelMouseLeave(CSkinWindow* window) = 0;
    virtual plat::Point CursorPosition() const = 0;
    virtual plat::Point ClientToScreen(plat::Point point) const = 0;
    // The shown control window that takes the mouse at the point, if any.
    virtual CSkinWindow* WindowFromPoint(plat::Point point) const = 0;
    virtual plat::IPresenter* Presenter() const = 0;
    // Sends a message to the dialog directly (a send on the window's
    // thread). Messages that carry pointers (colour requests) travel only
    // this way, never through the message queue, which other processes can
    // post into.
    virtual plat::LRESULT SendToHost(std::uint32_t message, plat::WPARAM wParam,
                                     plat::LPARAM lParam) = 0;
    // A control's visible flag changed: the dialog shows or hides its window
    // when the control is on the page shown now.
    virtual void OnVisibleFlagChanged(CSkinWindow* window, bool visible) = 0;
};

class CSkinWindow : public plat::IWindowHandler {
public:
    CSkinWindow() = default;
    ~CSkinWindow() override;
    CSkinWindow(const CSkinWindow&) = delete;
    CSkinWindow& operator=(const CSkinWindow&) = delete;

    // Creates the window: a message-only window of the calling thread at
    // `rect`, shown when the style has WS_VISIBLE. False when the message
    // layer refuses it.
    bool CreateControlWindow(ISkinWindowHost* host, const std::wstring& className, int id,
                             const plat::Rect& rect, std::uint32_t style);
    void DestroyControlWindow();

    plat::HWND Handle() const { return handle_; }
    bool HasWindow() const { return handle_ != 0 && plat::IsWindow(handle_); }
    int ControlId() const { return id_; }
    const std::wstring& WindowClass() const { return className_; }
    std::uint32_t Style() const { return style_; }
    ISkinWindowHost* Host() const { return host_; }

    const plat::Rect& WindowRect() const { return windowRect_; }
    plat::Size ClientSize() const { return {windowRect_.Width(), windowRect_.Height()}; }
    // Moves and sizes the window (both areas repainted).
    void MoveWindow(const plat::Rect& rect);
    void ShowWindow(bool show);
    bool IsWindowVisible() const { return shown_; }
    // WM_SETTEXT through the window's own handling.
    void SetWindowText(const std::wstring& text);
    const std::wstring& WindowText() const { return text_; }
    // Repaints the dialog area under the window.
    void InvalidateWindow();
    // The point in the window's client coordinates.
    plat::Point FromHost(plat::Point point) const {
        return {point.x - windowRect_.left, point.y - windowRect_.top};
    }

    // Calls the window's handling directly (a send on the window's thread).
    plat::LRESULT Send(std::uint32_t message, plat::WPARAM wParam = 0, plat::LPARAM lParam = 0) {
        return WindowProc(message, wParam, lParam);
    }

    // Paints the window; the canvas's origin is the window's top-left corner
    // and its clip the window's area.
    virtual void PaintWindow(plat::Canvas& canvas);
    // A tab stop: Tab moves the focus here.
    virtual bool IsTabStop() const { return (style_ & 0x00010000u) != 0; }

    // Messages from the queue: input, focus, capture and timers. Messages
    // whose parameters are pointers are refused there (anyone may post to
    // a window); they are only sent directly with Send.
    plat::LRESULT HandleWindowMessage(plat::HWND window, std::uint32_t message, plat::WPARAM wParam,
                                      plat::LPARAM lParam, const plat::CopyData* copyData) override;
    // Whether a message's parameters carry pointers.
    static bool CarriesPointers(std::uint32_t message);

protected:
    virtual plat::LRESULT WindowProc(std::uint32_t message, plat::WPARAM wParam,
                                     plat::LPARAM lParam);
    // What a plain window does: stores WM_SETTEXT, answers WM_NCHITTEST with
    // the client area, nothing else.
    plat::LRESULT DefWindowProc(std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam);
    // Called after the window was shown or hidden.
    virtual void OnShowWindow(bool /*shown*/) {}

    // Sends WM_COMMAND with the code to the dialog (as a control notifies
    // its parent).
    void NotifyParent(std::uint32_t code);

private:
    ISkinWindowHost* host_ = nullptr;
    plat::HWND handle_ = 0;
    int id_ = -1;
    std::wstring className_;
    std::uint32_t style_ = 0;
    plat::Rect windowRect_;
    bool shown_ = false;
    std::wstring text_;
};

} // namespace skin
