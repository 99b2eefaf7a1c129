#pragma once
// The notification-area icon's pop-up menu: its items drawn in a popup at
// the pointer (flipped to stay on the screen), the item under the pointer
// highlighted. It holds the mouse and the keyboard while open: a left
// click on an item (or Return on the highlighted one) chooses it and posts
// the owner's command message with its id; a click outside, Escape or a
// lost capture closes it with no choice. Window thread only.

#include "skin/SkinPopup.h"
#include "skin/TrayIcon.h"

#include <memory>
#include <vector>

namespace skin {

class CTrayMenu {
public:
    static constexpr int kItemPaddingX = 18;
    static constexpr int kItemPaddingY = 4;
    static constexpr int kSeparatorHeight = 7;
    // While the popup is not on screen yet, taking the mouse and the
    // keyboard is retried at this pace, this many times.
    static constexpr std::uint64_t kGrabTimer = 1;
    static constexpr unsigned kGrabRetryMs = 30;
    static constexpr int kGrabTries = 60;

    CTrayMenu();
    ~CTrayMenu();
    CTrayMenu(const CTrayMenu&) = delete;
    CTrayMenu& operator=(const CTrayMenu&) = delete;

    // Opens the menu with its top-left corner at `at` (screen); the choice
    // goes to `owner` as `commandMessage`. A menu still open closes first.
    bool Open(plat::IPresenter* presenter, plat::HWND owner, std::uint32_t commandMessage,
              const std::vector<TrayMenuItem>& items, plat::Point at);
    // Closes without a choice.
    void Close();
    bool IsOpen() const { return open_; }
    plat::Rect Bounds() const { return popup_.Bounds(); }
    // Each item's rectangle in the popup (separators included).
    const std::vector<plat::Rect>& ItemRects() const { return rects_; }
    int Highlighted() const { return highlighted_; }

private:
    void Layout();
    void OnMessage(std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam);
    void Grab();
    int ItemAt(int x, int y) const;
    void Highlight(int index);
    void MoveHighlight(int step);
    void Choose(int index);
    void Paint(plat::Canvas& canvas);

    std::shared_ptr<const plat::Font> font_;
    std::vector<TrayMenuItem> items_;
    std::vector<plat::Rect> rects_;
    plat::Size size_;
    plat::HWND owner_ = 0;
    std::uint32_t commandMessage_ = 0;
    bool open_ = false;
    bool grabbed_ = false;
    int grabTries_ = 0;
    int highlighted_ = -1;
    CSkinPopup popup_;
};

} // namespace skin
