// CLogic and the notification-area icon of a silent download: shown while
// the window is hidden, its tooltip with the progress, the balloon of a
// finished download (which ends the launcher when clicked or when it times
// out, also where no notification area says so), and its mouse events and
// menu. The icon is drawn into the display's notification area where one
// runs, and kept headless otherwise.

#include "logic/Logic.h"

#include "logic/LangFormat.h"
#include "logic/LauncherMessages.h"
#include "platform/HeadlessPresenter.h"
#include "platform/TrayDock.h"

namespace {

// The tray menu's items.
constexpr std::uint32_t kMenuToggle = kTrayCommandToggle;
constexpr std::uint32_t kMenuExit = kTrayCommandExit;

} // namespace

skin::ITrayIcon& CLogic::Tray() {
    if (trayOverride_)
        return *trayOverride_;
    if (activeTray_)
        return *activeTray_;
    if (!headlessTray_)
        headlessTray_ = std::make_unique<skin::CHeadlessTrayIcon>();
    return *headlessTray_;
}

void CLogic::ChooseTray() {
    activeTray_ = nullptr;
    if (trayOverride_)
        return;
    const bool display =
        dialog_.Presenter() && !dynamic_cast<plat::HeadlessPresenter*>(dialog_.Presenter());
    if (display && !drawnTrayTried_) {
        // One dock per run, made on the window thread when first needed.
        drawnTrayTried_ = true;
        std::wstring why;
        std::unique_ptr<plat::ITrayDock> dock = plat::CreateTrayDock(nullptr, &why);
        plat::Bitmap picture;
        if (dock && skin::LoadTrayPicture(&picture))
            drawnTray_ = std::make_unique<skin::CDrawnTrayIcon>(dialog_.Presenter(),
                                                                std::move(dock), picture);
        else
            Log(L"Tray: no icon on the display (" + why + L")");
    }
    if (drawnTray_ && drawnTray_->AreaPresent()) {
        drawnTray_->SetBalloonTimeout(balloonTimeoutMs_);
        activeTray_ = drawnTray_.get();
        return;
    }
    if (drawnTray_)
        Log(L"Tray: the display has no notification area");
}

void CLogic::ShowTrayIcon(bool show) {
    if (show == trayIconShown_)
        return;
    Log(show ? L"ShowTrayIcon(true);" : L"ShowTrayIcon(false);");
    if (show) {
        ChooseTray();
        Tray().Add(dialog_.Window(), eWindowsMessage_IconTrayCallbackMessage, settings_.fullNameW);
    } else {
        Tray().Remove();
    }
    trayIconShown_ = show;
}

void CLogic::ShowTrayBalloon(bool show) {
    Log(show ? L"ShowTrayBalloon(true);" : L"ShowTrayBalloon(false);");
    if (!show) {
        dialog_.KillTimer(eTimer_BalloonTimeout);
        Tray().Remove();
        trayIconShown_ = false;
        return;
    }
    if (!trayIconShown_)
        ShowTrayIcon(true);
    Tray().ShowBalloon(settings_.fullNameW, GetString(15));
    // Where no notification area reports the balloon's end, this timer does,
    // so that a hidden launcher never stays behind.
    if (!Tray().ReportsBalloonEnd())
        dialog_.SetTimer(eTimer_BalloonTimeout, balloonTimeoutMs_);
}

void CLogic::SetTrayIconTooltip() {
    if (!trayIconShown_)
        return;
    Log(L"SetTrayIconTooltip();");
    Tray().SetTooltip(settings_.fullNameW + L": " + trayText_);
}

void CLogic::ShowTrayProgress(double percent) {
    trayText_ = logic::FormatLangNumber(GetString(logic::kLangTrayProgress), percent);
    SetTrayIconTooltip();
}

void CLogic::OnTrayMessage(plat::LPARAM notification) {
    switch (notification) {
    case skin::kTrayLeftButtonDown:
        ShowMainWindow(!mainWindowVisible_);
        return;
    case skin::kTrayRightButtonDown: {
        std::vector<skin::TrayMenuItem> items = {
            {kMenuToggle, GetString(mainWindowVisible_ ? 11 : 10)},
            {0, {}},
            {kMenuExit, GetString(12)},
        };
        plat::SetForegroundWindow(dialog_.Window());
        Tray().TrackMenu(items);
        plat::PostMessage(dialog_.Window(), plat::WM_NULL, 0, 0);
        return;
    }
    case skin::kTrayBalloonTimeout:
    case skin::kTrayBalloonClick:
        Log(L"eWindowsMessage_IconTrayCallbackMessage: WM_BALLOONCLICK or WM_BALLOONCLOSE - exit");
        ShowTrayBalloon(false);
        FinishAndQuit();
        return;
    default:
        return;
    }
}
