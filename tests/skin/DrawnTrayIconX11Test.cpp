// The drawn notification-area icon on a virtual X server with the tests'
// own tray: it docks and shows its picture, real clicks reach the owner as
// the callback message, the tooltip follows the resting pointer, the balloon
// reports its click or its time-out, the menu chooses an item or none, and
// without a tray the icon waits and leaves the balloon's end to its owner.
// Screenshots of each go to the test artefacts.

#include "skin/DrawnTrayIcon.h"

#include "SkinTestSupport.h"
#include "platform/PngFile.h"
#include "platform/Unicode.h"
#include "skin/Dialog.h"
#include "support/HermeticFonts.h"
#include "support/ScopedEnv.h"
#include "support/TestTrayManager.h"
#include "support/XvfbServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace skintest {
namespace {

constexpr std::uint32_t kCallback = 2725;
constexpr plat::Rect kTrayArea{340, 0, 640, 32};

// The owner window: records the callback events and the commands. Test
// thread.
class Owner final : public plat::IWindowHandler {
public:
    plat::LRESULT HandleWindowMessage(plat::HWND, std::uint32_t message, plat::WPARAM wParam,
                                      plat::LPARAM lParam, const plat::CopyData*) override {
        if (message == kCallback) {
            EXPECT_EQ(wParam, skin::kTrayIconId);
            events.push_back(lParam);
        } else if (message == CDialog::kCommandMessage) {
            commands.push_back(wParam);
        }
        return 0;
    }
    std::vector<plat::LPARAM> events;
    std::vector<plat::WPARAM> commands;
};

bool WaitFor(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        PumpFor(5);
    }
    return true;
}

class DrawnTrayIconTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testsupport::XvfbServer::Installed())
            GTEST_SKIP() << "Xvfb is not installed";
        testsupport::UseHermeticFonts();
        Pump();
        server_ = std::make_unique<testsupport::XvfbServer>(640, 400);
        ASSERT_TRUE(server_->Ready()) << "Xvfb did not start";
        ASSERT_EQ(server_->Run("xdotool mousemove 20 300"), 0);
        display_ = std::make_unique<testsupport::ScopedEnv>("DISPLAY", server_->Display());
        std::wstring why;
        presenter_ = plat::CreatePresenter(&why);
        ASSERT_STREQ(presenter_->Name(), "x11") << plat::WideToUtf8(why);
        tray_ = std::make_unique<testsupport::TestTrayManager>(server_->Display(), kTrayArea);
        owner_ = plat::CreateWindow(L"TrayTestOwner", L"", &handler_, true);
        ASSERT_NE(owner_, 0u);
        auto dock = plat::CreateTrayDock(nullptr, &why);
        ASSERT_TRUE(dock) << plat::WideToUtf8(why);
        plat::Bitmap picture;
        ASSERT_TRUE(skin::LoadTrayPicture(&picture));
        icon_ = std::make_unique<skin::CDrawnTrayIcon>(presenter_.get(), std::move(dock), picture);
    }
    void TearDown() override {
        icon_.reset();
        tray_.reset();
        if (owner_)
            plat::DestroyWindow(owner_);
        presenter_.reset();
        Pump();
    }

    // Shows the icon in a running tray.
    void Dock(const std::wstring& tooltip) {
        ASSERT_TRUE(tray_->Start());
        ASSERT_TRUE(icon_->Add(owner_, kCallback, tooltip));
        ASSERT_TRUE(WaitFor([&] { return icon_->IsDocked() && !icon_->IconBounds().IsEmpty(); }));
    }
    std::string At(plat::Point point) const {
        return std::to_string(point.x) + " " + std::to_string(point.y);
    }
    plat::Point IconCentre() const {
        const plat::Rect icon = icon_->IconBounds();
        return plat::Point{icon.left + icon.Width() / 2, icon.top + icon.Height() / 2};
    }
    // The top of the screen, where the tray and its popups are, enlarged
    // twice for a person to look at.
    void SaveShot(const std::string& name) {
        PumpFor(300); // the server shows what was put
        plat::Bitmap screen;
        ASSERT_TRUE(presenter_->CaptureScreen(&screen));
        const plat::Rect area{240, 0, 640, 200};
        plat::Bitmap shot;
        ASSERT_TRUE(shot.Create(area.Width() * 2, area.Height() * 2));
        plat::Canvas canvas(&shot);
        plat::StretchBlt(canvas, 0, 0, shot.Width(), shot.Height(), screen, area.left, area.top,
                         area.Width(), area.Height());
        EXPECT_TRUE(plat::SavePng(shot, plat::Utf8ToWide(ArtefactFolder() + "/" + name)));
    }
    // Whether the screen shows the popups' frame colour inside `bounds`.
    bool ShowsPopup(const plat::Rect& bounds) {
        plat::Bitmap screen;
        if (bounds.IsEmpty() || !presenter_->CaptureScreen(&screen))
            return false;
        const std::uint32_t frame = 0xFF000000u | (96u << 16) | (106u << 8) | 128u;
        return screen.Pixel(bounds.left, bounds.top) == frame &&
               screen.Pixel(bounds.right - 1, bounds.bottom - 1) == frame;
    }

    std::unique_ptr<testsupport::XvfbServer> server_;
    std::unique_ptr<testsupport::ScopedEnv> display_;
    std::unique_ptr<plat::IPresenter> presenter_;
    std::unique_ptr<testsupport::TestTrayManager> tray_;
    Owner handler_;
    plat::HWND owner_ = 0;
    std::unique_ptr<skin::CDrawnTrayIcon> icon_;
};

TEST_F(DrawnTrayIconTest, DocksAndTakesRealClicksAsTheCallbackMessage) {
    Dock(L"Demo Game");
    EXPECT_EQ(tray_->Requests(), 1);
    // A second icon of the same id is refused.
    EXPECT_FALSE(icon_->Add(owner_, kCallback, L"again"));
    SaveShot("tray-icon-docked.png");

    ASSERT_EQ(server_->Run("xdotool mousemove " + At(IconCentre()) + " click 1"), 0);
    ASSERT_TRUE(WaitFor([&] { return handler_.events.size() == 1; }));
    ASSERT_EQ(server_->Run("xdotool click 3"), 0);
    ASSERT_TRUE(WaitFor([&] { return handler_.events.size() == 2; }));
    EXPECT_EQ(handler_.events,
              (std::vector<plat::LPARAM>{skin::kTrayLeftButtonDown, skin::kTrayRightButtonDown}));

    // Removed, it leaves the tray and reports nothing more.
    ASSERT_TRUE(icon_->Remove());
    EXPECT_FALSE(icon_->Remove());
    ASSERT_TRUE(WaitFor([&] { return tray_->Icons().empty(); }));
    EXPECT_FALSE(icon_->SetTooltip(L"late"));
    EXPECT_FALSE(icon_->ShowBalloon(L"late", L"late"));
}

TEST_F(DrawnTrayIconTest, TooltipShowsWhileThePointerRestsAndFollowsItsText) {
    Dock(std::wstring(200, L'x'));
    EXPECT_EQ(icon_->Tooltip(), std::wstring(skin::kTrayTooltipChars, L'x'));
    ASSERT_TRUE(icon_->SetTooltip(L"Demo Game: Downloading 42.5%"));
    ASSERT_EQ(server_->Run("xdotool mousemove " + At(IconCentre())), 0);
    ASSERT_TRUE(WaitFor([&] { return icon_->TooltipNote().IsShown(); }));
    const plat::Rect tip = icon_->TooltipNote().Bounds();
    const plat::Rect icon = icon_->IconBounds();
    // Below the icon (it sits at the top of the screen), on the screen.
    EXPECT_EQ(tip.top, icon.bottom + skin::CTrayNote::kGap);
    EXPECT_LE(tip.right, 640);
    EXPECT_EQ(icon_->TooltipNote().Lines(),
              std::vector<std::wstring>{L"Demo Game: Downloading 42.5%"});
    ASSERT_TRUE(WaitFor([&] { return ShowsPopup(tip); }));
    SaveShot("tray-tooltip.png");

    // A new text while shown takes its place at once.
    ASSERT_TRUE(icon_->SetTooltip(L"Demo Game: Downloading 97.0%"));
    EXPECT_EQ(icon_->TooltipNote().Lines(),
              std::vector<std::wstring>{L"Demo Game: Downloading 97.0%"});

    // The pointer leaves: the tip goes.
    ASSERT_EQ(server_->Run("xdotool mousemove 20 300"), 0);
    ASSERT_TRUE(WaitFor([&] { return !icon_->TooltipNote().IsShown(); }));
    EXPECT_TRUE(handler_.events.empty());
}

TEST_F(DrawnTrayIconTest, BalloonReportsItsClickOrItsTimeOutOnce) {
    Dock(L"Demo Game");
    const std::wstring text =
        L"A new version of the game has been downloaded. It takes effect the next time the game "
        L"starts.";
    ASSERT_TRUE(icon_->ShowBalloon(std::wstring(100, L'T'), text));
    EXPECT_TRUE(icon_->ReportsBalloonEnd());
    ASSERT_TRUE(icon_->BalloonNote().IsShown());
    EXPECT_GT(icon_->BalloonNote().Lines().size(), 1u); // wrapped
    const plat::Rect balloon = icon_->BalloonNote().Bounds();
    EXPECT_EQ(balloon.top, icon_->IconBounds().bottom + skin::CTrayNote::kGap);
    ASSERT_TRUE(WaitFor([&] { return ShowsPopup(balloon); }));

    // Shown once more with the real title for the screenshot.
    ASSERT_TRUE(icon_->ShowBalloon(L"Demo Game", text));
    ASSERT_TRUE(WaitFor([&] { return ShowsPopup(icon_->BalloonNote().Bounds()); }));
    SaveShot("tray-balloon.png");

    const plat::Rect shown = icon_->BalloonNote().Bounds();
    const plat::Point inside{shown.left + shown.Width() / 2, shown.top + shown.Height() / 2};
    ASSERT_EQ(server_->Run("xdotool mousemove " + At(inside) + " click 1"), 0);
    ASSERT_TRUE(WaitFor([&] { return !handler_.events.empty(); }));
    EXPECT_EQ(handler_.events, std::vector<plat::LPARAM>{skin::kTrayBalloonClick});
    EXPECT_FALSE(icon_->BalloonNote().IsShown());
    EXPECT_FALSE(icon_->ReportsBalloonEnd());

    // Left alone, the next balloon times out after its time, and only once.
    handler_.events.clear();
    icon_->SetBalloonTimeout(200);
    ASSERT_TRUE(icon_->ShowBalloon(L"Demo Game", text));
    ASSERT_TRUE(WaitFor([&] { return !handler_.events.empty(); }));
    EXPECT_EQ(handler_.events, std::vector<plat::LPARAM>{skin::kTrayBalloonTimeout});
    EXPECT_FALSE(icon_->BalloonNote().IsShown());
    PumpFor(400);
    EXPECT_EQ(handler_.events.size(), 1u);

    // Removed while a balloon shows: it goes without an event.
    icon_->SetBalloonTimeout(100);
    ASSERT_TRUE(icon_->ShowBalloon(L"Demo Game", text));
    ASSERT_TRUE(icon_->Remove());
    PumpFor(300);
    EXPECT_EQ(handler_.events.size(), 1u);
}

TEST_F(DrawnTrayIconTest, MenuChoosesAnItemOrNoneWhenLeft) {
    Dock(L"Demo Game");
    const std::vector<skin::TrayMenuItem> items = {
        {32775, L"Show the launcher"}, {0, L""}, {32773, L"Exit"}};
    ASSERT_EQ(server_->Run("xdotool mousemove " + At(IconCentre())), 0);
    PumpFor(50);

    // A click on "Exit".
    icon_->TrackMenu(items);
    ASSERT_TRUE(icon_->Menu().IsOpen());
    const plat::Rect menu = icon_->Menu().Bounds();
    // At the pointer, flipped left where the screen ends.
    EXPECT_EQ(menu.right, IconCentre().x);
    EXPECT_EQ(menu.top, IconCentre().y);
    ASSERT_EQ(icon_->Menu().ItemRects().size(), 3u);
    const plat::Rect exit = icon_->Menu().ItemRects()[2].Offset(menu.left, menu.top);
    const plat::Rect show = icon_->Menu().ItemRects()[0].Offset(menu.left, menu.top);
    ASSERT_EQ(server_->Run("xdotool mousemove " +
                           At(plat::Point{show.left + 20, show.top + show.Height() / 2})),
              0);
    ASSERT_TRUE(WaitFor([&] { return icon_->Menu().Highlighted() == 0; }));
    ASSERT_TRUE(WaitFor([&] { return ShowsPopup(menu); }));
    SaveShot("tray-menu.png");
    ASSERT_EQ(server_->Run("xdotool mousemove " +
                           At(plat::Point{exit.left + 20, exit.top + exit.Height() / 2}) +
                           " click 1"),
              0);
    ASSERT_TRUE(WaitFor([&] { return !handler_.commands.empty(); }));
    EXPECT_EQ(handler_.commands, std::vector<plat::WPARAM>{32773});
    EXPECT_FALSE(icon_->Menu().IsOpen());

    // A click on the separator chooses nothing and keeps the menu; a click
    // outside leaves it.
    handler_.commands.clear();
    icon_->TrackMenu(items);
    const plat::Rect again = icon_->Menu().Bounds();
    const plat::Rect separator = icon_->Menu().ItemRects()[1].Offset(again.left, again.top);
    ASSERT_EQ(server_->Run("xdotool mousemove " +
                           At(plat::Point{separator.left + 20, separator.top + 3}) + " click 1"),
              0);
    PumpFor(200);
    EXPECT_TRUE(icon_->Menu().IsOpen());
    ASSERT_EQ(server_->Run("xdotool mousemove 20 300 click 1"), 0);
    ASSERT_TRUE(WaitFor([&] { return !icon_->Menu().IsOpen(); }));

    // Escape leaves it too.
    icon_->TrackMenu(items);
    ASSERT_TRUE(icon_->Menu().IsOpen());
    ASSERT_TRUE(WaitFor([&] { return ShowsPopup(icon_->Menu().Bounds()); }));
    PumpFor(100);
    ASSERT_EQ(server_->Run("xdotool key Escape"), 0);
    ASSERT_TRUE(WaitFor([&] { return !icon_->Menu().IsOpen(); }));
    PumpFor(200);
    EXPECT_TRUE(handler_.commands.empty());
    EXPECT_TRUE(handler_.events.empty());
}

TEST_F(DrawnTrayIconTest, WithoutATrayTheIconWaitsAndTheOwnerEndsTheBalloon) {
    EXPECT_FALSE(icon_->AreaPresent());
    ASSERT_TRUE(icon_->Add(owner_, kCallback, L"Demo Game"));
    EXPECT_FALSE(icon_->IsDocked());
    // Nowhere to show the balloon: kept, but its end is the owner's to say.
    EXPECT_TRUE(icon_->ShowBalloon(L"Demo Game", L"Downloaded"));
    EXPECT_FALSE(icon_->ReportsBalloonEnd());
    EXPECT_FALSE(icon_->BalloonNote().IsShown());

    // A tray that starts later gets the icon.
    ASSERT_TRUE(tray_->Start());
    ASSERT_TRUE(WaitFor([&] { return icon_->IsDocked(); }));
    EXPECT_EQ(tray_->Icons(), std::vector<std::uint64_t>{icon_->NativeId()});

    // The tray ends while a balloon shows: the balloon counts as timed out.
    ASSERT_TRUE(icon_->ShowBalloon(L"Demo Game", L"Downloaded"));
    ASSERT_TRUE(icon_->ReportsBalloonEnd());
    tray_->Stop();
    ASSERT_TRUE(WaitFor([&] { return !handler_.events.empty(); }));
    EXPECT_EQ(handler_.events, std::vector<plat::LPARAM>{skin::kTrayBalloonTimeout});
    EXPECT_FALSE(icon_->IsDocked());
    EXPECT_FALSE(icon_->BalloonNote().IsShown());
}

TEST(TrayNotePlacement, BesideTheIconAndOnTheScreen) {
    const plat::Size screen{640, 400};
    const plat::Size note{200, 60};
    // An icon at the top right: below it, pushed left to stay on screen.
    EXPECT_EQ(skin::CTrayNote::Place(plat::Rect{610, 2, 638, 30}, note, screen),
              plat::Rect::FromSize(440, 34, 200, 60));
    // An icon at the bottom left: above it, pushed right.
    EXPECT_EQ(skin::CTrayNote::Place(plat::Rect{4, 370, 28, 394}, note, screen),
              plat::Rect::FromSize(0, 306, 200, 60));
    // In the middle of the top: centred under it.
    EXPECT_EQ(skin::CTrayNote::Place(plat::Rect{300, 0, 340, 20}, note, screen),
              plat::Rect::FromSize(220, 24, 200, 60));
}

} // namespace
} // namespace skintest
