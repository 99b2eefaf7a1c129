#pragma once
// A note beside the notification-area icon: the icon's tooltip (one text)
// or its balloon (a small picture, a bold title and a text wrapped to a
// fixed width), drawn in a popup placed next to the icon, below it when the
// icon sits in the upper half of the screen and above it otherwise, kept
// on the screen. A click on the note is reported through its click
// handler. Window thread only.

#include "platform/Font.h"
#include "skin/SkinPopup.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace skin {

// The colours of the tray's popups (notes and menu).
inline constexpr plat::COLORREF kTrayPopupBack = plat::RGB(38, 42, 53);
inline constexpr plat::COLORREF kTrayPopupFrame = plat::RGB(96, 106, 128);
inline constexpr plat::COLORREF kTrayPopupInk = plat::RGB(232, 235, 242);
inline constexpr plat::COLORREF kTrayPopupHighlight = plat::RGB(58, 98, 170);

// The font of the tray's popups (bold for titles).
std::shared_ptr<const plat::Font> TrayPopupFont(bool bold);

class CTrayNote {
public:
    static constexpr int kPadding = 8;
    static constexpr int kGap = 4; // between the icon and the note
    static constexpr int kPictureSide = 16;

    // `maxWidth`: the widest the note becomes; longer lines wrap.
    explicit CTrayNote(int maxWidth);
    CTrayNote(const CTrayNote&) = delete;
    CTrayNote& operator=(const CTrayNote&) = delete;

    void SetOnClick(std::function<void()> onClick) { onClick_ = std::move(onClick); }

    // Shows the note beside `anchor` (screen), with an optional title and
    // picture. False when the presenter cannot show it.
    bool Show(plat::IPresenter* presenter, const plat::Rect& anchor, const std::wstring& title,
              const std::wstring& text, const plat::Bitmap* picture);
    void Hide() { popup_.Hide(); }
    bool IsShown() const { return popup_.IsShown(); }
    plat::Rect Bounds() const { return popup_.Bounds(); }
    const std::vector<std::wstring>& Lines() const { return lines_; }

    // Where a note of `size` goes beside `anchor` on a screen of `screen`.
    static plat::Rect Place(const plat::Rect& anchor, plat::Size size, plat::Size screen);

private:
    plat::Size Measure() const;
    void Paint(plat::Canvas& canvas);

    int maxWidth_;
    std::shared_ptr<const plat::Font> font_;
    std::shared_ptr<const plat::Font> titleFont_;
    std::wstring title_;
    std::vector<std::wstring> lines_;
    plat::Bitmap picture_;
    std::function<void()> onClick_;
    CSkinPopup popup_;
};

} // namespace skin
