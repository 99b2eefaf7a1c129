// The Windows presenter with real windows of the desktop: what a surface
// shows is what was painted (read back through the window itself and saved
// as a screenshot), the window region follows the shape, the system's input
// arrives as the launcher's messages, and geometry, capture and icons reach
// the system window.

#include "PresenterScene.h"
#include "Win32Probe.h"
#include "WindowTestSupport.h"
#include "platform/PngFile.h"
#include "platform/Unicode.h"
#include "support/ScopedEnv.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

using plat::ISurface;
using plat::Rect;
namespace probe = win32probe;
using windowtest::PumpUntil;
using windowtest::Received;
using windowtest::RecordingHandler;

std::wstring ArtefactPath(const char* name) {
    std::filesystem::create_directories(TEST_ARTEFACT_DIR);
    return plat::Utf8ToWide(std::string(TEST_ARTEFACT_DIR) + "/" + name);
}

class Win32PresenterTest : public windowtest::WindowTest {
protected:
    std::unique_ptr<ISurface> MakeSurface(RecordingHandler& handler, Rect bounds,
                                          plat::SurfaceKind kind = plat::SurfaceKind::Main) {
        plat::SurfaceOptions options;
        options.window = MakeWindow(L"LauncherSkin", &handler);
        options.className = L"LauncherSkin";
        options.title = L"Launcher";
        options.bounds = bounds;
        options.kind = kind;
        return presenter_->CreateSurface(options);
    }

    // Answers WM_PAINT by drawing the scene into the update area.
    static void PaintSceneOnRequest(RecordingHandler& handler, ISurface& surface) {
        handler.reply = [&surface](const Received& got) -> plat::LRESULT {
            if (got.message == plat::WM_PAINT) {
                plat::PaintStruct paint;
                surface.BeginPaint(&paint);
                presentertest::DrawScene(*paint.canvas);
                surface.EndPaint(paint);
            }
            return 0;
        };
    }

    std::unique_ptr<plat::IPresenter> presenter_ = probe::MakeWin32Presenter();
};

TEST_F(Win32PresenterTest, CreatePresenterTakesTheDesktopUnlessToldOtherwise) {
    std::wstring why;
    {
        testsupport::ScopedEnv wish("LAUNCHER_PRESENTER", "headless");
        auto presenter = plat::CreatePresenter(&why);
        ASSERT_TRUE(presenter);
        EXPECT_STREQ(presenter->Name(), "headless");
        EXPECT_EQ(why, L"LAUNCHER_PRESENTER=headless");
        EXPECT_NE(presenter->Description().find(why), std::wstring::npos);
    }
    {
        testsupport::ScopedEnv wish("LAUNCHER_PRESENTER", "win32");
        auto presenter = plat::CreatePresenter(&why);
        ASSERT_TRUE(presenter);
        EXPECT_STREQ(presenter->Name(), "win32");
        EXPECT_GT(presenter->ScreenSize().cx, 0);
        EXPECT_GT(presenter->ScreenSize().cy, 0);
    }
    std::wstring reason;
    const bool usable = probe::DesktopUsable(&reason);
    EXPECT_FALSE(reason.empty());
    testsupport::ScopedEnv wish("LAUNCHER_PRESENTER", "");
    auto chosen = plat::CreatePresenter(&why);
    EXPECT_STREQ(chosen->Name(), usable ? "win32" : "headless");
    EXPECT_EQ(why, reason);
}

TEST_F(Win32PresenterTest, TheWindowShowsThePaintedSceneInItsShape) {
    RecordingHandler& handler = NewHandler();
    auto surface =
        MakeSurface(handler, Rect::FromSize(40, 30, presentertest::kWidth, presentertest::kHeight));
    ASSERT_TRUE(surface);
    ASSERT_TRUE(probe::IsSystemWindow(*surface));
    EXPECT_FALSE(probe::IsSystemWindowVisible(*surface));
    const plat::Region shape = presentertest::SceneShape();
    ASSERT_TRUE(surface->SetShape(&shape));
    PaintSceneOnRequest(handler, *surface);
    ASSERT_TRUE(surface->Show(true));
    EXPECT_TRUE(probe::IsSystemWindowVisible(*surface));
    ASSERT_TRUE(PumpUntil([&] { return handler.Count(plat::WM_PAINT) > 0; }));

    // The system's copy of the region is the shape: same bounds, and the
    // corners and the hole are out of it.
    Rect box;
    ASSERT_TRUE(probe::RegionBox(*surface, &box));
    EXPECT_EQ(box, shape.Bounds());
    EXPECT_FALSE(probe::RegionContains(*surface, 0, 0));
    EXPECT_FALSE(probe::RegionContains(*surface, presentertest::kHole.left + 5,
                                       presentertest::kHole.top + 5));
    EXPECT_TRUE(probe::RegionContains(*surface, 60, 60));

    // What the window prints of itself is the picture, pixel for pixel
    // (the window is opaque, so only the colours count).
    plat::Bitmap shown;
    ASSERT_TRUE(probe::ReadBack(*surface, &shown));
    const plat::Bitmap& picture = surface->Picture();
    ASSERT_EQ(shown.Width(), picture.Width());
    ASSERT_EQ(shown.Height(), picture.Height());
    int differing = 0;
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x)
            differing += (shown.Pixel(x, y) & 0xFFFFFF) != (picture.Pixel(x, y) & 0xFFFFFF);
    EXPECT_EQ(differing, 0);
    // The text was drawn: white ink in the title line, none under it.
    int ink = 0;
    for (int y = 10; y < 40; ++y)
        for (int x = 0; x < presentertest::kWidth; ++x)
            ink += (picture.Pixel(x, y) & 0xFFFFFF) == 0xFFFFFF;
    EXPECT_GT(ink, 20);
    EXPECT_EQ(plat::PixelA(picture.Pixel(150, 25)), 255);

    // The screenshot keeps only what the shape shows, over black.
    plat::Bitmap screenshot;
    ASSERT_TRUE(screenshot.Create(shown.Width(), shown.Height()));
    for (const Rect& r : shape.Rects())
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                screenshot.SetPixel(x, y, shown.Pixel(x, y) | 0xFF000000u);
    EXPECT_TRUE(plat::SavePng(screenshot, ArtefactPath("win32-presenter-scene.png")));

    // The desktop as the system shows it.
    plat::Bitmap screen;
    ASSERT_TRUE(presenter_->CaptureScreen(&screen));
    EXPECT_EQ(screen.Width(), presenter_->ScreenSize().cx);
    EXPECT_EQ(plat::PixelA(screen.Pixel(0, 0)), 255);
    EXPECT_TRUE(plat::SavePng(screen, ArtefactPath("win32-presenter-screen.png")));
}

TEST_F(Win32PresenterTest, ThePictureIsShownAgainWithoutAskingTheLauncher) {
    RecordingHandler& handler = NewHandler();
    auto surface = MakeSurface(handler, Rect::FromSize(0, 0, 64, 48));
    ASSERT_TRUE(surface);
    PaintSceneOnRequest(handler, *surface);
    surface->Show(true);
    ASSERT_TRUE(PumpUntil([&] { return handler.Count(plat::WM_PAINT) > 0; }));
    // The system asks the window to paint again; the kept pixels answer.
    const std::size_t paints = handler.Count(plat::WM_PAINT);
    probe::RedrawNow(*surface);
    plat::Msg msg;
    while (plat::PeekMessage(&msg))
        plat::DispatchMessage(msg);
    EXPECT_EQ(handler.Count(plat::WM_PAINT), paints);

    // Drawing outside a paint shows on Present.
    plat::Canvas canvas(&surface->Picture());
    plat::FillRect(canvas, Rect{0, 0, 64, 48}, plat::RGB(0, 128, 255));
    surface->Present(plat::Region(Rect{0, 0, 64, 48}));
    plat::Bitmap shown;
    ASSERT_TRUE(probe::ReadBack(*surface, &shown));
    EXPECT_EQ(shown.Pixel(10, 10) & 0xFFFFFF, plat::MakePixel(255, 128, 0, 0));
    EXPECT_EQ(shown.Pixel(63, 47) & 0xFFFFFF, plat::MakePixel(255, 128, 0, 0));
}

TEST_F(Win32PresenterTest, SystemInputArrivesAsTheLaunchersMessages) {
    RecordingHandler& handler = NewHandler();
    auto surface = MakeSurface(handler, Rect::FromSize(10, 10, 200, 100));
    ASSERT_TRUE(surface);
    surface->Show(true);
    const plat::LPARAM point = plat::MakePointParam(37, 21);
    probe::SendSystem(*surface, plat::WM_MOUSEMOVE, plat::MK_SHIFT, point);
    probe::SendSystem(*surface, plat::WM_RBUTTONDOWN, plat::MK_RBUTTON, point);
    probe::SendSystem(*surface, plat::WM_RBUTTONUP, 0, point);
    probe::SendSystem(*surface, plat::WM_MOUSEWHEEL,
                      plat::MK_CONTROL | static_cast<plat::WPARAM>(0xFF88) << 16,
                      plat::MakePointParam(100, 50));
    probe::SendSystem(*surface, plat::WM_KEYDOWN, plat::VK_RETURN, 0x40000001);
    probe::SendSystem(*surface, plat::WM_KEYUP, plat::VK_RETURN, 0xC0000001);
    // A character beyond the 16-bit range arrives as two halves.
    probe::SendSystem(*surface, plat::WM_CHAR, 0xD83D, 1);
    probe::SendSystem(*surface, plat::WM_CHAR, 0xDE00, 1);
    probe::SendSystem(*surface, plat::WM_CHAR, L'z', 1);
    probe::SendSystem(*surface, plat::WM_CLOSE, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return handler.Count(plat::WM_CLOSE) > 0; }));

    auto move = handler.Of(plat::WM_MOUSEMOVE);
    ASSERT_FALSE(move.empty());
    EXPECT_EQ(plat::PointParamX(move[0].lParam), 37);
    EXPECT_EQ(plat::PointParamY(move[0].lParam), 21);
    EXPECT_EQ(move[0].wParam, plat::MK_SHIFT);
    ASSERT_EQ(handler.Count(plat::WM_RBUTTONDOWN), 1u);
    EXPECT_EQ(handler.Of(plat::WM_RBUTTONDOWN)[0].wParam, plat::MK_RBUTTON);
    EXPECT_EQ(handler.Count(plat::WM_RBUTTONUP), 1u);
    auto wheel = handler.Of(plat::WM_MOUSEWHEEL);
    ASSERT_EQ(wheel.size(), 1u);
    EXPECT_EQ(plat::WheelDelta(wheel[0].wParam), -120);
    EXPECT_EQ(wheel[0].wParam & 0xFFFF, plat::MK_CONTROL);
    EXPECT_EQ(plat::PointParamX(wheel[0].lParam), 100);
    auto down = handler.Of(plat::WM_KEYDOWN);
    ASSERT_EQ(down.size(), 1u);
    EXPECT_EQ(down[0].wParam, plat::VK_RETURN);
    EXPECT_EQ(down[0].lParam, 0x40000001);
    EXPECT_EQ(handler.Count(plat::WM_KEYUP), 1u);
    auto typed = handler.Of(plat::WM_CHAR);
    ASSERT_EQ(typed.size(), 2u);
    EXPECT_EQ(typed[0].wParam, 0x1F600u);
    EXPECT_EQ(typed[1].wParam, static_cast<plat::WPARAM>(L'z'));
    // The close request is the launcher's to answer: the window stays.
    EXPECT_TRUE(probe::IsSystemWindow(*surface));
    // Only the launcher's own window got them.
    for (const Received& got : handler.All())
        EXPECT_EQ(got.window, surface->Window());
}

TEST_F(Win32PresenterTest, BoundsTitleIconsAndCaptureReachTheSystemWindow) {
    RecordingHandler& handler = NewHandler();
    auto surface = MakeSurface(handler, Rect::FromSize(10, 20, 120, 80));
    ASSERT_TRUE(surface);
    EXPECT_EQ(probe::SystemWindowRect(*surface), Rect::FromSize(10, 20, 120, 80));

    surface->Show(true);
    ASSERT_TRUE(surface->SetBounds(Rect::FromSize(50, 60, 140, 90)));
    EXPECT_EQ(probe::SystemWindowRect(*surface), Rect::FromSize(50, 60, 140, 90));
    EXPECT_EQ(surface->Picture().Width(), 140);
    EXPECT_EQ(surface->Picture().Height(), 90);
    EXPECT_EQ(surface->Bounds(), Rect::FromSize(50, 60, 140, 90));
    EXPECT_FALSE(surface->SetBounds(Rect{0, 0, 0, 10}));
    ASSERT_TRUE(PumpUntil([&] { return handler.Count(plat::WM_MOVE) > 0; }));
    auto moved = handler.Of(plat::WM_MOVE).back();
    EXPECT_EQ(plat::PointParamX(moved.lParam), 50);
    EXPECT_EQ(plat::PointParamY(moved.lParam), 60);

    ASSERT_TRUE(surface->SetTitle(L"Launcher \u00e9"));
    EXPECT_EQ(probe::SystemWindowTitle(*surface), L"Launcher \u00e9");

    plat::Bitmap icon;
    ASSERT_TRUE(icon.Create(32, 32));
    plat::Canvas canvas(&icon);
    plat::FillRect(canvas, Rect{4, 4, 28, 28}, plat::RGB(200, 20, 20));
    ASSERT_TRUE(surface->SetIcons(&icon, &icon));
    EXPECT_EQ(probe::BigIconWidth(*surface), 32);
    ASSERT_TRUE(surface->SetIcons(nullptr, nullptr));
    EXPECT_EQ(probe::BigIconWidth(*surface), 0);

    ASSERT_TRUE(surface->SetTopmost(true));
    EXPECT_TRUE(probe::IsTopmost(*surface));
    ASSERT_TRUE(surface->SetTopmost(false));
    EXPECT_FALSE(probe::IsTopmost(*surface));

    ASSERT_TRUE(surface->SetCapture());
    EXPECT_TRUE(surface->HasCapture());
    EXPECT_TRUE(probe::HasSystemCapture(*surface));
    ASSERT_TRUE(surface->ReleaseCapture());
    EXPECT_FALSE(surface->HasCapture());
    EXPECT_FALSE(surface->ReleaseCapture());
    ASSERT_TRUE(PumpUntil([&] { return handler.Count(plat::WM_CAPTURECHANGED) > 0; }));
    EXPECT_EQ(handler.Count(plat::WM_CAPTURECHANGED), 1u);

    // A move by the pointer needs the left button down.
    EXPECT_FALSE(surface->BeginMoveDrag());
    ASSERT_TRUE(surface->Show(false));
    EXPECT_FALSE(probe::IsSystemWindowVisible(*surface));
}

TEST_F(Win32PresenterTest, APopupIsAToolWindowAndASurfaceNeedsAWindow) {
    RecordingHandler& handler = NewHandler();
    auto popup = MakeSurface(handler, Rect::FromSize(0, 0, 30, 20), plat::SurfaceKind::Popup);
    ASSERT_TRUE(popup);
    EXPECT_TRUE(probe::IsToolWindow(*popup));
    EXPECT_EQ(popup->Kind(), plat::SurfaceKind::Popup);

    plat::SurfaceOptions options;
    options.bounds = Rect::FromSize(0, 0, 10, 10);
    EXPECT_EQ(presenter_->CreateSurface(options), nullptr);
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidParameter);
    options.window = main_;
    options.bounds = Rect{0, 0, 0, 0};
    EXPECT_EQ(presenter_->CreateSurface(options), nullptr);
    // The surface windows are not the launcher's windows of that class.
    EXPECT_EQ(plat::FindWindowsByClass(probe::SurfaceClass()).size(), 0u);
}

} // namespace
