#include "skin/TrayIcon.h"

#include "platform/Canvas.h"
#include "platform/Resources.h"
#include "skin/Dialog.h"
#include "skin/SkinImage.h"

namespace skin {

std::wstring CutTrayText(const std::wstring& text, std::size_t chars) {
    return text.size() <= chars ? text : text.substr(0, chars);
}

bool LoadTrayPicture(plat::Bitmap* picture) {
    plat::ResourceData icon;
    if (plat::FindResource("ICON", 101, &icon) && DecodeImage(icon.data, icon.size, true, picture))
        return true;
    // The stand-in, drawn on a 32-pixel grid: a tile with cut corners and a
    // downward arrow over a base line.
    constexpr int kSide = 32;
    if (!picture->Create(kSide, kSide))
        return false;
    plat::Canvas canvas(picture);
    const plat::COLORREF tile = plat::RGB(40, 110, 200);
    const plat::COLORREF ink = plat::RGB(255, 255, 255);
    plat::FillRect(canvas, plat::Rect{2, 1, kSide - 2, kSide - 1}, tile);
    plat::FillRect(canvas, plat::Rect{1, 2, kSide - 1, kSide - 2}, tile);
    plat::FillRect(canvas, plat::Rect{14, 6, 18, 18}, ink);
    for (int row = 0; row < 7; ++row)
        plat::FillRect(canvas, plat::Rect{9 + row, 16 + row, 23 - row, 17 + row}, ink);
    plat::FillRect(canvas, plat::Rect{8, 25, 24, 27}, ink);
    return true;
}

bool CHeadlessTrayIcon::Add(plat::HWND owner, std::uint32_t callbackMessage,
                            const std::wstring& tooltip) {
    if (shown_)
        return false; // the shell refuses a second icon of the same id
    shown_ = true;
    ++adds_;
    owner_ = owner;
    callbackMessage_ = callbackMessage;
    tooltip_ = CutTrayText(tooltip, kTrayTooltipChars);
    balloonTitle_.clear();
    balloonText_.clear();
    return true;
}

bool CHeadlessTrayIcon::SetTooltip(const std::wstring& tooltip) {
    if (!shown_)
        return false;
    tooltip_ = CutTrayText(tooltip, kTrayTooltipChars);
    return true;
}

bool CHeadlessTrayIcon::ShowBalloon(const std::wstring& title, const std::wstring& text) {
    if (!shown_)
        return false;
    balloonTitle_ = CutTrayText(title, kTrayBalloonTitleChars);
    balloonText_ = CutTrayText(text, kTrayBalloonTextChars);
    return true;
}

bool CHeadlessTrayIcon::Remove() {
    if (!shown_)
        return false;
    shown_ = false;
    tooltip_.clear();
    balloonTitle_.clear();
    balloonText_.clear();
    return true;
}

void CHeadlessTrayIcon::TrackMenu(const std::vector<TrayMenuItem>& items) {
    lastMenu_ = items;
    const std::uint32_t choice = menuChoice_;
    menuChoice_ = 0;
    if (choice == 0 || !shown_)
        return;
    for (const TrayMenuItem& item : items) {
        if (item.id == choice) {
            plat::PostMessage(owner_, CDialog::kCommandMessage, choice, 0);
            return;
        }
    }
}

} // namespace skin
