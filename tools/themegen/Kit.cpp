#include "Kit.h"

#include "Textures.h"
#include "platform/Canvas.h"
#include "platform/PngFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace themegen {

using namespace palette;

std::string ThemeColour(Colour c) {
    return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b);
}

void ThemeFiles::AddPng(const std::string& path, const plat::Bitmap& bitmap) {
    std::string png;
    if (!plat::EncodePng(bitmap, &png)) {
        std::fprintf(stderr, "themegen: cannot encode %s\n", path.c_str());
        std::exit(1);
    }
    files[path] = std::move(png);
}

const std::shared_ptr<const plat::Font>& GenFont(int emPixels, bool bold) {
    static std::map<std::pair<int, bool>, std::shared_ptr<const plat::Font>> fonts;
    auto& font = fonts[{emPixels, bold}];
    if (!font)
        font = MakeFont(L"Arial", emPixels, bold ? 700 : 400);
    return font;
}

// --- buttons ----------------------------------------------------------------

namespace {

struct Look {
    Colour top, bottom, border, highlight;
};

Look ButtonColours(ButtonKind kind, int state) {
    if (state == 3)
        return {Rgb(44, 49, 64), Rgb(38, 42, 56), Rgb(56, 62, 80), Rgb(255, 255, 255, 0)};
    switch (kind) {
    case ButtonKind::Primary: {
        static const Look looks[3] = {
            {Rgb(255, 198, 92), Rgb(244, 138, 38), Rgb(204, 110, 22), Rgb(255, 240, 190, 170)},
            {Rgb(255, 214, 124), Rgb(251, 158, 62), Rgb(222, 130, 40), Rgb(255, 246, 210, 200)},
            {Rgb(232, 146, 40), Rgb(220, 118, 26), Rgb(176, 92, 18), Rgb(255, 255, 255, 0)}};
        return looks[state];
    }
    case ButtonKind::Danger: {
        static const Look looks[3] = {
            {Rgb(238, 100, 100), Rgb(204, 60, 66), Rgb(168, 42, 50), Rgb(255, 210, 210, 140)},
            {Rgb(246, 120, 118), Rgb(216, 74, 78), Rgb(186, 54, 60), Rgb(255, 220, 220, 170)},
            {Rgb(196, 56, 62), Rgb(182, 48, 56), Rgb(150, 36, 44), Rgb(255, 255, 255, 0)}};
        return looks[state];
    }
    default: {
        static const Look looks[3] = {
            {Rgb(54, 61, 82), Rgb(42, 47, 65), Rgb(74, 83, 110), Rgb(255, 255, 255, 26)},
            {Rgb(66, 75, 100), Rgb(52, 59, 80), Rgb(104, 115, 148), Rgb(255, 255, 255, 40)},
            {Rgb(34, 38, 52), Rgb(40, 45, 61), Rgb(74, 83, 110), Rgb(255, 255, 255, 0)}};
        return looks[state];
    }
    }
}

void DrawRoundLook(plat::Bitmap& bitmap, double x, double y, double w, double h, double r,
                   const Look& look) {
    FillRoundRect(bitmap, x, y, w, h, r, Fill::Solid(look.border));
    FillRoundRect(bitmap, x + 1, y + 1, w - 2, h - 2, r - 1, Fill::Vertical(look.top, look.bottom));
    if (look.highlight.a)
        Line(bitmap, x + r, y + 1.5, x + w - r, y + 1.5, 1.0, look.highlight);
}

} // namespace

plat::Bitmap ButtonLook(ButtonKind kind, int state, int width, int height) {
    plat::Bitmap look = Blank(width, height);
    DrawRoundLook(look, 0, 0, width, height, 8, ButtonColours(kind, state));
    return look;
}

plat::Bitmap ButtonTexture(ButtonKind kind, int height) {
    constexpr int kCorner = 10;
    return NineSliceTexture(height, kCorner, [&](int state) {
        return ButtonLook(kind, state, 2 * kCorner + 1, height);
    });
}

plat::Bitmap RoundButtonTexture(int diameter) {
    std::vector<plat::Bitmap> pieces;
    for (int state = 0; state < 4; ++state) {
        plat::Bitmap piece = Blank(diameter, diameter);
        const Look look = ButtonColours(ButtonKind::Secondary, state);
        const double r = diameter / 2.0;
        FillCircle(piece, r, r, r, Fill::Solid(look.border));
        FillCircle(piece, r, r, r - 1, Fill::Vertical(look.top, look.bottom));
        pieces.push_back(std::move(piece));
    }
    return RowTexture(pieces);
}

plat::Bitmap ToggleTexture(const std::wstring& label, int width, int height) {
    std::vector<plat::Bitmap> pieces;
    const auto& font = GenFont(11, true);
    for (int state = 0; state < 4; ++state) {
        plat::Bitmap piece = Blank(width, height);
        Colour fill = Rgb(28, 32, 44), edge = Rgb(66, 74, 98), ink = kMuted;
        if (state == 1) {
            fill = Rgb(40, 46, 62);
            edge = Rgb(110, 120, 152);
            ink = kText;
        } else if (state == 2) {
            fill = kAccent;
            edge = kAccentDeep;
            ink = kOnAccent;
        } else if (state == 3) {
            fill = Rgb(26, 29, 38);
            edge = Rgb(46, 51, 66);
            ink = kFaint;
        }
        FillRoundRect(piece, 0, 0, width, height, 6, Fill::Solid(edge));
        FillRoundRect(piece, 1, 1, width - 2, height - 2, 5,
                      state == 2 ? Fill::Vertical(Rgb(255, 200, 96), kAccentDeep)
                                 : Fill::Solid(fill));
        const int textHeight = font->Metrics().height;
        Text(piece, *font, label, width / 2, (height - textHeight) / 2, ink, true);
        pieces.push_back(std::move(piece));
    }
    return RowTexture(pieces);
}

std::vector<plat::Bitmap> CloseImages(const plat::Bitmap& background, int x, int y, int side) {
    std::vector<plat::Bitmap> images;
    for (int state = 0; state < 3; ++state) {
        plat::Bitmap image = Crop(background, x, y, side, side);
        const double c = side / 2.0;
        Colour ink = Rgb(170, 178, 198);
        if (state > 0) {
            FillCircle(image, c, c, c - 1,
                       Fill::Solid(state == 1 ? Rgb(214, 64, 70) : Rgb(170, 44, 52)));
            ink = Rgb(255, 255, 255);
        }
        const double arm = side * 0.18;
        Line(image, c - arm, c - arm, c + arm, c + arm, 1.8, ink);
        Line(image, c - arm, c + arm, c + arm, c - arm, 1.8, ink);
        images.push_back(std::move(image));
    }
    return images;
}

plat::Bitmap CheckBoxTexture(int side) {
    // N unchecked, N checked, P unchecked, P checked, H unchecked, H checked,
    // D unchecked, D checked.
    std::vector<plat::Bitmap> pieces;
    const int states[4] = {0, 2, 1, 3};
    for (int state : states)
        for (int checked = 0; checked < 2; ++checked) {
            plat::Bitmap piece = Blank(side, side);
            Colour edge = Rgb(104, 114, 140), fill = Rgb(22, 25, 35);
            if (state == 1)
                edge = Rgb(160, 170, 196);
            if (state == 2)
                fill = Rgb(36, 40, 54);
            if (state == 3) {
                edge = Rgb(58, 64, 82);
                fill = Rgb(26, 29, 38);
            }
            Fill inner = Fill::Solid(fill);
            if (checked) {
                edge = state == 3 ? Rgb(70, 76, 94) : kAccentDeep;
                inner = state == 3   ? Fill::Solid(Rgb(76, 82, 100))
                        : state == 1 ? Fill::Vertical(Rgb(255, 214, 124), Rgb(251, 158, 62))
                        : state == 2 ? Fill::Vertical(Rgb(232, 146, 40), Rgb(220, 118, 26))
                                     : Fill::Vertical(Rgb(255, 198, 92), Rgb(244, 138, 38));
            }
            FillRoundRect(piece, 0, 0, side, side, 4, Fill::Solid(edge));
            FillRoundRect(piece, 1.5, 1.5, side - 3, side - 3, 3, inner);
            if (checked) {
                const Colour ink = state == 3 ? Rgb(40, 44, 56) : kOnAccent;
                const double s = side / 18.0;
                Line(piece, 4.6 * s, 9.4 * s, 7.6 * s, 12.4 * s, 2.2 * s, ink);
                Line(piece, 7.6 * s, 12.4 * s, 13.4 * s, 5.8 * s, 2.2 * s, ink);
            }
            pieces.push_back(std::move(piece));
        }
    return RowTexture(pieces);
}

plat::Bitmap ComboTexture(int width, int height, int itemHeight) {
    std::vector<plat::Bitmap> pieces;
    for (int look = 0; look < 4; ++look) {
        // normal, hover, open, disabled
        const int state = look == 2 ? 0 : look;
        Look colours = ButtonColours(ButtonKind::Secondary, state);
        if (look == 2)
            colours.border = kAccent;
        plat::Bitmap piece = Blank(width, height);
        DrawRoundLook(piece, 0, 0, width, height, 8, colours);
        const double cx = width - 18, cy = height / 2.0;
        const Colour ink = look == 3 ? kFaint : look == 2 ? kAccent : Rgb(190, 198, 216);
        if (look == 2) {
            Line(piece, cx - 4, cy + 2, cx, cy - 2, 1.8, ink);
            Line(piece, cx, cy - 2, cx + 4, cy + 2, 1.8, ink);
        } else {
            Line(piece, cx - 4, cy - 2, cx, cy + 2, 1.8, ink);
            Line(piece, cx, cy + 2, cx + 4, cy - 2, 1.8, ink);
        }
        pieces.push_back(std::move(piece));
    }
    plat::Bitmap item = Blank(width, itemHeight);
    ClearRect(item, 0, 0, width, itemHeight, Rgb(30, 34, 47));
    pieces.push_back(std::move(item));
    plat::Bitmap lit = Blank(width, itemHeight);
    ClearRect(lit, 0, 0, width, itemHeight, Rgb(54, 62, 86));
    ClearRect(lit, 0, 0, 3, itemHeight, kAccent);
    pieces.push_back(std::move(lit));
    return ColumnTexture(pieces);
}

plat::Bitmap LanguageBadges(const std::vector<std::wstring>& codes, int width, int height) {
    std::vector<plat::Bitmap> pieces;
    const auto& font = GenFont(9, true);
    for (const std::wstring& code : codes) {
        plat::Bitmap badge = Blank(width, height);
        FillRoundRect(badge, 0, 0, width, height, 3, Fill::Solid(Rgb(82, 92, 122)));
        Text(badge, *font, code, width / 2, (height - font->Metrics().height) / 2,
             Rgb(240, 243, 250), true);
        pieces.push_back(std::move(badge));
    }
    return RowTexture(pieces);
}

plat::Bitmap ScrollTexture(int width, int trackHeight) {
    std::vector<plat::Bitmap> pieces;
    const int buttonHeight = 12;
    for (int down = 0; down < 2; ++down)
        for (int state = 0; state < 3; ++state) {
            plat::Bitmap button = Blank(width, buttonHeight);
            const Colour ink = state == 0   ? Rgb(120, 130, 156)
                               : state == 1 ? Rgb(190, 198, 216)
                                            : kAccent;
            const double cx = width / 2.0, cy = buttonHeight / 2.0;
            const double dy = down ? 1.6 : -1.6;
            Line(button, cx - 3, cy - dy, cx, cy + dy, 1.5, ink);
            Line(button, cx, cy + dy, cx + 3, cy - dy, 1.5, ink);
            pieces.push_back(std::move(button));
        }
    plat::Bitmap track = Blank(width, trackHeight);
    FillRoundRect(track, 1, 0, width - 2, trackHeight, (width - 2) / 2.0,
                  Fill::Solid(Rgb(12, 14, 20)));
    pieces.push_back(std::move(track));
    plat::Bitmap thumb = Blank(width, 40);
    FillRoundRect(thumb, 1, 0, width - 2, 40, (width - 2) / 2.0,
                  Fill::Vertical(Rgb(104, 116, 146), Rgb(84, 94, 120)));
    pieces.push_back(std::move(thumb));
    return RowTexture(pieces);
}

plat::Bitmap ProgressTrack(int width, int height) {
    plat::Bitmap track = Blank(width, height);
    FillRoundRect(track, 0, 0, width, height, height / 2.0, Fill::Solid(Rgb(44, 50, 68)));
    FillRoundRect(track, 1, 1, width - 2, height - 2, height / 2.0 - 1,
                  Fill::Solid(Rgb(11, 13, 19)));
    return track;
}

plat::Bitmap ProgressBar(int width, int height) {
    plat::Bitmap bar = Blank(width, height);
    FillRoundRect(bar, 0, 0, width, height, height / 2.0,
                  Fill::Vertical(Rgb(255, 206, 108), kAccentDeep));
    Line(bar, height / 2.0, 1.5, width - height / 2.0, 1.5, 1.0, Rgb(255, 244, 214, 150));
    return bar;
}

plat::Bitmap RangeTrack(int width, int height) {
    plat::Bitmap track = Blank(width, height);
    FillRoundRect(track, 0, 0, width, height, height / 2.0, Fill::Solid(Rgb(36, 41, 56)));
    return track;
}

plat::Bitmap RangeBar(int width, int height) {
    plat::Bitmap bar = Blank(width, height);
    for (int x = 0; x < width; ++x) {
        const double t = x / double(width - 1);
        const double fade = std::sin(t * 3.14159265);
        for (int y = 0; y < height; ++y)
            BlendPixel(bar, x, y, Mix(kAccent, Rgb(255, 220, 150), fade), fade);
    }
    return bar;
}

namespace {

void PaintFolder(plat::Bitmap& bitmap, double x, double y, double side, Colour ink) {
    const double s = side / 16.0;
    FillRoundRect(bitmap, x + 1 * s, y + 3 * s, 6 * s, 3 * s, 1 * s, Fill::Solid(ink));
    FillRoundRect(bitmap, x + 1 * s, y + 4.5 * s, 14 * s, 9.5 * s, 1.5 * s, Fill::Solid(ink));
}

} // namespace

plat::Bitmap FolderIconTexture(int side) {
    std::vector<plat::Bitmap> pieces;
    const Colour inks[4] = {Rgb(214, 220, 234), Rgb(255, 255, 255), kAccent, kFaint};
    for (const Colour ink : inks) {
        plat::Bitmap piece = Blank(side, side);
        PaintFolder(piece, 0, 0, side, ink);
        pieces.push_back(std::move(piece));
    }
    return RowTexture(pieces);
}

plat::Bitmap PlayIconTexture(int side) {
    std::vector<plat::Bitmap> pieces;
    const Colour inks[4] = {kOnAccent, kOnAccent, kOnAccent, Rgb(110, 116, 132)};
    for (const Colour ink : inks) {
        plat::Bitmap piece = Blank(side, side);
        FillPolygon(piece,
                    {{side * 0.2, side * 0.1}, {side * 0.9, side * 0.5}, {side * 0.2, side * 0.9}},
                    Fill::Solid(ink), 0, side);
        pieces.push_back(std::move(piece));
    }
    return RowTexture(pieces);
}

plat::Bitmap Panel(int width, int height, int radius, Colour fill, Colour edge) {
    plat::Bitmap panel = Blank(width, height);
    FillRoundRect(panel, 0, 0, width, height, radius, Fill::Solid(edge));
    FillRoundRect(panel, 1, 1, width - 2, height - 2, radius - 1, Fill::Solid(fill));
    return panel;
}

plat::Bitmap FieldOver(const plat::Bitmap& background, int x, int y, int width, int height) {
    plat::Bitmap field = Crop(background, x, y, width, height);
    FillRoundRect(field, 0, 0, width, height, 8, Fill::Solid(kPanelEdge));
    FillRoundRect(field, 1, 1, width - 2, height - 2, 7, Fill::Solid(kField));
    return field;
}

plat::Bitmap WarningSign(int side) {
    plat::Bitmap sign = Blank(side, side);
    const double s = side;
    FillPolygon(sign, {{s * 0.5, s * 0.06}, {s * 0.97, s * 0.92}, {s * 0.03, s * 0.92}},
                Fill::Vertical(Rgb(255, 204, 96), kAccentDeep), s * 0.06, s * 0.92);
    Line(sign, s * 0.5, s * 0.36, s * 0.5, s * 0.62, s * 0.09, kOnAccent);
    FillCircle(sign, s * 0.5, s * 0.76, s * 0.055, Fill::Solid(kOnAccent));
    return sign;
}

plat::Bitmap StepPill(int width, int height) {
    plat::Bitmap pill = Blank(width, height);
    FillRoundRect(pill, 0, 0, width, height, height / 2.0, Fill::Solid(WithAlpha(kAccent, 120)));
    FillRoundRect(pill, 1, 1, width - 2, height - 2, height / 2.0 - 1,
                  Fill::Solid(Rgb(38, 33, 30)));
    return pill;
}

plat::Bitmap ListHighlight(int width, int height) {
    plat::Bitmap highlight = Blank(width, height);
    ClearRect(highlight, 0, 0, width, height, Rgb(92, 106, 146));
    return highlight;
}

// --- art --------------------------------------------------------------------

namespace {

// A small deterministic generator, so every build draws the same art.
struct Random {
    unsigned state;
    double Next() {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) / double(1u << 24);
    }
};

// A triangle wave 0..1 with sharp peaks.
double Peak(double t) {
    const double f = t - std::floor(t);
    return 1.0 - std::abs(2.0 * f - 1.0);
}

// The height of a mountain range at x: sharp peaks of three sizes.
double Ridge(double x, double base, double amplitude, const double phases[3], double scale) {
    const double big = std::pow(Peak(x / (150.0 * scale) + phases[0]), 1.6);
    const double mid = std::pow(Peak(x / (61.0 * scale) + phases[1]), 1.3);
    const double small = Peak(x / (23.0 * scale) + phases[2]);
    return base - amplitude * (0.62 * big + 0.28 * mid + 0.10 * small);
}

} // namespace

void PaintLandscape(plat::Bitmap& target, int x, int y, int width, int height, int horizon,
                    double sunX, unsigned seed) {
    Random random{seed};
    plat::Bitmap bitmap = Blank(width, height);
    // Sky: night blue at the top to a warm glow at the horizon.
    const Colour stops[4] = {Rgb(11, 15, 38), Rgb(46, 30, 88), Rgb(176, 84, 112),
                             Rgb(255, 170, 110)};
    for (int row = 0; row < height; ++row) {
        const double t = std::min(1.0, row / double(horizon));
        const double scaled = t * 3;
        const int band = std::min(2, static_cast<int>(scaled));
        const Colour c = Mix(stops[band], stops[band + 1], std::pow(scaled - band, 1.2));
        ClearRect(bitmap, 0, row, width, 1, c);
    }
    // Stars in the upper sky.
    for (int i = 0; i < width * horizon / 900; ++i) {
        const double sx = random.Next() * width;
        const double sy = random.Next() * horizon * 0.55;
        const double bright = 0.25 + 0.75 * random.Next() * (1 - sy / (horizon * 0.6));
        FillCircle(bitmap, sx, sy, 0.5 + random.Next() * 0.8,
                   Fill::Solid(WithAlpha(Rgb(255, 246, 230), static_cast<int>(255 * bright))));
    }
    // The sun, low over the horizon, with its glow.
    const double sunY = horizon - height * 0.08;
    const double sunR = std::max(16.0, std::min(width, height) * 0.09);
    Glow(bitmap, sunX, sunY, sunR * 5, Rgb(255, 170, 110, 90));
    Glow(bitmap, sunX, sunY, sunR * 2.2, Rgb(255, 206, 150, 150));
    FillCircle(bitmap, sunX, sunY, sunR, Fill::Vertical(Rgb(255, 236, 190), Rgb(255, 160, 96)));
    // Three ranges, far to near, each darker, with haze rising behind each.
    struct Range {
        double base, amplitude, scale;
        Colour top, bottom;
    };
    // Heights scale with the panel, but a short banner keeps real mountains.
    const double h = std::max(height, 300);
    const Range ranges[3] = {
        {horizon - h * 0.02, h * 0.16, 1.3, Rgb(124, 72, 124), Rgb(86, 54, 106)},
        {horizon + h * 0.10, h * 0.14, 0.9, Rgb(60, 40, 90), Rgb(38, 28, 66)},
        {horizon + h * 0.24, h * 0.12, 0.6, Rgb(27, 22, 47), Rgb(15, 14, 29)}};
    for (const Range& range : ranges) {
        for (int row = 0; row < 36; ++row) {
            const int ry = static_cast<int>(range.base) - row;
            FillRect(bitmap, 0, ry, width, 1, WithAlpha(Rgb(255, 196, 170), 26 - row * 26 / 36));
        }
        const double phases[3] = {random.Next(), random.Next(), random.Next()};
        std::vector<std::pair<double, double>> points;
        for (int px = -2; px <= width + 2; px += 2)
            points.emplace_back(px, Ridge(px, range.base, range.amplitude, phases,
                                          range.scale * std::max(1.0, width / 320.0)));
        points.emplace_back(width + 2, height + 2);
        points.emplace_back(-2, height + 2);
        FillPolygon(bitmap, points, Fill::Vertical(range.top, range.bottom),
                    range.base - range.amplitude, height);
    }
    plat::Canvas canvas(&target);
    plat::BitBlt(canvas, x, y, width, height, bitmap, 0, 0);
}

void PaintEmblem(plat::Bitmap& bitmap, int x, int y, int side) {
    const double c = side / 2.0;
    auto diamond = [&](double r) {
        return std::vector<std::pair<double, double>>{
            {x + c, y + c - r}, {x + c + r, y + c}, {x + c, y + c + r}, {x + c - r, y + c}};
    };
    FillPolygon(bitmap, diamond(c), Fill::Vertical(Rgb(255, 214, 120), kAccentDeep), y, y + side);
    FillPolygon(bitmap, diamond(c * 0.58), Fill::Solid(Rgb(28, 20, 14)), y, y + side);
    FillPolygon(bitmap, diamond(c * 0.26), Fill::Solid(Rgb(255, 226, 160)), y, y + side);
}

void RoundWindow(plat::Bitmap& bitmap, int radius) {
    plat::Bitmap mask = Blank(bitmap.Width(), bitmap.Height());
    FillRoundRect(mask, 0, 0, bitmap.Width(), bitmap.Height(), radius,
                  Fill::Solid(Rgb(255, 255, 255)));
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x) {
            const std::uint32_t m = plat::PixelA(mask.Pixel(x, y));
            if (m == 255)
                continue;
            const std::uint32_t p = bitmap.Pixel(x, y);
            auto scale = [m](std::uint8_t v) {
                return static_cast<std::uint8_t>((v * m + 127) / 255);
            };
            bitmap.SetPixel(x, y,
                            plat::MakePixel(scale(plat::PixelB(p)), scale(plat::PixelG(p)),
                                            scale(plat::PixelR(p)), scale(plat::PixelA(p))));
        }
}

plat::Bitmap Tagline(const std::vector<std::wstring>& lines, int width, int height, int em) {
    plat::Bitmap picture = Blank(width, height);
    int size = em;
    auto widest = [&](int s) {
        int w = 0;
        for (std::size_t i = 0; i < lines.size(); ++i)
            w = std::max(w, TextWidth(*GenFont(i == 0 ? s : s - 3, i == 0), lines[i]));
        return w;
    };
    while (size > 8 && widest(size) > width - 2)
        --size;
    int top = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto& font = GenFont(i == 0 ? size : size - 3, i == 0);
        Text(picture, *font, lines[i], 1, top + 1, Rgb(0, 0, 0, 120));
        Text(picture, *font, lines[i], 0, top,
             i == 0 ? Rgb(255, 255, 255) : Rgb(236, 226, 240, 225));
        top += font->Metrics().height + 2;
    }
    return picture;
}

// --- profiles ---------------------------------------------------------------

namespace {

XmlElement FontElement(const std::string& name, int em, bool bold, Colour colour,
                       bool underline = false) {
    XmlElement font(name);
    font.Attr("fontName", "Arial").Attr("fontSize", "-" + std::to_string(em));
    if (bold)
        font.Attr("fontBold", 700);
    if (underline)
        font.Attr("fontUnderline", "1");
    font.Attr("fontColor", ThemeColour(colour));
    return font;
}

XmlElement ButtonProfile(const std::string& name, const std::string& texture, Colour ink,
                         Colour inkHover, Colour inkPressed, int em) {
    XmlElement profile(name);
    profile.Attr("texture", texture).Pair("offset", 0, 0);
    profile.Add(FontElement("fontN", em, true, ink));
    profile.Add(FontElement("fontH", em, true, inkHover));
    profile.Add(FontElement("fontP", em, true, inkPressed));
    profile.Add(FontElement("fontD", em, true, Rgb(112, 118, 136)));
    return profile;
}

XmlElement TextProfile(const std::string& name, int em, bool bold, Colour colour) {
    XmlElement profile(name);
    profile.Attr("fontName", "Arial").Attr("fontSize", "-" + std::to_string(em));
    if (bold)
        profile.Attr("fontBold", 700);
    profile.Attr("fontColor", ThemeColour(colour)).Attr("transparentBg", "1");
    return profile;
}

} // namespace

XmlElement Profiles() {
    XmlElement profiles("profiles");
    profiles.Comment("Buttons: nine-slice textures (4 states x 9 pieces), labels in the "
                     "state's font.");
    profiles.Add(ButtonProfile("primary", "controls\\button_primary.png", kOnAccent, kOnAccent,
                               Rgb(24, 14, 4), 14));
    profiles.Add(ButtonProfile("primaryLarge", "controls\\button_primary_large.png", kOnAccent,
                               kOnAccent, Rgb(24, 14, 4), 16));
    profiles.Add(ButtonProfile("secondary", "controls\\button_secondary.png", Rgb(226, 230, 240),
                               Rgb(255, 255, 255), Rgb(200, 206, 220), 14));
    profiles.Add(ButtonProfile("secondaryLarge", "controls\\button_secondary_large.png",
                               Rgb(226, 230, 240), Rgb(255, 255, 255), Rgb(200, 206, 220), 16));
    profiles.Add(ButtonProfile("danger", "controls\\button_danger.png", Rgb(255, 255, 255),
                               Rgb(255, 255, 255), Rgb(255, 236, 236), 14));
    XmlElement help = ButtonProfile("help", "controls\\button_round.png", Rgb(226, 230, 240),
                                    Rgb(255, 255, 255), kAccent, 13);
    profiles.Add(help);
    profiles.Comment("Links: no picture, the label underlined; the control fits its label.");
    XmlElement link("link");
    link.Add(FontElement("fontN", 13, false, kAccent, true));
    link.Add(FontElement("fontH", 13, false, Rgb(255, 212, 140), true));
    link.Add(FontElement("fontP", 13, false, kAccentDeep, true));
    link.Add(FontElement("fontD", 13, false, kFaint, true));
    link.Pair("offset", 0, 0);
    profiles.Add(link);
    profiles.Comment("Language toggles: the label is drawn into each texture.");
    profiles.Add(XmlElement("toggle"));
    profiles.Comment("Check boxes: 8 pieces (each state unchecked and checked).");
    XmlElement check("check");
    check.Attr("texture", "controls\\checkbox.png").Pair("offset", 6, 0);
    check.Add(FontElement("fontN", 13, false, kBody));
    check.Add(FontElement("fontH", 13, false, kAccent));
    check.Add(FontElement("fontP", 13, false, kText));
    check.Add(FontElement("fontD", 13, false, Rgb(176, 183, 200)));
    profiles.Add(check);
    XmlElement combo("combo");
    combo.Attr("texture", "controls\\combobox.png")
        .Attr("textureIconItem", "controls\\language_badges.png")
        .Attr("textureIconMain", "controls\\language_badges.png")
        .Pair("textOffset", 44, 0)
        .Pair("iconOffsetMain", 12, 10)
        .Pair("iconOffsetItem", 12, 7)
        .Attr("borderColor", ThemeColour(Rgb(74, 83, 110)));
    combo.Add(FontElement("fontN", 13, false, kFaint));
    combo.Add(FontElement("fontH", 13, false, Rgb(255, 255, 255)));
    combo.Add(FontElement("fontP", 13, false, kText));
    combo.Add(FontElement("fontD", 13, false, kBody));
    profiles.Add(combo);
    profiles.Comment("Texts.");
    profiles.Add(TextProfile("caption", 14, true, kText).Attr("alignVertical", "center"));
    profiles.Add(TextProfile("headline", 20, true, kText));
    profiles.Add(TextProfile("subhead", 15, true, kText));
    profiles.Add(TextProfile("body", 13, false, kBody));
    profiles.Add(TextProfile("muted", 12, false, kMuted));
    profiles.Add(TextProfile("version", 11, false, kFaint));
    profiles.Add(TextProfile("stepText", 11, true, kAccent)
                     .Attr("align", "center")
                     .Attr("alignVertical", "center"));
    profiles.Add(TextProfile("field", 13, false, kBody)
                     .Pair("borderLR", 12, 12)
                     .Attr("alignVertical", "center"));
    XmlElement list("list");
    list.Attr("fontName", "Arial")
        .Attr("fontSize", "-13")
        .Attr("fontColor", ThemeColour(kBody))
        .Attr("fontColorH", ThemeColour(Rgb(255, 255, 255)))
        .Attr("imgItemH", "controls\\list_highlight.png");
    profiles.Add(list);
    return profiles;
}

} // namespace themegen
