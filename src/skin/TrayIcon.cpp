#include "skin/TrayIcon.h"

#include "skin/Dialog.h"

namespace skin {

std::wstring CutTrayText(const std::wstring& text, std::size_t chars) {
    return text.size() <= chars ? text : text.substr(0, chars);
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
