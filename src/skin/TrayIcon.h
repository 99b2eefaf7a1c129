#pragma once
// The launcher's icon in the notification area while it works in the
// background: one icon of the launcher window with a tooltip, a balloon and a
// pop-up menu. Its mouse and balloon events reach the owner window as the
// callback message with the event in lParam (the Windows values below), and
// a chosen menu item as the dialog's command message with the item's id.
// The headless implementation keeps what would be shown, for runs without a
// notification area and for tests, which drive it by posting the events;
// the drawn one (DrawnTrayIcon.h) docks into the display's notification
// area. Window thread only.

#include "platform/Bitmap.h"
#include "platform/Window.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace skin {

// The icon's id, the callback message's wParam.
inline constexpr std::uint64_t kTrayIconId = 1;

// The events of the callback message (lParam).
enum : std::int64_t {
    kTrayLeftButtonDown = 513,  // WM_LBUTTONDOWN
    kTrayRightButtonDown = 516, // WM_RBUTTONDOWN
    kTrayBalloonTimeout = 1028, // NIN_BALLOONTIMEOUT
    kTrayBalloonClick = 1029,   // NIN_BALLOONUSERCLICK
};

// The notification area's text fields, in characters without the
// terminator; longer texts are cut.
inline constexpr std::size_t kTrayTooltipChars = 127;
inline constexpr std::size_t kTrayBalloonTextChars = 255;
inline constexpr std::size_t kTrayBalloonTitleChars = 63;
std::wstring CutTrayText(const std::wstring& text, std::size_t chars);

// The picture the icon shows: the launcher's icon (resource 101) or, where
// the executable carries none, a drawn stand-in (a download arrow on a blue
// tile). False only when neither can be made.
bool LoadTrayPicture(plat::Bitmap* picture);

// One item of the pop-up menu; id 0 is a separator.
struct TrayMenuItem {
    std::uint32_t id = 0;
    std::wstring text;
};

class ITrayIcon {
public:
    virtual ~ITrayIcon() = default;
    // Adds the icon with its tooltip; its events come to `owner` as
    // `callbackMessage`.
    virtual bool Add(plat::HWND owner, std::uint32_t callbackMessage,
                     const std::wstring& tooltip) = 0;
    virtual bool SetTooltip(const std::wstring& tooltip) = 0;
    // An information balloon over the icon.
    virtual bool ShowBalloon(const std::wstring& title, const std::wstring& text) = 0;
    virtual bool Remove() = 0;
    // Opens the menu at the pointer. The item the user chooses arrives later
    // as the owner's command message; leaving the menu chooses nothing.
    virtual void TrackMenu(const std::vector<TrayMenuItem>& items) = 0;
    // True while a shown balloon will report its click or time-out itself;
    // otherwise its owner has to decide when it is gone.
    virtual bool ReportsBalloonEnd() const { return false; }
};

// The icon without a display: it keeps its state and answers a menu with
// the item a test or script chose (none: the menu is left).
class CHeadlessTrayIcon final : public ITrayIcon {
public:
    bool Add(plat::HWND owner, std::uint32_t callbackMessage, const std::wstring& tooltip) override;
    bool SetTooltip(const std::wstring& tooltip) override;
    bool ShowBalloon(const std::wstring& title, const std::wstring& text) override;
    bool Remove() override;
    void TrackMenu(const std::vector<TrayMenuItem>& items) override;

    // The item the next menu answers with (0: none).
    void ChooseFromNextMenu(std::uint32_t id) { menuChoice_ = id; }

    bool Shown() const { return shown_; }
    plat::HWND Owner() const { return owner_; }
    std::uint32_t CallbackMessage() const { return callbackMessage_; }
    const std::wstring& Tooltip() const { return tooltip_; }
    const std::wstring& BalloonTitle() const { return balloonTitle_; }
    const std::wstring& BalloonText() const { return balloonText_; }
    const std::vector<TrayMenuItem>& LastMenu() const { return lastMenu_; }
    int AddCount() const { return adds_; }

private:
    bool shown_ = false;
    plat::HWND owner_ = 0;
    std::uint32_t callbackMessage_ = 0;
    std::wstring tooltip_;
    std::wstring balloonTitle_;
    std::wstring balloonText_;
    std::vector<TrayMenuItem> lastMenu_;
    std::uint32_t menuChoice_ = 0;
    int adds_ = 0;
};

} // namespace skin
