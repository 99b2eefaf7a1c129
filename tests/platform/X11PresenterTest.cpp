// The X11 presenter on a virtual X server the test starts itself: the
// shaped window's bounding and input shapes read back from the server, its
// screen compared pixel for pixel with the headless presenter's rendering
// of the same scene, and real input from xdotool (clicks that the shape lets
// through or not, a drag of the background without a window manager, typed
// text, the wheel) and the window manager's close request.

#include "platform/HeadlessPresenter.h"
#include "platform/Presenter.h"

#include "PresenterScene.h"
#include "WindowTestSupport.h"
#include "platform/PngFile.h"
#include "platform/Unicode.h"
#include "support/HermeticFonts.h"
#include "support/XvfbServer.h"

#include <X11/Xlib.h>
#include <X11/extensions/shape.h>
#include <X11/keysym.h>

#include <filesystem>
#include <gtest/gtest.h>

namespace {

using plat::Point;
using plat::Rect;
using windowtest::PumpUntil;
using windowtest::RecordingHandler;

constexpr Point kOrigin{50, 40};

class X11PresenterTest : public windowtest::WindowTest {
protected:
    void SetUp() override {
        if (!testsupport::XvfbServer::Installed())
            GTEST_SKIP() << "Xvfb is not installed";
        testsupport::UseHermeticFonts();
        windowtest::WindowTest::SetUp();
        server_ = std::make_unique<testsupport::XvfbServer>(800, 600);
        ASSERT_TRUE(server_->Ready()) << "Xvfb did not start";
        display_ = std::make_unique<testsupport::ScopedEnv>("DISPLAY", server_->Display());
        std::wstring why;
        presenter_ = plat::CreatePresenter(&why);
        ASSERT_STREQ(presenter_->Name(), "x11");
        EXPECT_EQ(why,
                  L"DISPLAY=" + std::wstring(server_->Display().begin(), server_->Display().end()));
        peer_ = XOpenDisplay(server_->Display().c_str());
        ASSERT_TRUE(peer_);
    }
    void TearDown() override {
        surface_.reset();
        presenter_.reset();
        if (peer_)
            XCloseDisplay(peer_);
        windowtest::WindowTest::TearDown();
    }

    // The scene's shaped window, shown and painted.
    void ShowScene(RecordingHandler& handler) {
        plat::SurfaceOptions options;
        options.window = MakeWindow(L"LauncherSkin", &handler);
        options.className = L"LauncherSkin";
        options.title = L"Launcher \u0442\u0435\u0441\u0442";
        options.bounds =
            Rect::FromSize(kOrigin.x, kOrigin.y, presentertest::kWidth, presentertest::kHeight);
        options.topmost = true;
        surface_ = presenter_->CreateSurface(options);
        ASSERT_TRUE(surface_);
        const plat::Bitmap icon = presentertest::Disc();
        ASSERT_TRUE(surface_->SetIcons(&icon, nullptr));
        const plat::Region shape = presentertest::SceneShape();
        ASSERT_TRUE(surface_->SetShape(&shape));
        handler.reply = [this](const windowtest::Received& got) -> plat::LRESULT {
            if (got.message == plat::WM_PAINT) {
                plat::PaintStruct paint;
                surface_->BeginPaint(&paint);
                presentertest::DrawScene(*paint.canvas);
                surface_->EndPaint(paint);
            }
            return 0;
        };
        ASSERT_TRUE(surface_->Show(true));
        ASSERT_TRUE(PumpUntil([&] { return handler.Count(plat::WM_PAINT) > 0; }));
        Settle();
    }

    // Lets the server finish what it was sent and the presenter read what
    // came back.
    void Settle() {
        XSync(peer_, False);
        plat::Msg msg;
        for (int round = 0; round < 5; ++round) {
            while (plat::PeekMessage(&msg))
                plat::DispatchMessage(msg);
            XSync(peer_, False);
        }
    }

    std::vector<Rect> ServerShape(int kind) {
        int count = 0, ordering = 0;
        XRectangle* rects = XShapeGetRectangles(peer_, static_cast<Window>(surface_->NativeId()),
                                                kind, &count, &ordering);
        std::vector<Rect> out;
        for (int i = 0; i < count; ++i)
            out.push_back(Rect::FromSize(rects[i].x, rects[i].y, rects[i].width, rects[i].height));
        if (rects)
            XFree(rects);
        return out;
    }

    Point ServerPosition() {
        int x = 0, y = 0;
        Window child = 0;
        XTranslateCoordinates(peer_, static_cast<Window>(surface_->NativeId()),
                              DefaultRootWindow(peer_), 0, 0, &x, &y, &child);
        return Point{x, y};
    }

    // A 32-bit property of the surface's window, as longs.
    std::vector<long> Property(Atom name) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::vector<long> values;
        if (XGetWindowProperty(peer_, static_cast<Window>(surface_->NativeId()), name, 0, 1 << 20,
                               False, AnyPropertyType, &type, &format, &count, &after,
                               &data) == Success &&
            data && format == 32) {
            const long* longs = reinterpret_cast<const long*>(data);
            values.assign(longs, longs + count);
        }
        if (data)
            XFree(data);
        return values;
    }

    // Puts the key syms on keycodes that have none.
    void BindSpareKeys(std::vector<KeySym> syms) {
        int low = 0, high = 0, perCode = 0;
        XDisplayKeycodes(peer_, &low, &high);
        KeySym* map =
            XGetKeyboardMapping(peer_, static_cast<KeyCode>(low), high - low + 1, &perCode);
        for (int code = high; code >= low && !syms.empty(); --code) {
            bool empty = true;
            for (int i = 0; i < perCode; ++i)
                empty &= map[(code - low) * perCode + i] == NoSymbol;
            if (!empty)
                continue;
            KeySym sym = syms.back();
            syms.pop_back();
            XChangeKeyboardMapping(peer_, code, 1, &sym, 1);
        }
        XFree(map);
        XSync(peer_, False);
        ASSERT_TRUE(syms.empty()) << "no spare keycodes";
    }

    int Xdotool(const std::string& arguments) {
        return server_->Run("xdotool " + arguments + " >/dev/null 2>&1");
    }

    std::unique_ptr<testsupport::XvfbServer> server_;
    std::unique_ptr<testsupport::ScopedEnv> display_;
    std::unique_ptr<plat::IPresenter> presenter_;
    std::unique_ptr<plat::ISurface> surface_;
    Display* peer_ = nullptr;
};

TEST_F(X11PresenterTest, ShapedWindowMatchesTheHeadlessRendering) {
    RecordingHandler& handler = NewHandler();
    ShowScene(handler);

    // Both shapes on the server are the region, rectangle for rectangle.
    const plat::Region shape = presentertest::SceneShape();
    EXPECT_EQ(ServerShape(ShapeBounding), shape.Rects());
    EXPECT_EQ(ServerShape(ShapeInput), shape.Rects());
    EXPECT_EQ(ServerPosition(), kOrigin);

    // The same scene headless gives the same screen, pixel for pixel.
    plat::Bitmap real;
    ASSERT_TRUE(presenter_->CaptureScreen(&real));
    plat::HeadlessPresenter headless(plat::Size{800, 600});
    RecordingHandler& other = NewHandler();
    plat::SurfaceOptions options;
    options.window = MakeWindow(L"LauncherSkin", &other);
    options.bounds =
        Rect::FromSize(kOrigin.x, kOrigin.y, presentertest::kWidth, presentertest::kHeight);
    auto memory = headless.CreateSurface(options);
    memory->SetShape(&shape);
    memory->Show(true);
    plat::PaintStruct paint;
    memory->BeginPaint(&paint);
    presentertest::DrawScene(*paint.canvas);
    memory->EndPaint(paint);
    plat::Bitmap rendered;
    ASSERT_TRUE(headless.CaptureScreen(&rendered));

    const std::string artefacts = std::string(TEST_ARTEFACT_DIR);
    std::filesystem::create_directories(artefacts);
    plat::SavePng(real, plat::Utf8ToWide(artefacts + "/x11-shaped-window.png"));
    plat::SavePng(rendered, plat::Utf8ToWide(artefacts + "/headless-shaped-window.png"));

    ASSERT_EQ(real.Width(), rendered.Width());
    ASSERT_EQ(real.Height(), rendered.Height());
    int differing = 0;
    for (int y = 0; y < real.Height(); ++y)
        for (int x = 0; x < real.Width(); ++x)
            differing += real.Pixel(x, y) != rendered.Pixel(x, y);
    EXPECT_EQ(differing, 0);
    // And the picture is really there: text, disc and gradient differ from
    // the black root, the hole shows the root.
    EXPECT_NE(real.Pixel(kOrigin.x + 50, kOrigin.y + 60), plat::MakePixel(0, 0, 0, 255));
    EXPECT_EQ(real.Pixel(kOrigin.x + 150, kOrigin.y + 100), plat::MakePixel(0, 0, 0, 255));

    // The icon arrives with straight (not premultiplied) colours, the wish
    // to stay on top as the window manager's state.
    std::vector<long> icon = Property(XInternAtom(peer_, "_NET_WM_ICON", False));
    ASSERT_EQ(icon.size(), 2u + 60 * 60);
    EXPECT_EQ(icon[0], 60);
    EXPECT_EQ(icon[1], 60);
    const std::uint32_t centre = static_cast<std::uint32_t>(icon[2 + 30 * 60 + 30]);
    EXPECT_EQ(centre >> 24, 255u);
    EXPECT_EQ((centre >> 16) & 0xFF, 250u); // red 250 at full alpha
    const std::uint32_t rim = static_cast<std::uint32_t>(icon[2 + 30 * 60 + 2]);
    EXPECT_LT(rim >> 24, 255u);
    EXPECT_NEAR(static_cast<int>((rim >> 16) & 0xFF), 250, 3); // un-premultiplied
    std::vector<long> state = Property(XInternAtom(peer_, "_NET_WM_STATE", False));
    ASSERT_EQ(state.size(), 1u);
    EXPECT_EQ(static_cast<Atom>(state[0]), XInternAtom(peer_, "_NET_WM_STATE_ABOVE", False));

    // Title and class reach the server.
    XClassHint hint{};
    ASSERT_TRUE(XGetClassHint(peer_, static_cast<Window>(surface_->NativeId()), &hint));
    EXPECT_STREQ(hint.res_class, "LauncherSkin");
    XFree(hint.res_name);
    XFree(hint.res_class);
}

TEST_F(X11PresenterTest, RealInputFollowsTheShape) {
    RecordingHandler& handler = NewHandler();
    ShowScene(handler);
    auto paint = handler.reply;
    handler.reply = [&](const windowtest::Received& got) -> plat::LRESULT {
        if (got.message == plat::WM_LBUTTONDOWN && plat::PointParamY(got.lParam) > 150)
            surface_->BeginMoveDrag(); // the background near the bottom drags
        return paint(got);
    };
    // A click inside the shape arrives with client coordinates.
    ASSERT_EQ(Xdotool("mousemove " + std::to_string(kOrigin.x + 60) + " " +
                      std::to_string(kOrigin.y + 50) + " click 1"),
              0);
    ASSERT_TRUE(PumpUntil([&] { return handler.Count(plat::WM_LBUTTONUP) == 1; }));
    auto down = handler.Of(plat::WM_LBUTTONDOWN);
    ASSERT_EQ(down.size(), 1u);
    EXPECT_EQ(plat::PointParamX(down[0].lParam), 60);
    EXPECT_EQ(plat::PointParamY(down[0].lParam), 50);

    // The hole takes no clicks.
    ASSERT_EQ(Xdotool("mousemove " + std::to_string(kOrigin.x + 150) + " " +
                      std::to_string(kOrigin.y + 100) + " click 1"),
              0);
    Settle();
    EXPECT_EQ(handler.Count(plat::WM_LBUTTONDOWN), 1u);

    // Typed text and the wheel reach the focused window.
    ASSERT_EQ(Xdotool("mousemove " + std::to_string(kOrigin.x + 60) + " " +
                      std::to_string(kOrigin.y + 50) + " click 1"),
              0);
    ASSERT_TRUE(PumpUntil([&] { return handler.Count(plat::WM_LBUTTONUP) == 2; }));
    // Letters outside the layout: the keyboard gets keys for them (as a
    // layout switch would), and the text comes out as typed.
    BindSpareKeys({XK_eacute, XK_Cyrillic_zhe, XK_EuroSign});
    ASSERT_EQ(Xdotool("type --delay 20 'Ab1'"), 0);
    ASSERT_EQ(Xdotool("key eacute Cyrillic_zhe EuroSign Return"), 0);
    ASSERT_TRUE(PumpUntil([&] { return handler.Count(plat::WM_CHAR) >= 7; }));
    std::wstring typed;
    for (const auto& got : handler.Of(plat::WM_CHAR))
        typed.push_back(static_cast<wchar_t>(got.wParam));
    EXPECT_EQ(typed, L"Ab1\u00e9\u0436\u20ac\r");
    EXPECT_FALSE(handler.Of(plat::WM_KEYDOWN).empty());
    EXPECT_EQ(handler.Of(plat::WM_KEYDOWN).back().wParam, plat::VK_RETURN);
    ASSERT_EQ(Xdotool("click 4"), 0);
    ASSERT_TRUE(PumpUntil([&] { return handler.Count(plat::WM_MOUSEWHEEL) == 1; }));
    EXPECT_EQ(plat::WheelDelta(handler.Of(plat::WM_MOUSEWHEEL)[0].wParam), 120);

    // Dragging the background moves the window, with no window manager.
    const int fromX = kOrigin.x + 100, fromY = kOrigin.y + 170;
    ASSERT_EQ(Xdotool("mousemove " + std::to_string(fromX) + " " + std::to_string(fromY) +
                      " mousedown 1"),
              0);
    ASSERT_TRUE(PumpUntil([&] { return handler.Count(plat::WM_ENTERSIZEMOVE) == 1; }));
    Settle();
    ASSERT_EQ(Xdotool("mousemove " + std::to_string(fromX + 70) + " " + std::to_string(fromY + 30)),
              0);
    ASSERT_EQ(Xdotool("mouseup 1"), 0);
    ASSERT_TRUE(PumpUntil([&] { return handler.Count(plat::WM_EXITSIZEMOVE) == 1; }));
    Settle();
    EXPECT_EQ(ServerPosition(), (Point{kOrigin.x + 70, kOrigin.y + 30}));
    EXPECT_EQ(surface_->Bounds().left, kOrigin.x + 70);
    EXPECT_EQ(surface_->Bounds().top, kOrigin.y + 30);
    ASSERT_FALSE(handler.Of(plat::WM_MOVE).empty());

    // The window manager's close request.
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = static_cast<Window>(surface_->NativeId());
    event.xclient.message_type = XInternAtom(peer_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(peer_, "WM_DELETE_WINDOW", False));
    XSendEvent(peer_, event.xclient.window, False, NoEventMask, &event);
    XFlush(peer_);
    ASSERT_TRUE(PumpUntil([&] { return handler.Count(plat::WM_CLOSE) == 1; }));
}

TEST_F(X11PresenterTest, CaptureAndPopups) {
    RecordingHandler& handler = NewHandler();
    ShowScene(handler);
    RecordingHandler& popupHandler = NewHandler();
    plat::SurfaceOptions options;
    options.kind = plat::SurfaceKind::Popup;
    options.window = MakeWindow(L"LauncherPopup", &popupHandler);
    options.bounds = Rect::FromSize(400, 300, 80, 40);
    auto popup = presenter_->CreateSurface(options);
    ASSERT_TRUE(popup);
    popup->Show(true);
    Settle();
    XWindowAttributes attributes{};
    ASSERT_TRUE(XGetWindowAttributes(peer_, static_cast<Window>(popup->NativeId()), &attributes));
    EXPECT_TRUE(attributes.override_redirect);
    EXPECT_EQ(attributes.map_state, IsViewable);

    // Captured, the main window hears a click on the popup's place.
    ASSERT_TRUE(surface_->SetCapture());
    ASSERT_EQ(Xdotool("mousemove 420 310 click 1"), 0);
    ASSERT_TRUE(PumpUntil([&] { return handler.Count(plat::WM_LBUTTONUP) == 1; }));
    EXPECT_EQ(popupHandler.Count(plat::WM_LBUTTONDOWN), 0u);
    auto down = handler.Of(plat::WM_LBUTTONDOWN);
    ASSERT_EQ(down.size(), 1u);
    EXPECT_EQ(plat::PointParamX(down[0].lParam), 420 - kOrigin.x);
    ASSERT_TRUE(surface_->ReleaseCapture());
    ASSERT_EQ(Xdotool("click 1"), 0);
    ASSERT_TRUE(PumpUntil([&] { return popupHandler.Count(plat::WM_LBUTTONUP) == 1; }));
    EXPECT_EQ(plat::PointParamX(popupHandler.Of(plat::WM_LBUTTONDOWN)[0].lParam), 20);
    EXPECT_EQ(presenter_->CursorPosition(), (Point{420, 310}));

    // Timers keep arriving on the window's thread while the display is read.
    ASSERT_NE(plat::SetTimer(surface_->Window(), 7, 20), 0u);
    ASSERT_TRUE(PumpUntil([&] { return handler.Count(plat::WM_TIMER) >= 3; }));
    plat::KillTimer(surface_->Window(), 7);
}

} // namespace
