#pragma once
// One scene drawn the same way on every presenter: a shaped window (rounded
// corners and a hole, from an alpha mask) with a gradient, a blended disc
// and a line of text, so that presenters can be compared pixel for pixel.

#include "platform/Canvas.h"
#include "platform/Font.h"
#include "platform/Presenter.h"

namespace presentertest {

constexpr int kWidth = 300;
constexpr int kHeight = 200;
constexpr plat::Rect kHole{130, 90, 170, 110};

// The window's shape: the rectangle less rounded corners of radius 20 and
// less the hole, built row by row.
inline plat::Region SceneShape() {
    plat::RegionBuilder builder;
    const int radius = 20;
    for (int y = 0; y < kHeight; ++y) {
        int inset = 0;
        const int dy =
            y < radius ? radius - y : (y >= kHeight - radius ? y - (kHeight - radius - 1) : 0);
        while (inset < radius && dy > 0 &&
               (radius - inset) * (radius - inset) + dy * dy > radius * radius)
            ++inset;
        if (y >= kHole.top && y < kHole.bottom) {
            builder.Add(y, inset, kHole.left);
            builder.Add(y, kHole.right, kWidth - inset);
        } else {
            builder.Add(y, inset, kWidth - inset);
        }
    }
    return builder.Finish();
}

// A disc of radius 30 whose alpha falls off towards its rim, premultiplied.
inline plat::Bitmap Disc() {
    plat::Bitmap disc;
    disc.Create(60, 60);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 60; ++x) {
            const int dx = x - 30, dy = y - 30, d2 = dx * dx + dy * dy;
            if (d2 >= 900)
                continue;
            const std::uint32_t a = 255 - static_cast<std::uint32_t>(d2 * 200 / 900);
            disc.SetPixel(x, y,
                          plat::MakePixel(static_cast<std::uint8_t>(a * 40 / 255),
                                          static_cast<std::uint8_t>(a * 200 / 255),
                                          static_cast<std::uint8_t>(a * 250 / 255),
                                          static_cast<std::uint8_t>(a)));
        }
    return disc;
}

// Paints the scene into the canvas (surface coordinates).
inline void DrawScene(plat::Canvas& canvas) {
    for (int y = 0; y < kHeight; ++y) {
        const auto shade = static_cast<std::uint8_t>(40 + y * 150 / kHeight);
        plat::FillRect(canvas, plat::Rect{0, y, kWidth, y + 1}, plat::RGB(20, shade / 2, shade));
    }
    const plat::Bitmap disc = Disc();
    plat::AlphaBlend(canvas, 20, 30, 60, 60, disc, 0, 0, 60, 60, {});
    plat::AlphaBlend(canvas, 200, 110, 90, 60, disc, 0, 0, 60, 60, {160, true});
    plat::LogFont description;
    description.faceName = L"Arial";
    description.height = -22;
    description.weight = 700;
    canvas.SelectFont(plat::Font::Create(description));
    canvas.SetBkMode(plat::TRANSPARENT);
    canvas.SetTextColor(plat::RGB(255, 255, 255));
    plat::Rect line{0, 10, kWidth, 40};
    plat::DrawText(canvas, L"Launcher \u0442\u0435\u0441\u0442", &line,
                   plat::DT_CENTER | plat::DT_SINGLELINE | plat::DT_VCENTER);
}

} // namespace presentertest
