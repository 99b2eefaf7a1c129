#include "skin/TrayMenu.h"

#include "skin/TrayNote.h"

#include <algorithm>

namespace skin {

CTrayMenu::CTrayMenu() : font_(TrayPopupFont(false)) {
    popup_.Create([this](plat::Canvas& canvas) { Paint(canvas); },
                  [this](std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam) {
                      OnMessage(message, wParam, lParam);
                  });
}

CTrayMenu::~CTrayMenu() {
    if (popup_.Handle())
        plat::KillTimer(popup_.Handle(), kGrabTimer);
}

void CTrayMenu::Layout() {
    rects_.clear();
    const int lineHeight = font_->Metrics().height;
    int width = 0;
    for (const TrayMenuItem& item : items_)
        if (item.id != 0)
            width = std::max(width, font_->TextExtent(item.text).cx);
    width += 2 * kItemPaddingX;
    int y = 1;
    for (const TrayMenuItem& item : items_) {
        const int height = item.id == 0 ? kSeparatorHeight : lineHeight + 2 * kItemPaddingY;
        rects_.push_back(plat::Rect{1, y, 1 + width, y + height});
        y += height;
    }
    size_ = plat::Size{width + 2, y + 1};
}

bool CTrayMenu::Open(plat::IPresenter* presenter, plat::HWND owner, std::uint32_t commandMessage,
                     const std::vector<TrayMenuItem>& items, plat::Point at) {
    Close();
    if (!presenter || !font_ || items.empty() || !popup_.Handle())
        return false;
    items_ = items;
    owner_ = owner;
    commandMessage_ = commandMessage;
    Layout();
    // At the pointer, opening up and to the left where the screen ends.
    const plat::Size screen = presenter->ScreenSize();
    int x = at.x + size_.cx <= screen.cx ? at.x : at.x - size_.cx;
    int y = at.y + size_.cy <= screen.cy ? at.y : at.y - size_.cy;
    x = std::max(0, x);
    y = std::max(0, y);
    highlighted_ = -1;
    if (!popup_.Show(presenter, plat::Rect::FromSize(x, y, size_.cx, size_.cy)))
        return false;
    open_ = true;
    grabbed_ = false;
    grabTries_ = 0;
    Grab();
    return true;
}

void CTrayMenu::Grab() {
    if (!open_ || grabbed_)
        return;
    plat::ISurface* surface = popup_.Surface();
    const bool mouse = popup_.HasCapture() || popup_.SetCapture();
    const bool keyboard = mouse && surface && surface->SetFocus();
    grabbed_ = mouse && keyboard;
    if (grabbed_) {
        plat::KillTimer(popup_.Handle(), kGrabTimer);
        return;
    }
    // The popup is not on screen yet, or another client still holds the
    // pointer (the button that opened the menu): try again shortly.
    if (++grabTries_ <= kGrabTries)
        plat::SetTimer(popup_.Handle(), kGrabTimer, kGrabRetryMs);
    else
        Close();
}

void CTrayMenu::Close() {
    if (!open_)
        return;
    open_ = false;
    plat::KillTimer(popup_.Handle(), kGrabTimer);
    popup_.Hide();
}

int CTrayMenu::ItemAt(int x, int y) const {
    for (std::size_t i = 0; i < rects_.size(); ++i)
        if (items_[i].id != 0 && rects_[i].Contains(x, y))
            return static_cast<int>(i);
    return -1;
}

void CTrayMenu::Highlight(int index) {
    if (index == highlighted_)
        return;
    highlighted_ = index;
    popup_.Invalidate();
}

void CTrayMenu::MoveHighlight(int step) {
    const int count = static_cast<int>(items_.size());
    int index = highlighted_;
    for (int tries = 0; tries < count; ++tries) {
        index = index < 0 ? (step > 0 ? 0 : count - 1) : (index + step + count) % count;
        if (items_[static_cast<std::size_t>(index)].id != 0) {
            Highlight(index);
            return;
        }
    }
}

void CTrayMenu::Choose(int index) {
    if (index < 0 || index >= static_cast<int>(items_.size()))
        return;
    const std::uint32_t id = items_[static_cast<std::size_t>(index)].id;
    Close();
    if (id != 0)
        plat::PostMessage(owner_, commandMessage_, id, 0);
}

void CTrayMenu::OnMessage(std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam) {
    if (!open_)
        return;
    const int x = plat::PointParamX(lParam), y = plat::PointParamY(lParam);
    const bool inside = x >= 0 && y >= 0 && x < size_.cx && y < size_.cy;
    switch (message) {
    case plat::WM_TIMER:
        if (wParam == kGrabTimer)
            Grab();
        return;
    case plat::WM_MOUSEMOVE:
        Highlight(inside ? ItemAt(x, y) : -1);
        return;
    case plat::WM_LBUTTONDOWN:
    case plat::WM_RBUTTONDOWN:
    case plat::WM_MBUTTONDOWN:
        if (!inside)
            Close();
        return;
    case plat::WM_LBUTTONUP:
        if (inside)
            Choose(ItemAt(x, y));
        return;
    case plat::WM_KEYDOWN:
        if (wParam == plat::VK_ESCAPE)
            Close();
        else if (wParam == plat::VK_UP)
            MoveHighlight(-1);
        else if (wParam == plat::VK_DOWN)
            MoveHighlight(1);
        else if (wParam == plat::VK_RETURN)
            Choose(highlighted_);
        return;
    case plat::WM_CAPTURECHANGED:
        // Another window took the mouse: the menu is left. (The notice of
        // an earlier menu's release may arrive while this one holds it.)
        if (grabbed_ && !popup_.HasCapture())
            Close();
        return;
    default:
        return;
    }
}

void CTrayMenu::Paint(plat::Canvas& canvas) {
    const plat::Rect all{0, 0, size_.cx, size_.cy};
    plat::FillRect(canvas, all, kTrayPopupFrame);
    plat::FillRect(canvas, plat::Rect{1, 1, all.right - 1, all.bottom - 1}, kTrayPopupBack);
    canvas.SelectFont(font_);
    canvas.SetTextColor(kTrayPopupInk);
    canvas.SetBkMode(plat::TRANSPARENT);
    for (std::size_t i = 0; i < items_.size(); ++i) {
        const plat::Rect& rect = rects_[i];
        if (items_[i].id == 0) {
            const int middle = rect.top + rect.Height() / 2;
            plat::FillRect(canvas, plat::Rect{rect.left + 4, middle, rect.right - 4, middle + 1},
                           kTrayPopupFrame);
            continue;
        }
        if (static_cast<int>(i) == highlighted_)
            plat::FillRect(canvas, rect, kTrayPopupHighlight);
        plat::Rect text{rect.left + kItemPaddingX, rect.top, rect.right - kItemPaddingX,
                        rect.bottom};
        plat::DrawText(canvas, items_[i].text, &text,
                       plat::DT_LEFT | plat::DT_VCENTER | plat::DT_SINGLELINE | plat::DT_NOPREFIX);
    }
}

} // namespace skin
