#include "skin/DrawnTrayIcon.h"

#include "skin/Dialog.h"

namespace skin {

CDrawnTrayIcon::CDrawnTrayIcon(plat::IPresenter* presenter, std::unique_ptr<plat::ITrayDock> dock,
                               plat::Bitmap picture)
    : presenter_(presenter), dock_(std::move(dock)), picture_(std::move(picture)) {
    window_ = plat::CreateWindow(L"TrayIconWindow", std::wstring(), this, true);
    if (!picture_.IsEmpty() &&
        smallPicture_.Create(CTrayNote::kPictureSide, CTrayNote::kPictureSide)) {
        plat::Canvas canvas(&smallPicture_);
        plat::StretchBlt(canvas, 0, 0, CTrayNote::kPictureSide, CTrayNote::kPictureSide, picture_,
                         0, 0, picture_.Width(), picture_.Height());
    }
    balloonNote_.SetOnClick([this] { EndBalloon(kTrayBalloonClick); });
    tooltipNote_.SetOnClick([this] { HideTooltip(); });
}

CDrawnTrayIcon::~CDrawnTrayIcon() {
    Remove();
    if (window_)
        plat::DestroyWindow(window_);
}

void CDrawnTrayIcon::Notify(std::int64_t event) const {
    plat::PostMessage(owner_, callbackMessage_, kTrayIconId, event);
}

bool CDrawnTrayIcon::Add(plat::HWND owner, std::uint32_t callbackMessage,
                         const std::wstring& tooltip) {
    if (shown_ || !window_)
        return false;
    owner_ = owner;
    callbackMessage_ = callbackMessage;
    tooltip_ = CutTrayText(tooltip, kTrayTooltipChars);
    if (!dock_->Show(window_, picture_))
        return false;
    shown_ = true;
    return true;
}

bool CDrawnTrayIcon::SetTooltip(const std::wstring& tooltip) {
    if (!shown_)
        return false;
    tooltip_ = CutTrayText(tooltip, kTrayTooltipChars);
    if (tooltipNote_.IsShown())
        ShowTooltip();
    return true;
}

bool CDrawnTrayIcon::ShowBalloon(const std::wstring& title, const std::wstring& text) {
    if (!shown_)
        return false;
    if (!dock_->IsDocked())
        return true; // nowhere to show it: the owner decides when it is gone
    HideTooltip();
    if (!balloonNote_.Show(presenter_, dock_->IconBounds(),
                           CutTrayText(title, kTrayBalloonTitleChars),
                           CutTrayText(text, kTrayBalloonTextChars), &smallPicture_))
        return false;
    balloonShown_ = true;
    plat::SetTimer(window_, kBalloonTimer, balloonMs_);
    return true;
}

bool CDrawnTrayIcon::Remove() {
    if (!shown_)
        return false;
    shown_ = false;
    EndBalloon(0);
    HideTooltip();
    menu_.Close();
    dock_->Hide();
    return true;
}

void CDrawnTrayIcon::TrackMenu(const std::vector<TrayMenuItem>& items) {
    if (!shown_)
        return;
    HideTooltip();
    menu_.Open(presenter_, owner_, CDialog::kCommandMessage, items, presenter_->CursorPosition());
}

void CDrawnTrayIcon::ShowTooltip() {
    if (tooltip_.empty() || !dock_->IsDocked()) {
        tooltipNote_.Hide();
        return;
    }
    tooltipNote_.Show(presenter_, dock_->IconBounds(), std::wstring(), tooltip_, nullptr);
}

void CDrawnTrayIcon::HideTooltip() {
    if (hoverWaiting_) {
        plat::KillTimer(window_, kHoverTimer);
        hoverWaiting_ = false;
    }
    tooltipNote_.Hide();
}

void CDrawnTrayIcon::EndBalloon(std::int64_t event) {
    if (!balloonShown_)
        return;
    balloonShown_ = false;
    plat::KillTimer(window_, kBalloonTimer);
    balloonNote_.Hide();
    if (event != 0)
        Notify(event);
}

plat::LRESULT CDrawnTrayIcon::HandleWindowMessage(plat::HWND, std::uint32_t message,
                                                  plat::WPARAM wParam, plat::LPARAM,
                                                  const plat::CopyData*) {
    if (!shown_)
        return 0;
    switch (message) {
    case plat::WM_MOUSEMOVE:
        // The tooltip waits for the pointer to rest; not over a balloon or
        // an open menu.
        if (!tooltipNote_.IsShown() && !hoverWaiting_ && !balloonShown_ && !menu_.IsOpen())
            hoverWaiting_ = plat::SetTimer(window_, kHoverTimer, kHoverMs) != 0;
        break;
    case plat::WM_MOUSELEAVE:
        HideTooltip();
        break;
    case plat::WM_LBUTTONDOWN:
        HideTooltip();
        Notify(kTrayLeftButtonDown);
        break;
    case plat::WM_RBUTTONDOWN:
        HideTooltip();
        Notify(kTrayRightButtonDown);
        break;
    case plat::WM_TIMER:
        if (wParam == kHoverTimer) {
            plat::KillTimer(window_, kHoverTimer);
            hoverWaiting_ = false;
            ShowTooltip();
        } else if (wParam == kBalloonTimer) {
            EndBalloon(kTrayBalloonTimeout);
        }
        break;
    case plat::WM_TRAYDOCKCHANGED:
        if (wParam == 0) {
            // The notification area went: what was shown beside it goes too.
            HideTooltip();
            EndBalloon(kTrayBalloonTimeout);
        }
        break;
    default:
        break;
    }
    return 0;
}

} // namespace skin
