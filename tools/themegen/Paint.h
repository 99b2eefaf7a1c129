#pragma once
// Drawing for the theme generator: anti-aliased shapes (rounded rectangles,
// discs, rings, polygons, lines), gradients, soft glows and text, painted
// in straight colours onto premultiplied bitmaps. Build-time only.

#include "platform/Bitmap.h"
#include "platform/Font.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace themegen {

struct Colour {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;
};

constexpr Colour Rgb(int r, int g, int b, int a = 255) {
    return Colour{static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                  static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(a)};
}
// Linear mix: t = 0 gives `a`, 1 gives `b`.
Colour Mix(Colour a, Colour b, double t);
Colour WithAlpha(Colour c, int alpha);

// A colour for each pixel row (y, relative to the shape's top, 0..1).
struct Fill {
    Colour top;
    Colour bottom;
    bool gradient = false;
    static Fill Solid(Colour c) { return Fill{c, c, false}; }
    static Fill Vertical(Colour top, Colour bottom) { return Fill{top, bottom, true}; }
    Colour At(double t) const { return gradient ? Mix(top, bottom, t) : top; }
};

// Composes `c` with coverage `cover` (0..1) over the pixel (source-over).
void BlendPixel(plat::Bitmap& bitmap, int x, int y, Colour c, double cover);
// Replaces the pixel.
void SetPixel(plat::Bitmap& bitmap, int x, int y, Colour c);
void FillRect(plat::Bitmap& bitmap, int x, int y, int w, int h, Colour c);
// Overwrites the rectangle (no blending).
void ClearRect(plat::Bitmap& bitmap, int x, int y, int w, int h, Colour c);

// A rounded rectangle (radius r) filled over whatever is below.
void FillRoundRect(plat::Bitmap& bitmap, double x, double y, double w, double h, double r,
                   const Fill& fill);
// Its outline, `width` pixels wide, inside the shape.
void StrokeRoundRect(plat::Bitmap& bitmap, double x, double y, double w, double h, double r,
                     double width, Colour c);
void FillCircle(plat::Bitmap& bitmap, double cx, double cy, double radius, const Fill& fill);
void StrokeCircle(plat::Bitmap& bitmap, double cx, double cy, double radius, double width,
                  Colour c);
// A soft glow: alpha falls off from the centre to the radius.
void Glow(plat::Bitmap& bitmap, double cx, double cy, double radius, Colour c);
// A closed polygon (even-odd), anti-aliased by 4x4 sampling.
void FillPolygon(plat::Bitmap& bitmap, const std::vector<std::pair<double, double>>& points,
                 const Fill& fill, double top, double bottom);
// A line of that width with round ends.
void Line(plat::Bitmap& bitmap, double x0, double y0, double x1, double y1, double width, Colour c);
// Vertical gradient over a rectangle.
void GradientRect(plat::Bitmap& bitmap, int x, int y, int w, int h, Colour top, Colour bottom);

// Fonts by face, pixel size (em) and weight.
std::shared_ptr<const plat::Font> MakeFont(const std::wstring& face, int emPixels, int weight);
// Text in straight colour, one line; x is the left edge, or the centre with
// `centred`; y the top of the line box.
void Text(plat::Bitmap& bitmap, const plat::Font& font, const std::wstring& text, int x, int y,
          Colour c, bool centred = false);
int TextWidth(const plat::Font& font, const std::wstring& text);

} // namespace themegen
