// The headless presenter: painting only what was invalidated, scripted input
// that follows shapes, stacking, the held button and the capture, window
// moves by the pointer, keys and text, screenshots, and the choice of
// presenter at start.

#include "platform/HeadlessPresenter.h"

#include "PresenterScene.h"
#include "WindowTestSupport.h"
#include "platform/PngFile.h"
#ifndef _WIN32
#include "support/HermeticFonts.h"
#endif

#include <gtest/gtest.h>

namespace {

using plat::HeadlessPresenter;
using plat::ISurface;
using plat::Point;
using plat::Rect;
using windowtest::PumpUntil;
using windowtest::RecordingHandler;

class HeadlessPresenterTest : public windowtest::WindowTest {
protected:
    void SetUp() override {
#ifndef _WIN32
        // Pinned fonts; the Windows font mapper has no such configuration.
        testsupport::UseHermeticFonts();
#endif
        windowtest::WindowTest::SetUp();
    }

    std::unique_ptr<ISurface> MakeSurface(RecordingHandler& handler, Rect bounds,
                                          plat::SurfaceKind kind = plat::SurfaceKind::Main) {
        plat::SurfaceOptions options;
        options.window = MakeWindow(L"LauncherSkin", &handler);
        options.className = L"LauncherSkin";
        options.title = L"Launcher";
        options.bounds = bounds;
        options.kind = kind;
        return presenter_.CreateSurface(options);
    }

    // Dispatches everything queued.
    void Drain() {
        plat::Msg msg;
        while (plat::PeekMessage(&msg))
            plat::DispatchMessage(msg);
    }

    HeadlessPresenter presenter_{plat::Size{640, 480}};
};

TEST_F(HeadlessPresenterTest, PaintsOnlyWhatWasInvalidated) {
    RecordingHandler& handler = NewHandler();
    auto surface = MakeSurface(handler, Rect::FromSize(10, 10, 100, 80));
    ASSERT_TRUE(surface);
    handler.reply = [&](const windowtest::Received& got) -> plat::LRESULT {
        if (got.message == plat::WM_PAINT) {
            plat::PaintStruct paint;
            surface->BeginPaint(&paint);
            plat::FillRect(*paint.canvas, Rect{0, 0, 100, 80}, plat::RGB(255, 0, 0));
            surface->EndPaint(paint);
        }
        return 0;
    };
    surface->Show(true);
    Drain();
    EXPECT_EQ(handler.Count(plat::WM_PAINT), 1u);
    auto* headless = presenter_.FindSurface(surface->Window());
    ASSERT_TRUE(headless);
    EXPECT_EQ(headless->TakePresented(), plat::Region(Rect{0, 0, 100, 80}));

    // Two invalidations before the paint: one WM_PAINT for both areas, and
    // only they are drawn and shown.
    const Rect first{0, 0, 10, 10};
    surface->Invalidate(&first);
    const Rect second{50, 50, 60, 70};
    surface->Invalidate(&second);
    handler.reply = [&](const windowtest::Received& got) -> plat::LRESULT {
        if (got.message == plat::WM_PAINT) {
            plat::PaintStruct paint;
            surface->BeginPaint(&paint);
            plat::FillRect(*paint.canvas, Rect{0, 0, 100, 80}, plat::RGB(0, 0, 255));
            surface->EndPaint(paint);
        }
        return 0;
    };
    Drain();
    EXPECT_EQ(handler.Count(plat::WM_PAINT), 2u);
    const plat::Region expected = plat::Region(Rect{0, 0, 10, 10}).Union(plat::Region(second));
    EXPECT_EQ(headless->TakePresented(), expected);
    const plat::Bitmap& picture = surface->Picture();
    EXPECT_EQ(picture.Pixel(5, 5), plat::MakePixel(255, 0, 0, 255));   // repainted blue
    EXPECT_EQ(picture.Pixel(55, 60), plat::MakePixel(255, 0, 0, 255)); // repainted blue
    EXPECT_EQ(picture.Pixel(30, 30), plat::MakePixel(0, 0, 255, 255)); // still red
}

TEST_F(HeadlessPresenterTest, InputFollowsShapesAndStacking) {
    RecordingHandler& below = NewHandler();
    RecordingHandler& shaped = NewHandler();
    RecordingHandler& popupHandler = NewHandler();
    auto back = MakeSurface(below, Rect::FromSize(0, 0, 400, 300));
    auto front = MakeSurface(
        shaped, Rect::FromSize(100, 100, presentertest::kWidth, presentertest::kHeight));
    back->Show(true);
    front->Show(true);
    const plat::Region shape = presentertest::SceneShape();
    front->SetShape(&shape);
    Drain();

    // Inside the shape: client coordinates of the front window.
    presenter_.Click(Point{110 + 50, 100 + 50});
    Drain();
    ASSERT_EQ(shaped.Count(plat::WM_LBUTTONDOWN), 1u);
    auto down = shaped.Of(plat::WM_LBUTTONDOWN)[0];
    EXPECT_EQ(plat::PointParamX(down.lParam), 60);
    EXPECT_EQ(plat::PointParamY(down.lParam), 50);
    EXPECT_EQ(down.wParam & plat::MK_LBUTTON, plat::MK_LBUTTON);
    EXPECT_EQ(shaped.Count(plat::WM_LBUTTONUP), 1u);

    // The hole and a cut corner let the click through to the window below.
    presenter_.Click(Point{100 + 150, 100 + 100});
    presenter_.Click(Point{100 + 1, 100 + 1});
    Drain();
    EXPECT_EQ(shaped.Count(plat::WM_LBUTTONDOWN), 1u);
    EXPECT_EQ(below.Count(plat::WM_LBUTTONDOWN), 2u);
    // Leaving the shaped window told it so.
    EXPECT_GE(shaped.Count(plat::WM_MOUSELEAVE), 1u);

    // A popup stands above even a topmost window.
    front->SetTopmost(true);
    auto popup =
        MakeSurface(popupHandler, Rect::FromSize(120, 120, 50, 50), plat::SurfaceKind::Popup);
    popup->Show(true);
    front->SetTopmost(true);
    presenter_.Click(Point{130, 130});
    Drain();
    EXPECT_EQ(popupHandler.Count(plat::WM_LBUTTONDOWN), 1u);
    EXPECT_EQ(presenter_.Surfaces().back()->Window(), popup->Window());
    // Hidden surfaces take nothing.
    popup->Show(false);
    presenter_.Click(Point{130, 130});
    Drain();
    EXPECT_EQ(popupHandler.Count(plat::WM_LBUTTONDOWN), 1u);
    EXPECT_EQ(shaped.Count(plat::WM_LBUTTONDOWN), 2u);
}

TEST_F(HeadlessPresenterTest, HeldButtonAndCaptureKeepThePointer) {
    RecordingHandler& a = NewHandler();
    RecordingHandler& b = NewHandler();
    auto left = MakeSurface(a, Rect::FromSize(0, 0, 100, 100));
    auto right = MakeSurface(b, Rect::FromSize(200, 0, 100, 100));
    left->Show(true);
    right->Show(true);
    // Pressed on the left window, moved over the right one: the left one
    // keeps the pointer until release.
    presenter_.MoveMouse(Point{50, 50});
    presenter_.PressButton();
    presenter_.MoveMouse(Point{250, 50});
    presenter_.ReleaseButton();
    Drain();
    EXPECT_EQ(b.Count(plat::WM_MOUSEMOVE), 0u);
    auto moves = a.Of(plat::WM_MOUSEMOVE);
    ASSERT_FALSE(moves.empty());
    EXPECT_EQ(plat::PointParamX(moves.back().lParam), 250);
    EXPECT_EQ(a.Count(plat::WM_LBUTTONUP), 1u);

    // A captured window gets every mouse message; losing it is told.
    ASSERT_TRUE(left->SetCapture());
    EXPECT_TRUE(left->HasCapture());
    presenter_.Click(Point{250, 60});
    Drain();
    EXPECT_EQ(b.Count(plat::WM_LBUTTONDOWN), 0u);
    EXPECT_EQ(a.Count(plat::WM_LBUTTONDOWN), 2u);
    EXPECT_EQ(a.Of(plat::WM_LBUTTONDOWN).back().lParam, plat::MakePointParam(250, 60));
    ASSERT_TRUE(right->SetCapture());
    Drain();
    EXPECT_EQ(a.Count(plat::WM_CAPTURECHANGED), 1u);
    EXPECT_TRUE(right->ReleaseCapture());
    EXPECT_FALSE(right->ReleaseCapture());
    Drain();
    EXPECT_EQ(b.Count(plat::WM_CAPTURECHANGED), 1u);
}

TEST_F(HeadlessPresenterTest, DraggingTheBackgroundMovesTheWindow) {
    RecordingHandler& handler = NewHandler();
    auto surface = MakeSurface(handler, Rect::FromSize(100, 100, 200, 150));
    surface->Show(true);
    // The window starts a move on a press, as the dialog does on its
    // background.
    handler.reply = [&](const windowtest::Received& got) -> plat::LRESULT {
        if (got.message == plat::WM_LBUTTONDOWN) {
            EXPECT_TRUE(surface->BeginMoveDrag());
        }
        return 0;
    };
    presenter_.MoveMouse(Point{150, 120});
    presenter_.PressButton();
    Drain();
    presenter_.MoveMouse(Point{170, 130});
    presenter_.MoveMouse(Point{210, 180});
    presenter_.ReleaseButton();
    Drain();
    EXPECT_EQ(surface->Bounds(), Rect::FromSize(160, 160, 200, 150));
    EXPECT_EQ(handler.Count(plat::WM_ENTERSIZEMOVE), 1u);
    EXPECT_EQ(handler.Count(plat::WM_EXITSIZEMOVE), 1u);
    ASSERT_FALSE(handler.Of(plat::WM_MOVE).empty());
    EXPECT_EQ(handler.Of(plat::WM_MOVE).back().lParam, plat::MakePointParam(160, 160));
    // No mouse message reached the window during the move, nor the release.
    EXPECT_EQ(handler.Count(plat::WM_LBUTTONUP), 0u);
    // Without a held button there is nothing to drag.
    EXPECT_FALSE(surface->BeginMoveDrag());
}

TEST_F(HeadlessPresenterTest, KeysTextWheelAndClose) {
    RecordingHandler& handler = NewHandler();
    auto surface = MakeSurface(handler, Rect::FromSize(0, 0, 100, 100));
    surface->Show(true);
    Drain();
    EXPECT_EQ(handler.Count(plat::WM_SETFOCUS), 1u);
    presenter_.TypeText(L"aZ\u00e9\r");
    presenter_.KeyDown(plat::VK_DELETE);
    presenter_.MoveMouse(Point{50, 50});
    presenter_.Wheel(-2);
    presenter_.RequestClose(*surface);
    Drain();
    std::wstring typed;
    for (const auto& got : handler.Of(plat::WM_CHAR))
        typed.push_back(static_cast<wchar_t>(got.wParam));
    EXPECT_EQ(typed, L"aZ\u00e9\r");
    auto keys = handler.Of(plat::WM_KEYDOWN);
    ASSERT_EQ(keys.size(), 4u); // A, Z, Return, Delete; the é has no key
    EXPECT_EQ(keys[0].wParam, static_cast<plat::WPARAM>('A'));
    EXPECT_EQ(keys[2].wParam, plat::VK_RETURN);
    EXPECT_EQ(keys[3].wParam, plat::VK_DELETE);
    ASSERT_EQ(handler.Count(plat::WM_MOUSEWHEEL), 1u);
    EXPECT_EQ(plat::WheelDelta(handler.Of(plat::WM_MOUSEWHEEL)[0].wParam), -240);
    EXPECT_EQ(handler.Count(plat::WM_CLOSE), 1u);
}

TEST_F(HeadlessPresenterTest, ScreenshotShowsSurfacesInTheirShapes) {
    RecordingHandler& handler = NewHandler();
    const Rect bounds = Rect::FromSize(40, 30, presentertest::kWidth, presentertest::kHeight);
    auto surface = MakeSurface(handler, bounds);
    const plat::Region shape = presentertest::SceneShape();
    surface->SetShape(&shape);
    surface->Show(true);
    plat::PaintStruct paint;
    surface->BeginPaint(&paint);
    presentertest::DrawScene(*paint.canvas);
    surface->EndPaint(paint);

    plat::Bitmap screen;
    ASSERT_TRUE(presenter_.CaptureScreen(&screen));
    ASSERT_EQ(screen.Width(), 640);
    const std::uint32_t desktop = plat::MakePixel(0, 0, 0, 255);
    EXPECT_EQ(screen.Pixel(40, 30), desktop);             // a cut corner
    EXPECT_EQ(screen.Pixel(40 + 150, 30 + 100), desktop); // the hole
    EXPECT_EQ(screen.Pixel(40 + 5, 30 + 100), surface->Picture().Pixel(5, 100) | 0xFF000000u);
    EXPECT_NE(screen.Pixel(40 + 5, 30 + 100), desktop);

    testsupport::TempDir dir;
    ASSERT_TRUE(presenter_.SaveScreenshot(dir.File(L"screen.png")));
    const std::string png = testsupport::ReadTestFile(dir.File(L"screen.png"));
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
}

#ifndef _WIN32
// On Windows the choice follows the desktop (see Win32PresenterTest).
TEST_F(HeadlessPresenterTest, NoDisplayMeansHeadless) {
    {
        testsupport::ScopedEnv display("DISPLAY", nullptr);
        std::wstring why;
        auto presenter = plat::CreatePresenter(&why);
        ASSERT_TRUE(presenter);
        EXPECT_STREQ(presenter->Name(), "headless");
        EXPECT_EQ(why, L"DISPLAY is not set");
        EXPECT_NE(presenter->Description().find(L"DISPLAY is not set"), std::wstring::npos);
    }
    {
        testsupport::ScopedEnv display("DISPLAY", ":65000");
        std::wstring why;
        auto presenter = plat::CreatePresenter(&why);
        EXPECT_STREQ(presenter->Name(), "headless");
        EXPECT_EQ(why, L"display :65000 does not answer");
    }
}
#endif

} // namespace
