#pragma once
// The launcher's icon in the display's notification area, with the tooltip,
// balloon and menu drawn by the launcher itself: the platform's dock holds
// the icon window and reports the pointer over it; this class turns that
// into the callback message (left and right button down), shows the tooltip
// once the pointer rests on the icon and hides it when the pointer leaves,
// shows the balloon beside the icon (a click reports 1029, its time-out
// 1028) and opens the menu at the pointer. When the notification area goes
// away the icon waits for the next one, and a balloon then showing counts
// as timed out. Window thread only.

#include "platform/Presenter.h"
#include "platform/TrayDock.h"
#include "skin/TrayIcon.h"
#include "skin/TrayMenu.h"
#include "skin/TrayNote.h"

#include <memory>

namespace skin {

class CDrawnTrayIcon final : public ITrayIcon, private plat::IWindowHandler {
public:
    // How long the pointer rests on the icon before the tooltip shows.
    static constexpr unsigned kHoverMs = 500;
    // How long a balloon stays unless it is clicked.
    static constexpr unsigned kBalloonMs = 10000;
    static constexpr std::uint64_t kHoverTimer = 1;
    static constexpr std::uint64_t kBalloonTimer = 2;
    static constexpr int kTooltipWidth = 320;
    static constexpr int kBalloonWidth = 300;

    // Popups go through `presenter`; `picture` is what the icon shows.
    CDrawnTrayIcon(plat::IPresenter* presenter, std::unique_ptr<plat::ITrayDock> dock,
                   plat::Bitmap picture);
    ~CDrawnTrayIcon() override;
    CDrawnTrayIcon(const CDrawnTrayIcon&) = delete;
    CDrawnTrayIcon& operator=(const CDrawnTrayIcon&) = delete;

    bool Add(plat::HWND owner, std::uint32_t callbackMessage, const std::wstring& tooltip) override;
    bool SetTooltip(const std::wstring& tooltip) override;
    bool ShowBalloon(const std::wstring& title, const std::wstring& text) override;
    bool Remove() override;
    void TrackMenu(const std::vector<TrayMenuItem>& items) override;
    bool ReportsBalloonEnd() const override { return balloonShown_; }

    // How long the next balloons stay unless clicked.
    void SetBalloonTimeout(unsigned ms) { balloonMs_ = ms; }
    // Whether a notification area runs on the display now.
    bool AreaPresent() { return dock_->AreaPresent(); }
    // For tests and logs.
    bool IsShown() const { return shown_; }
    bool IsDocked() const { return dock_->IsDocked(); }
    plat::Rect IconBounds() const { return dock_->IconBounds(); }
    std::uint64_t NativeId() const { return dock_->NativeId(); }
    const std::wstring& Tooltip() const { return tooltip_; }
    const CTrayNote& TooltipNote() const { return tooltipNote_; }
    const CTrayNote& BalloonNote() const { return balloonNote_; }
    const CTrayMenu& Menu() const { return menu_; }

private:
    plat::LRESULT HandleWindowMessage(plat::HWND window, std::uint32_t message, plat::WPARAM wParam,
                                      plat::LPARAM lParam, const plat::CopyData* copyData) override;
    void Notify(std::int64_t event) const;
    void ShowTooltip();
    void HideTooltip();
    // The balloon went: hides it and reports `event` (none for 0).
    void EndBalloon(std::int64_t event);

    plat::IPresenter* presenter_;
    std::unique_ptr<plat::ITrayDock> dock_;
    plat::Bitmap picture_;
    plat::Bitmap smallPicture_; // the balloon's
    plat::HWND window_ = 0;     // takes the dock's input and the timers
    bool shown_ = false;
    plat::HWND owner_ = 0;
    std::uint32_t callbackMessage_ = 0;
    std::wstring tooltip_;
    bool hoverWaiting_ = false;
    bool balloonShown_ = false;
    unsigned balloonMs_ = kBalloonMs;
    CTrayNote tooltipNote_{kTooltipWidth};
    CTrayNote balloonNote_{kBalloonWidth};
    CTrayMenu menu_;
};

} // namespace skin
