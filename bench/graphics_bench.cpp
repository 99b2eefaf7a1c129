// What the user waits for when the launcher's window draws: a whole 600 x 400
// page (background copy, fifteen alpha-blended controls, five text labels)
// into the window's picture, and the window's shape built from a 600 x 400
// ragged alpha mask, against the rectangle-by-rectangle union that building
// used to cost. With DISPLAY set, also a page drawn and put on the X server.

#include "shapeshot/SamplePage.h"

#include "platform/Presenter.h"
#include "platform/Unicode.h"
#include "platform/Window.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

const samplepage::Page& SamplePage() {
    static const samplepage::Page page = [] {
        samplepage::Page made;
        samplepage::MakePage(&made);
        return made;
    }();
    return page;
}

void BM_PageDraw(benchmark::State& state) {
    const samplepage::Page& page = SamplePage();
    plat::Bitmap picture;
    picture.Create(samplepage::kWidth, samplepage::kHeight);
    plat::Canvas canvas(&picture);
    samplepage::DrawPage(page, canvas); // glyphs rendered once, as after the first frame
    for (auto _ : state) {
        samplepage::DrawPage(page, canvas);
        benchmark::DoNotOptimize(picture.Bits());
    }
}
BENCHMARK(BM_PageDraw)->Unit(benchmark::kMicrosecond);

void BM_FirstPageDraw(benchmark::State& state) {
    // The first frame with fresh fonts: every glyph rendered.
    const samplepage::Page& page = SamplePage();
    plat::Bitmap picture;
    picture.Create(samplepage::kWidth, samplepage::kHeight);
    for (auto _ : state) {
        state.PauseTiming();
        samplepage::Page fresh;
        fresh.background = page.background;
        fresh.button = page.button;
        fresh.bar = page.bar;
        plat::LogFont heading;
        heading.faceName = L"Tahoma";
        heading.height = -20;
        heading.weight = 700;
        fresh.heading = plat::Font::Create(heading);
        plat::LogFont label;
        label.faceName = L"Arial";
        label.height = -13;
        fresh.label = plat::Font::Create(label);
        plat::Canvas canvas(&picture);
        state.ResumeTiming();
        samplepage::DrawPage(fresh, canvas);
    }
}
BENCHMARK(BM_FirstPageDraw)->Unit(benchmark::kMicrosecond);

void BM_RegionFromAlpha(benchmark::State& state) {
    const plat::Bitmap& mask = SamplePage().background;
    std::size_t rects = 0;
    for (auto _ : state) {
        plat::Region region;
        skin::RegionFromAlpha(mask, 50, &region);
        rects = region.Rects().size();
        benchmark::DoNotOptimize(region);
    }
    state.counters["rects"] = static_cast<double>(rects);
}
BENCHMARK(BM_RegionFromAlpha)->Unit(benchmark::kMicrosecond);

// The rectangle-by-rectangle union: one union per run of pixels.
void BM_RegionByUnion(benchmark::State& state) {
    const plat::Bitmap& mask = SamplePage().background;
    for (auto _ : state) {
        plat::Region region;
        for (int y = 0; y < mask.Height(); ++y) {
            int x = 0;
            while (x < mask.Width()) {
                while (x < mask.Width() && plat::PixelA(mask.Pixel(x, y)) < 50)
                    ++x;
                const int start = x;
                while (x < mask.Width() && plat::PixelA(mask.Pixel(x, y)) >= 50)
                    ++x;
                if (x > start)
                    region = region.Union(plat::Region(plat::Rect{start, y, x, y + 1}));
            }
        }
        benchmark::DoNotOptimize(region);
    }
}
BENCHMARK(BM_RegionByUnion)->Unit(benchmark::kMicrosecond);

// Draw and put the whole page on the X server, as a full repaint does.
class PagePainter : public plat::IWindowHandler {
public:
    plat::LRESULT HandleWindowMessage(plat::HWND, std::uint32_t, plat::WPARAM, plat::LPARAM,
                                      const plat::CopyData*) override {
        return 0;
    }
};

void BM_PagePresentX11(benchmark::State& state) {
    std::wstring why;
    auto presenter = plat::CreateX11Presenter(nullptr, &why);
    if (!presenter) {
        state.SkipWithError(("no X display: " + plat::WideToUtf8(why)).c_str());
        return;
    }
    PagePainter handler;
    const plat::HWND window = plat::CreateWindow(L"LauncherBench", L"", &handler);
    plat::SurfaceOptions options;
    options.window = window;
    options.bounds = plat::Rect::FromSize(0, 0, samplepage::kWidth, samplepage::kHeight);
    auto surface = presenter->CreateSurface(options);
    surface->SetShape(&SamplePage().shape);
    surface->Show(true);
    const plat::Region whole(plat::Rect{0, 0, samplepage::kWidth, samplepage::kHeight});
    for (auto _ : state) {
        plat::Canvas canvas(&surface->Picture());
        samplepage::DrawPage(SamplePage(), canvas);
        surface->Present(whole);
        (void)presenter->CursorPosition(); // a round trip: the server took the picture
    }
    surface.reset();
    plat::DestroyWindow(window);
}
BENCHMARK(BM_PagePresentX11)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
