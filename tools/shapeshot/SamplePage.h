#pragma once
// A sample page of the size and make-up of a launcher step: a 600 x 400
// background with a ragged alpha edge (the window's shape), fifteen
// alpha-blended buttons and bars, and five text labels. Drawn by the
// screenshot tool and measured by the graphics benchmark.

#include "platform/Canvas.h"
#include "platform/Font.h"
#include "platform/PngFile.h"
#include "skin/SkinImage.h"

#include <cmath>
#include <memory>
#include <string>

namespace samplepage {

constexpr int kWidth = 600;
constexpr int kHeight = 400;

// Straight colour to a premultiplied pixel.
inline std::uint32_t Pixel(int r, int g, int b, int a) {
    auto pre = [a](int c) { return static_cast<std::uint8_t>((a * c + 127) / 255); };
    return plat::MakePixel(pre(b), pre(g), pre(r), static_cast<std::uint8_t>(a));
}

// The background as the theme would ship it: a PNG whose alpha gives a
// wavy, ragged outline with soft edges and a round notch at the top.
inline std::string BackgroundPng() {
    plat::Bitmap bitmap;
    bitmap.Create(kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y) {
        // The edge wanders by a few pixels from row to row.
        const double wave = 6 + 5 * std::sin(y * 0.21) + 3 * std::sin(y * 1.7);
        for (int x = 0; x < kWidth; ++x) {
            const double inside =
                std::min({x - wave, kWidth - 1 - x - wave, y - 4.0, kHeight - 1.0 - y - 4});
            const double dx = x - kWidth / 2.0, dy = y;
            const double notch = std::sqrt(dx * dx + dy * dy) - 28;
            const double edge = std::min(inside, notch);
            const int a = edge >= 2 ? 255 : (edge <= 0 ? 0 : static_cast<int>(edge * 127));
            const int shade = 60 + y * 120 / kHeight;
            bitmap.SetPixel(x, y, Pixel(25, shade / 2, shade, a));
        }
    }
    std::string png;
    plat::EncodePng(bitmap, &png);
    return png;
}

// A rounded button face with a vertical gradient and soft corners.
inline plat::Bitmap ButtonFace(int width, int height, int r, int g, int b) {
    plat::Bitmap face;
    face.Create(width, height);
    const double radius = height / 2.5;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double cx = std::clamp<double>(x + 0.5, radius, width - radius);
            const double cy = std::clamp<double>(y + 0.5, radius, height - radius);
            const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            const int a =
                d <= radius - 1 ? 255 : (d >= radius ? 0 : static_cast<int>((radius - d) * 255));
            const int light = 40 - y * 70 / height;
            face.SetPixel(x, y,
                          Pixel(std::clamp(r + light, 0, 255), std::clamp(g + light, 0, 255),
                                std::clamp(b + light, 0, 255), a));
        }
    return face;
}

struct Page {
    plat::Bitmap background;
    plat::Region shape;
    plat::Bitmap button;
    plat::Bitmap bar;
    std::shared_ptr<const plat::Font> heading;
    std::shared_ptr<const plat::Font> label;
};

// Decodes the background, builds the shape and makes the pictures and fonts.
inline bool MakePage(Page* page) {
    const std::string png = BackgroundPng();
    if (!skin::DecodeImage(png.data(), png.size(), false, &page->background) ||
        !skin::RegionFromAlpha(page->background, 50, &page->shape))
        return false;
    page->button = ButtonFace(120, 32, 70, 140, 220);
    page->bar = ButtonFace(40, 18, 90, 200, 90);
    plat::LogFont heading;
    heading.faceName = L"Tahoma";
    heading.height = -20;
    heading.weight = 700;
    page->heading = plat::Font::Create(heading);
    plat::LogFont label;
    label.faceName = L"Arial";
    label.height = -13;
    page->label = plat::Font::Create(label);
    return page->heading && page->label;
}

// One frame: background, twelve buttons and three bars blended (the bars
// in three slices each), five labels.
inline void DrawPage(const Page& page, plat::Canvas& canvas) {
    plat::BitBlt(canvas, 0, 0, kWidth, kHeight, page.background, 0, 0);
    for (int i = 0; i < 12; ++i) {
        const int x = 40 + (i % 4) * 135, y = 150 + (i / 4) * 50;
        const std::uint8_t opacity = i == 11 ? 128 : 255; // one disabled
        plat::AlphaBlend(canvas, x, y, 120, 32, page.button, 0, 0, 120, 32, {opacity, true});
    }
    // Bars in three slices: the caps at their size, the middle stretched.
    for (int i = 0; i < 3; ++i) {
        const int y = 306 + i * 22, width = 160 + i * 180;
        plat::AlphaBlend(canvas, 40, y, 9, 18, page.bar, 0, 0, 9, 18, {});
        plat::AlphaBlend(canvas, 49, y, width - 18, 18, page.bar, 9, 0, 22, 18, {});
        plat::AlphaBlend(canvas, 40 + width - 9, y, 9, 18, page.bar, 31, 0, 9, 18, {});
    }
    canvas.SetBkMode(plat::TRANSPARENT);
    canvas.SetTextColor(plat::RGB(255, 255, 255));
    canvas.SelectFont(page.heading);
    plat::Rect title{0, 40, kWidth, 80};
    plat::DrawText(canvas, L"Game Launcher", &title,
                   plat::DT_CENTER | plat::DT_VCENTER | plat::DT_SINGLELINE);
    canvas.SelectFont(page.label);
    const wchar_t* labels[] = {L"Checking installed files \u2026 47%",
                               L"\u0417\u0430\u0433\u0440\u0443\u0437\u043a\u0430: 12.4 MB/s",
                               L"Install folder: /home/player/Games/Launcher", L"Version 1.0.0.1"};
    for (int i = 0; i < 4; ++i) {
        plat::Rect line{40, 88 + i * 18, kWidth - 40, 106 + i * 18};
        if (i == 3)
            line = plat::Rect{40, 372, kWidth - 40, 388};
        plat::DrawText(canvas, labels[i], &line,
                       (i == 3 ? plat::DT_RIGHT : plat::DT_LEFT) | plat::DT_SINGLELINE |
                           plat::DT_END_ELLIPSIS);
    }
}

} // namespace samplepage
