// The dialog's routing of the mouse and the keyboard to its control
// windows: which window is under the pointer (its hit test may let the
// point through), the mouse capture, leave tracking, tooltips, the focus,
// Tab between tab stops, and the background drag that moves the window.

#include "skin/Dialog.h"

#include "skin/SkinMessages.h"
#include "skin/SkinToolTip.h"
#include "skin/SkinWindow.h"

#include <algorithm>
#include <utility>

using skin::CSkinWindow;

plat::Point CDialog::CursorPosition() const {
    if (!presenter_ || !surface_)
        return plat::Point{};
    const plat::Point cursor = presenter_->CursorPosition();
    const plat::Rect bounds = surface_->Bounds();
    return plat::Point{cursor.x - bounds.left, cursor.y - bounds.top};
}

plat::Point CDialog::ClientToScreen(plat::Point point) const {
    const plat::Rect bounds = surface_ ? surface_->Bounds() : plat::Rect{};
    return plat::Point{point.x + bounds.left, point.y + bounds.top};
}

CSkinWindow* CDialog::WindowFromPoint(plat::Point point) const {
    // Later windows lie above earlier ones; a window whose hit test lets the
    // point through leaves it to the windows below and finally the dialog.
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
        CSkinWindow* child = *it;
        if (!child->IsWindowVisible() || !child->WindowRect().Contains(point.x, point.y))
            continue;
        const plat::Point inside = child->FromHost(point);
        if (child->Send(skin::WM_NCHITTEST, 0, plat::MakePointParam(inside.x, inside.y)) !=
            skin::HTTRANSPARENT)
            return child;
    }
    return nullptr;
}

bool CDialog::CaptureMouse(CSkinWindow* window) {
    if (capture_ == window)
        return true;
    CSkinWindow* previous = capture_;
    capture_ = window;
    if (previous)
        previous->Send(plat::WM_CAPTURECHANGED);
    captureFlag_ = true;
    if (surface_)
        surface_->SetCapture();
    return true;
}

bool CDialog::ReleaseMouse(CSkinWindow* window) {
    if (capture_ != window || !window)
        return false;
    capture_ = nullptr;
    if (surface_)
        surface_->ReleaseCapture();
    window->Send(plat::WM_CAPTURECHANGED);
    return true;
}

void CDialog::OnCaptureChanged() {
    // The surface lost the mouse to someone else (a popup, the window
    // manager): the control that held it is told.
    if (!capture_ || (surface_ && surface_->HasCapture()))
        return;
    CSkinWindow* lost = std::exchange(capture_, nullptr);
    lost->Send(plat::WM_CAPTURECHANGED);
}

void CDialog::FocusWindow(CSkinWindow* window) {
    if (window == focus_)
        return;
    CSkinWindow* previous = std::exchange(focus_, window);
    if (previous)
        previous->Send(plat::WM_KILLFOCUS);
    if (window)
        window->Send(plat::WM_SETFOCUS);
}

bool CDialog::TrackMouseLeave(CSkinWindow* window) {
    if (!window)
        return false;
    if (tracked_ && tracked_ != window)
        std::exchange(tracked_, nullptr)->Send(plat::WM_MOUSELEAVE);
    tracked_ = window;
    return true;
}

void CDialog::CancelMouseLeave(CSkinWindow* window) {
    if (tracked_ == window)
        tracked_ = nullptr;
}

void CDialog::OnVisibleFlagChanged(CSkinWindow* window, bool visible) {
    auto it = childForm_.find(window);
    if (it != childForm_.end() && it->second == currentStep_)
        window->ShowWindow(visible);
}

void CDialog::UpdatePointer(CSkinWindow* under) {
    if (tracked_ && tracked_ != under)
        std::exchange(tracked_, nullptr)->Send(plat::WM_MOUSELEAVE);
    for (const auto& tip : toolTips_)
        tip->OnPointerOver(under);
}

bool CDialog::RouteMouse(std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam) {
    const plat::Point point{plat::PointParamX(lParam), plat::PointParamY(lParam)};
    CSkinWindow* under = WindowFromPoint(point);
    UpdatePointer(under);
    if (message != plat::WM_MOUSEMOVE)
        for (const auto& tip : toolTips_)
            tip->Hide();
    CSkinWindow* target = capture_ ? capture_ : under;
    if (target) {
        const plat::Point inside = target->FromHost(point);
        target->Send(message, wParam, plat::MakePointParam(inside.x, inside.y));
        return true;
    }
    if (message == plat::WM_LBUTTONDOWN || message == skin::WM_LBUTTONDBLCLK) {
        // A press on the background moves the window, as a caption would.
        if (surface_) {
            surface_->ReleaseCapture();
            surface_->BeginMoveDrag();
        }
        return true;
    }
    return false;
}

void CDialog::RouteWheel(plat::WPARAM wParam, plat::LPARAM lParam) {
    // The wheel goes to the window under the pointer when it scrolls, else
    // to the window with the focus.
    const plat::Point point = surface_
                                  ? plat::Point{plat::PointParamX(lParam) - surface_->Bounds().left,
                                                plat::PointParamY(lParam) - surface_->Bounds().top}
                                  : plat::Point{};
    CSkinWindow* under = WindowFromPoint(point);
    if (under && under->Send(plat::WM_MOUSEWHEEL, wParam, lParam) != 0)
        return;
    if (focus_ && focus_ != under && focus_->IsWindowVisible())
        focus_->Send(plat::WM_MOUSEWHEEL, wParam, lParam);
}

void CDialog::MoveFocus(bool backwards) {
    std::vector<CSkinWindow*> stops;
    for (CSkinWindow* child : children_)
        if (child->IsWindowVisible() && child->IsTabStop())
            stops.push_back(child);
    if (stops.empty())
        return;
    auto at = std::find(stops.begin(), stops.end(), focus_);
    std::size_t index = 0;
    if (at == stops.end())
        index = backwards ? stops.size() - 1 : 0;
    else if (backwards)
        index = (static_cast<std::size_t>(at - stops.begin()) + stops.size() - 1) % stops.size();
    else
        index = (static_cast<std::size_t>(at - stops.begin()) + 1) % stops.size();
    FocusWindow(stops[index]);
}

void CDialog::RouteKey(std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam) {
    if (wParam == plat::VK_SHIFT && message != plat::WM_CHAR)
        shiftDown_ = message == plat::WM_KEYDOWN;
    CSkinWindow* target = focus_ && focus_->IsWindowVisible() ? focus_ : nullptr;
    if (target && target->Send(message, wParam, lParam) != 0)
        return;
    if (message != plat::WM_KEYDOWN)
        return;
    if (wParam == plat::VK_TAB)
        MoveFocus(shiftDown_);
    else if (wParam == plat::VK_ESCAPE)
        OnCommand(skin::IDCANCEL, 0);
}
