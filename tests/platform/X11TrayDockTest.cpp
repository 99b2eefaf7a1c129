// The X11 notification-area dock on a virtual X server with the tests' own
// tray: the icon docks into the tray and shows the picture scaled to its
// slot over the tray's background, pointer input over it reaches the window
// in screen coordinates, and the dock follows a tray that starts late, ends
// and starts again.

#include "platform/TrayDock.h"

#include "WindowTestSupport.h"
#include "platform/Canvas.h"
#include "platform/PngFile.h"
#include "platform/Presenter.h"
#include "platform/Unicode.h"
#include "support/TestTrayManager.h"
#include "support/XvfbServer.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace {

using windowtest::RecordingHandler;

constexpr plat::Rect kTrayArea{440, 0, 640, 32};

// Pumps the thread's messages until `done` holds or ten seconds pass.
bool WaitFor(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    plat::Msg msg;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        if (plat::PeekMessage(&msg))
            plat::DispatchMessage(msg);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// A 64-pixel picture: a red square on a transparent field with a green
// cross through its middle, so scaling and transparency both show.
plat::Bitmap TestPicture() {
    plat::Bitmap picture;
    picture.Create(64, 64);
    plat::Canvas canvas(&picture);
    plat::FillRect(canvas, plat::Rect{8, 8, 56, 56}, plat::RGB(220, 30, 30));
    plat::FillRect(canvas, plat::Rect{28, 8, 36, 56}, plat::RGB(30, 200, 60));
    plat::FillRect(canvas, plat::Rect{8, 28, 56, 36}, plat::RGB(30, 200, 60));
    return picture;
}

class X11TrayDockTest : public windowtest::WindowTest {
protected:
    void SetUp() override {
        if (!testsupport::XvfbServer::Installed())
            GTEST_SKIP() << "Xvfb is not installed";
        windowtest::WindowTest::SetUp();
        server_ = std::make_unique<testsupport::XvfbServer>(640, 480);
        ASSERT_TRUE(server_->Ready()) << "Xvfb did not start";
        tray_ = std::make_unique<testsupport::TestTrayManager>(server_->Display(), kTrayArea);
        peer_ = XOpenDisplay(server_->Display().c_str());
        ASSERT_TRUE(peer_);
        std::wstring why;
        dock_ = plat::CreateTrayDock(server_->Display().c_str(), &why);
        ASSERT_TRUE(dock_) << plat::WideToUtf8(why);
    }
    void TearDown() override {
        dock_.reset();
        tray_.reset();
        if (peer_)
            XCloseDisplay(peer_);
        windowtest::WindowTest::TearDown();
    }

    // The screen's pixel (0xRRGGBB) as the server holds it.
    std::uint32_t ScreenPixel(int x, int y) {
        XImage* image = XGetImage(peer_, DefaultRootWindow(peer_), x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image)
            return 0xFFFFFFFF;
        const auto pixel = static_cast<std::uint32_t>(XGetPixel(image, 0, 0)) & 0xFFFFFF;
        XDestroyImage(image);
        return pixel;
    }

    std::size_t Docked(std::uint64_t state) {
        std::size_t count = 0;
        for (const auto& got : mainHandler_.Of(plat::WM_TRAYDOCKCHANGED))
            count += got.wParam == state;
        return count;
    }

    std::unique_ptr<testsupport::XvfbServer> server_;
    std::unique_ptr<testsupport::TestTrayManager> tray_;
    std::unique_ptr<plat::ITrayDock> dock_;
    Display* peer_ = nullptr;
};

TEST_F(X11TrayDockTest, DocksIntoTheTrayAndShowsThePictureScaledToItsSlot) {
    ASSERT_TRUE(tray_->Start());
    EXPECT_TRUE(dock_->AreaPresent());
    ASSERT_TRUE(dock_->Show(main_, TestPicture()));
    ASSERT_TRUE(WaitFor([&] { return dock_->IsDocked(); }));
    EXPECT_EQ(tray_->Requests(), 1);
    ASSERT_EQ(tray_->Icons(), std::vector<std::uint64_t>{dock_->NativeId()});
    ASSERT_TRUE(WaitFor([&] { return Docked(1) == 1; }));

    // The slot the tray gave it, on the screen.
    const int side = testsupport::TestTrayManager::kSlot;
    const plat::Rect expected = plat::Rect::FromSize(kTrayArea.right - side - 2,
                                                     (kTrayArea.Height() - side) / 2, side, side);
    ASSERT_TRUE(WaitFor([&] { return dock_->IconBounds() == expected; }));
    // Scaled from 64 to 28 pixels: red body, green cross, and the tray's
    // own background where the picture is transparent.
    const int x = expected.left, y = expected.top;
    ASSERT_TRUE(WaitFor([&] { return ScreenPixel(x + 7, y + 7) == 0xDC1E1E; }));
    EXPECT_EQ(ScreenPixel(x + 14, y + 14), 0x1EC83Cu);
    EXPECT_EQ(ScreenPixel(x + 1, y + 1), testsupport::TestTrayManager::kBackground);
    EXPECT_EQ(ScreenPixel(x + side - 2, y + side / 2), testsupport::TestTrayManager::kBackground);

    std::unique_ptr<plat::IPresenter> screen =
        plat::CreateX11Presenter(server_->Display().c_str(), nullptr);
    ASSERT_TRUE(screen);
    plat::Bitmap shot;
    ASSERT_TRUE(screen->CaptureScreen(&shot));
    plat::Bitmap strip;
    ASSERT_TRUE(strip.Create(kTrayArea.Width() * 4, kTrayArea.Height() * 4));
    plat::Canvas canvas(&strip);
    plat::StretchBlt(canvas, 0, 0, strip.Width(), strip.Height(), shot, kTrayArea.left,
                     kTrayArea.top, kTrayArea.Width(), kTrayArea.Height());
    const std::string folder = std::string(TEST_ARTEFACT_DIR) + "/platform";
    std::filesystem::create_directories(folder);
    EXPECT_TRUE(plat::SavePng(strip, plat::Utf8ToWide(folder + "/x11-tray-docked-x4.png")));

    // Hidden, the icon leaves the tray.
    dock_->Hide();
    EXPECT_FALSE(dock_->IsDocked());
    EXPECT_EQ(dock_->NativeId(), 0u);
    ASSERT_TRUE(WaitFor([&] { return tray_->Icons().empty(); }));
}

TEST_F(X11TrayDockTest, PointerOverTheIconReachesTheWindowInScreenCoordinates) {
    ASSERT_TRUE(server_->Run("xdotool mousemove 0 400") == 0);
    ASSERT_TRUE(tray_->Start());
    ASSERT_TRUE(dock_->Show(main_, TestPicture()));
    ASSERT_TRUE(WaitFor([&] { return dock_->IsDocked() && !dock_->IconBounds().IsEmpty(); }));
    const plat::Rect icon = dock_->IconBounds();
    const int cx = icon.left + icon.Width() / 2, cy = icon.top + icon.Height() / 2;
    const std::string at = std::to_string(cx) + " " + std::to_string(cy);

    ASSERT_EQ(server_->Run("xdotool mousemove " + at + " click 1 click 3"), 0);
    ASSERT_TRUE(WaitFor([&] { return mainHandler_.Count(plat::WM_RBUTTONDOWN) == 1; }));
    ASSERT_EQ(mainHandler_.Count(plat::WM_LBUTTONDOWN), 1u);
    const auto left = mainHandler_.Of(plat::WM_LBUTTONDOWN).front();
    EXPECT_EQ(plat::PointParamX(left.lParam), cx);
    EXPECT_EQ(plat::PointParamY(left.lParam), cy);
    ASSERT_FALSE(mainHandler_.Of(plat::WM_MOUSEMOVE).empty());
    const auto move = mainHandler_.Of(plat::WM_MOUSEMOVE).back();
    EXPECT_TRUE(icon.Contains(plat::PointParamX(move.lParam), plat::PointParamY(move.lParam)));
    // The middle button and the wheel are not the icon's.
    EXPECT_EQ(server_->Run("xdotool click 2 click 4"), 0);
    EXPECT_EQ(mainHandler_.Count(plat::WM_MOUSELEAVE), 0u);

    ASSERT_EQ(server_->Run("xdotool mousemove 10 400"), 0);
    ASSERT_TRUE(WaitFor([&] { return mainHandler_.Count(plat::WM_MOUSELEAVE) == 1; }));
    EXPECT_EQ(mainHandler_.Count(plat::WM_LBUTTONDOWN), 1u);
    EXPECT_EQ(mainHandler_.Count(plat::WM_RBUTTONDOWN), 1u);
}

TEST_F(X11TrayDockTest, FollowsATrayThatStartsLateEndsAndStartsAgain) {
    // No tray yet: the icon waits.
    EXPECT_FALSE(dock_->AreaPresent());
    ASSERT_TRUE(dock_->Show(main_, TestPicture()));
    EXPECT_FALSE(dock_->IsDocked());
    EXPECT_TRUE(dock_->IconBounds().IsEmpty());

    // The tray starts: its MANAGER message brings the icon in.
    ASSERT_TRUE(tray_->Start());
    ASSERT_TRUE(WaitFor([&] { return dock_->IsDocked(); }));
    EXPECT_EQ(tray_->Requests(), 1);

    // The tray ends: the dock says so and waits again.
    tray_->Stop();
    ASSERT_TRUE(WaitFor([&] { return Docked(0) == 1; }));
    EXPECT_FALSE(dock_->IsDocked());
    EXPECT_FALSE(dock_->AreaPresent());

    // A new tray gets a new icon window.
    ASSERT_TRUE(tray_->Start());
    ASSERT_TRUE(WaitFor([&] { return dock_->IsDocked(); }));
    EXPECT_EQ(tray_->Requests(), 2);
    EXPECT_EQ(Docked(1), 2u);
    EXPECT_EQ(tray_->Icons(), std::vector<std::uint64_t>{dock_->NativeId()});
}

TEST_F(X11TrayDockTest, ATrayThatComposesGetsTheIconWithAlpha) {
    tray_ = std::make_unique<testsupport::TestTrayManager>(server_->Display(), kTrayArea, true);
    ASSERT_TRUE(tray_->Start()) << "no 32-bit visual";
    ASSERT_TRUE(dock_->Show(main_, TestPicture()));
    ASSERT_TRUE(WaitFor([&] { return dock_->IsDocked() && !dock_->IconBounds().IsEmpty(); }));
    const auto icon = static_cast<::Window>(dock_->NativeId());
    XWindowAttributes attributes{};
    ASSERT_TRUE(XGetWindowAttributes(peer_, icon, &attributes));
    EXPECT_EQ(attributes.depth, 32);
    // The window's own pixels: opaque red in the body, transparent where the
    // picture is, for the tray to compose.
    auto pixel = [&](int x, int y) {
        XImage* image = XGetImage(peer_, icon, x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image)
            return std::uint32_t{0x12345678};
        const auto value = static_cast<std::uint32_t>(XGetPixel(image, 0, 0));
        XDestroyImage(image);
        return value;
    };
    ASSERT_TRUE(WaitFor([&] { return pixel(7, 7) == 0xFFDC1E1Eu; }));
    EXPECT_EQ(pixel(1, 1), 0u);
    EXPECT_EQ(pixel(14, 14), 0xFF1EC83Cu);
}

TEST(TrayDockChoice, NoDisplayMeansNoDock) {
    std::wstring why;
    EXPECT_FALSE(plat::CreateTrayDock("", &why));
    EXPECT_EQ(why, L"DISPLAY is not set");
    EXPECT_FALSE(plat::CreateTrayDock(":987", &why));
    EXPECT_EQ(why, L"display :987 does not answer");
}

} // namespace
