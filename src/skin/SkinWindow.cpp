#include "skin/SkinWindow.h"

#include "skin/SkinMessages.h"

namespace skin {

CSkinWindow::~CSkinWindow() {
    DestroyControlWindow();
}

bool CSkinWindow::CreateControlWindow(ISkinWindowHost* host, const std::wstring& className, int id,
                                      const plat::Rect& rect, std::uint32_t style) {
    if (handle_)
        return false;
    handle_ = plat::CreateWindow(className, std::wstring(), this, true);
    if (!handle_)
        return false;
    host_ = host;
    id_ = id;
    className_ = className;
    style_ = style;
    windowRect_ = rect;
    shown_ = (style & WS_VISIBLE) != 0;
    if (host_)
        host_->AddChildWindow(this);
    InvalidateWindow();
    return true;
}

void CSkinWindow::DestroyControlWindow() {
    if (!handle_)
        return;
    if (host_) {
        host_->CancelMouseLeave(this);
        if (host_->MouseCapture() == this)
            host_->ReleaseMouse(this);
        if (host_->FocusedWindow() == this)
            host_->FocusWindow(nullptr);
        if (shown_)
            host_->InvalidateArea(windowRect_);
        host_->RemoveChildWindow(this);
    }
    plat::DestroyWindow(handle_);
    handle_ = 0;
    shown_ = false;
}

void CSkinWindow::MoveWindow(const plat::Rect& rect) {
    if (rect == windowRect_)
        return;
    if (shown_ && host_)
        host_->InvalidateArea(windowRect_);
    windowRect_ = rect;
    InvalidateWindow();
}

void CSkinWindow::ShowWindow(bool show) {
    if (show == shown_)
        return;
    if (!show && host_) {
        host_->InvalidateArea(windowRect_);
        host_->CancelMouseLeave(this);
        if (host_->MouseCapture() == this)
            host_->ReleaseMouse(this);
        if (host_->FocusedWindow() == this)
            host_->FocusWindow(nullptr);
    }
    shown_ = show;
    if (show)
        InvalidateWindow();
    OnShowWindow(show);
}

void CSkinWindow::SetWindowText(const std::wstring& text) {
    WindowProc(WM_SETTEXT, 0, reinterpret_cast<plat::LPARAM>(&text));
}

void CSkinWindow::InvalidateWindow() {
    if (shown_ && host_)
        host_->InvalidateArea(windowRect_);
}

void CSkinWindow::PaintWindow(plat::Canvas&) {}

bool CSkinWindow::CarriesPointers(std::uint32_t message) {
    return message == WM_SETTEXT || message == WM_GETTEXT || message == WM_DRAWITEM ||
           message == WM_CTLCOLOREDIT || message == WM_CTLCOLORSTATIC || message == WM_INITDIALOG ||
           message >= OCM_BASE;
}

plat::LRESULT CSkinWindow::HandleWindowMessage(plat::HWND, std::uint32_t message,
                                               plat::WPARAM wParam, plat::LPARAM lParam,
                                               const plat::CopyData*) {
    if (CarriesPointers(message))
        return 0;
    return WindowProc(message, wParam, lParam);
}

plat::LRESULT CSkinWindow::WindowProc(std::uint32_t message, plat::WPARAM wParam,
                                      plat::LPARAM lParam) {
    return DefWindowProc(message, wParam, lParam);
}

plat::LRESULT CSkinWindow::DefWindowProc(std::uint32_t message, plat::WPARAM, plat::LPARAM lParam) {
    switch (message) {
    case WM_SETTEXT:
        text_ = lParam ? *reinterpret_cast<const std::wstring*>(lParam) : std::wstring();
        InvalidateWindow();
        return 1;
    case WM_GETTEXT:
        if (lParam)
            *reinterpret_cast<std::wstring*>(lParam) = text_;
        return static_cast<plat::LRESULT>(text_.size());
    case WM_NCHITTEST:
        return HTCLIENT;
    default:
        return 0;
    }
}

void CSkinWindow::NotifyParent(std::uint32_t code) {
    if (!host_)
        return;
    host_->SendToHost(WM_COMMAND, MakeCommandWord(id_, code), static_cast<plat::LPARAM>(handle_));
}

} // namespace skin
