// shapeshot: shows the sample page in a shaped window through the presenter
// this run would choose (X11 when DISPLAY answers, headless otherwise) and
// saves a screenshot of the screen as a PNG.
//
//   shapeshot OUTPUT.png
//
// Prints the presenter's description. Exits 0 when the screenshot is saved.

#include "SamplePage.h"
#include "platform/Presenter.h"
#include "platform/Unicode.h"
#include "platform/Window.h"

#include <chrono>
#include <cstdio>

namespace {

// Paints the page whenever the presenter asks.
class PageWindow : public plat::IWindowHandler {
public:
    explicit PageWindow(const samplepage::Page& page) : page_(page) {}
    plat::ISurface* surface = nullptr;
    int paints = 0;

    plat::LRESULT HandleWindowMessage(plat::HWND, std::uint32_t message, plat::WPARAM, plat::LPARAM,
                                      const plat::CopyData*) override {
        if (message == plat::WM_PAINT && surface) {
            plat::PaintStruct paint;
            surface->BeginPaint(&paint);
            samplepage::DrawPage(page_, *paint.canvas);
            surface->EndPaint(paint);
            ++paints;
        }
        return 0;
    }

private:
    const samplepage::Page& page_;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: shapeshot OUTPUT.png\n");
        return 2;
    }
    samplepage::Page page;
    if (!samplepage::MakePage(&page)) {
        std::fprintf(stderr, "shapeshot: the sample page could not be made\n");
        return 1;
    }
    std::wstring why;
    auto presenter = plat::CreatePresenter(&why);
    std::printf("presenter: %s\n", plat::WideToUtf8(presenter->Description()).c_str());

    PageWindow handler(page);
    const plat::HWND window = plat::CreateWindow(L"LauncherShapeShot", L"Launcher", &handler);
    plat::SurfaceOptions options;
    options.window = window;
    options.className = L"LauncherShapeShot";
    options.title = L"Launcher";
    options.bounds = plat::Rect::FromSize(100, 80, samplepage::kWidth, samplepage::kHeight);
    auto surface = presenter->CreateSurface(options);
    if (!surface) {
        std::fprintf(stderr, "shapeshot: no window\n");
        return 1;
    }
    handler.surface = surface.get();
    surface->SetShape(&page.shape);
    surface->Show(true);

    // Run the loop until the page is painted and the display settled.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    plat::Msg msg;
    while (std::chrono::steady_clock::now() < until || handler.paints == 0) {
        if (!plat::PeekMessage(&msg)) {
            plat::SetTimer(window, 1, 20);
            if (plat::GetMessage(&msg) <= 0)
                break;
        }
        plat::DispatchMessage(msg);
    }
    plat::Bitmap screen;
    const std::string output = argv[1];
    if (!presenter->CaptureScreen(&screen) || !plat::SavePng(screen, plat::Utf8ToWide(output))) {
        std::fprintf(stderr, "shapeshot: the screenshot could not be saved\n");
        return 1;
    }
    std::printf("saved %s (%dx%d, %zu shape rectangles)\n", output.c_str(), screen.Width(),
                screen.Height(), page.shape.Rects().size());
    surface.reset();
    plat::DestroyWindow(window);
    return 0;
}
