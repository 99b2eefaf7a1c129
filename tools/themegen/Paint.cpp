#include "Paint.h"

#include "platform/Canvas.h"

#include <algorithm>
#include <cmath>

namespace themegen {

namespace {

double Clamp01(double v) {
    return std::clamp(v, 0.0, 1.0);
}

// Signed distance from a point to a rounded rectangle (negative inside).
double RoundRectDistance(double px, double py, double x, double y, double w, double h, double r) {
    const double cx = x + w / 2, cy = y + h / 2;
    const double qx = std::abs(px - cx) - (w / 2 - r);
    const double qy = std::abs(py - cy) - (h / 2 - r);
    const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
    return outside + std::min(std::max(qx, qy), 0.0) - r;
}

} // namespace

Colour Mix(Colour a, Colour b, double t) {
    t = Clamp01(t);
    auto mix = [t](int u, int v) {
        return static_cast<std::uint8_t>(std::lround(u + (v - u) * t));
    };
    return Colour{mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b), mix(a.a, b.a)};
}

Colour WithAlpha(Colour c, int alpha) {
    c.a = static_cast<std::uint8_t>(std::clamp(alpha, 0, 255));
    return c;
}

void SetPixel(plat::Bitmap& bitmap, int x, int y, Colour c) {
    if (x < 0 || y < 0 || x >= bitmap.Width() || y >= bitmap.Height())
        return;
    const auto pre = [&](std::uint8_t v) {
        return static_cast<std::uint8_t>((v * c.a + 127) / 255);
    };
    bitmap.SetPixel(x, y, plat::MakePixel(pre(c.b), pre(c.g), pre(c.r), c.a));
}

void BlendPixel(plat::Bitmap& bitmap, int x, int y, Colour c, double cover) {
    if (x < 0 || y < 0 || x >= bitmap.Width() || y >= bitmap.Height() || cover <= 0)
        return;
    const double a = c.a / 255.0 * Clamp01(cover);
    const std::uint32_t d = bitmap.Pixel(x, y);
    auto channel = [&](double src, std::uint8_t dst) {
        return static_cast<std::uint8_t>(
            std::lround(std::clamp(src * a + dst * (1 - a), 0.0, 255.0)));
    };
    // Destination colours are premultiplied; the source goes over them.
    bitmap.SetPixel(x, y,
                    plat::MakePixel(channel(c.b, plat::PixelB(d)), channel(c.g, plat::PixelG(d)),
                                    channel(c.r, plat::PixelR(d)),
                                    channel(255.0, plat::PixelA(d))));
}

void FillRect(plat::Bitmap& bitmap, int x, int y, int w, int h, Colour c) {
    for (int row = y; row < y + h; ++row)
        for (int col = x; col < x + w; ++col)
            BlendPixel(bitmap, col, row, c, 1.0);
}

void ClearRect(plat::Bitmap& bitmap, int x, int y, int w, int h, Colour c) {
    for (int row = y; row < y + h; ++row)
        for (int col = x; col < x + w; ++col)
            SetPixel(bitmap, col, row, c);
}

void GradientRect(plat::Bitmap& bitmap, int x, int y, int w, int h, Colour top, Colour bottom) {
    for (int row = 0; row < h; ++row) {
        const Colour c = Mix(top, bottom, h > 1 ? row / double(h - 1) : 0);
        for (int col = x; col < x + w; ++col)
            BlendPixel(bitmap, col, y + row, c, 1.0);
    }
}

void FillRoundRect(plat::Bitmap& bitmap, double x, double y, double w, double h, double r,
                   const Fill& fill) {
    r = std::min({r, w / 2, h / 2});
    const int x0 = static_cast<int>(std::floor(x)), x1 = static_cast<int>(std::ceil(x + w));
    const int y0 = static_cast<int>(std::floor(y)), y1 = static_cast<int>(std::ceil(y + h));
    for (int py = y0; py < y1; ++py) {
        const Colour c = fill.At(h > 1 ? (py + 0.5 - y) / h : 0);
        for (int px = x0; px < x1; ++px) {
            const double d = RoundRectDistance(px + 0.5, py + 0.5, x, y, w, h, r);
            BlendPixel(bitmap, px, py, c, Clamp01(0.5 - d));
        }
    }
}

void StrokeRoundRect(plat::Bitmap& bitmap, double x, double y, double w, double h, double r,
                     double width, Colour c) {
    r = std::min({r, w / 2, h / 2});
    const int x0 = static_cast<int>(std::floor(x)), x1 = static_cast<int>(std::ceil(x + w));
    const int y0 = static_cast<int>(std::floor(y)), y1 = static_cast<int>(std::ceil(y + h));
    for (int py = y0; py < y1; ++py)
        for (int px = x0; px < x1; ++px) {
            const double d = RoundRectDistance(px + 0.5, py + 0.5, x, y, w, h, r);
            const double cover = Clamp01(0.5 - d) * Clamp01(0.5 + d + width);
            BlendPixel(bitmap, px, py, c, cover);
        }
}

void FillCircle(plat::Bitmap& bitmap, double cx, double cy, double radius, const Fill& fill) {
    const int x0 = static_cast<int>(std::floor(cx - radius - 1));
    const int x1 = static_cast<int>(std::ceil(cx + radius + 1));
    const int y0 = static_cast<int>(std::floor(cy - radius - 1));
    const int y1 = static_cast<int>(std::ceil(cy + radius + 1));
    for (int py = y0; py < y1; ++py) {
        const Colour c = fill.At((py + 0.5 - (cy - radius)) / (2 * radius));
        for (int px = x0; px < x1; ++px) {
            const double d = std::hypot(px + 0.5 - cx, py + 0.5 - cy) - radius;
            BlendPixel(bitmap, px, py, c, Clamp01(0.5 - d));
        }
    }
}

void StrokeCircle(plat::Bitmap& bitmap, double cx, double cy, double radius, double width,
                  Colour c) {
    const int x0 = static_cast<int>(std::floor(cx - radius - 1));
    const int x1 = static_cast<int>(std::ceil(cx + radius + 1));
    const int y0 = static_cast<int>(std::floor(cy - radius - 1));
    const int y1 = static_cast<int>(std::ceil(cy + radius + 1));
    for (int py = y0; py < y1; ++py)
        for (int px = x0; px < x1; ++px) {
            const double d = std::hypot(px + 0.5 - cx, py + 0.5 - cy) - radius;
            BlendPixel(bitmap, px, py, c, Clamp01(0.5 - d) * Clamp01(0.5 + d + width));
        }
}

void Glow(plat::Bitmap& bitmap, double cx, double cy, double radius, Colour c) {
    const int x0 = static_cast<int>(cx - radius), x1 = static_cast<int>(cx + radius) + 1;
    const int y0 = static_cast<int>(cy - radius), y1 = static_cast<int>(cy + radius) + 1;
    for (int py = y0; py < y1; ++py)
        for (int px = x0; px < x1; ++px) {
            const double d = std::hypot(px + 0.5 - cx, py + 0.5 - cy) / radius;
            if (d < 1)
                BlendPixel(bitmap, px, py, c, (1 - d) * (1 - d));
        }
}

void FillPolygon(plat::Bitmap& bitmap, const std::vector<std::pair<double, double>>& points,
                 const Fill& fill, double top, double bottom) {
    if (points.size() < 3)
        return;
    double minY = points[0].second, maxY = points[0].second;
    double minX = points[0].first, maxX = points[0].first;
    for (const auto& [px, py] : points) {
        minY = std::min(minY, py);
        maxY = std::max(maxY, py);
        minX = std::min(minX, px);
        maxX = std::max(maxX, px);
    }
    const int x0 = std::max(0, static_cast<int>(std::floor(minX)));
    const int x1 = std::min(bitmap.Width(), static_cast<int>(std::ceil(maxX)));
    const int y0 = std::max(0, static_cast<int>(std::floor(minY)));
    const int y1 = std::min(bitmap.Height(), static_cast<int>(std::ceil(maxY)));
    constexpr int kSamples = 4;
    std::vector<double> crossings;
    std::vector<int> cover(static_cast<std::size_t>(std::max(0, x1 - x0)));
    for (int py = y0; py < y1; ++py) {
        std::fill(cover.begin(), cover.end(), 0);
        for (int s = 0; s < kSamples; ++s) {
            const double sy = py + (s + 0.5) / kSamples;
            crossings.clear();
            for (std::size_t i = 0; i < points.size(); ++i) {
                const auto& a = points[i];
                const auto& b = points[(i + 1) % points.size()];
                if ((a.second <= sy) != (b.second <= sy))
                    crossings.push_back(a.first + (sy - a.second) / (b.second - a.second) *
                                                      (b.first - a.first));
            }
            std::sort(crossings.begin(), crossings.end());
            for (std::size_t i = 0; i + 1 < crossings.size(); i += 2)
                for (int sx = 0; sx < (x1 - x0) * kSamples; ++sx) {
                    const double x = x0 + (sx + 0.5) / kSamples;
                    if (x >= crossings[i] && x < crossings[i + 1])
                        ++cover[static_cast<std::size_t>(sx / kSamples)];
                }
        }
        const Colour c = fill.At(bottom > top ? (py - top) / (bottom - top) : 0);
        for (int px = x0; px < x1; ++px)
            BlendPixel(bitmap, px, py, c,
                       cover[static_cast<std::size_t>(px - x0)] / double(kSamples * kSamples));
    }
}

void Line(plat::Bitmap& bitmap, double x0, double y0, double x1, double y1, double width,
          Colour c) {
    const double half = width / 2;
    const int left = static_cast<int>(std::floor(std::min(x0, x1) - half - 1));
    const int right = static_cast<int>(std::ceil(std::max(x0, x1) + half + 1));
    const int top = static_cast<int>(std::floor(std::min(y0, y1) - half - 1));
    const int bottom = static_cast<int>(std::ceil(std::max(y0, y1) + half + 1));
    const double dx = x1 - x0, dy = y1 - y0;
    const double length2 = dx * dx + dy * dy;
    for (int py = top; py < bottom; ++py)
        for (int px = left; px < right; ++px) {
            const double qx = px + 0.5, qy = py + 0.5;
            double t = length2 > 0 ? ((qx - x0) * dx + (qy - y0) * dy) / length2 : 0;
            t = Clamp01(t);
            const double d = std::hypot(qx - (x0 + t * dx), qy - (y0 + t * dy)) - half;
            BlendPixel(bitmap, px, py, c, Clamp01(0.5 - d));
        }
}

std::shared_ptr<const plat::Font> MakeFont(const std::wstring& face, int emPixels, int weight) {
    plat::LogFont description;
    description.faceName = face;
    description.height = -emPixels;
    description.weight = weight;
    return plat::Font::Create(description);
}

int TextWidth(const plat::Font& font, const std::wstring& text) {
    return font.TextExtent(text).cx;
}

void Text(plat::Bitmap& bitmap, const plat::Font& font, const std::wstring& text, int x, int y,
          Colour c, bool centred) {
    // Text is drawn into its own layer, then composed with the colour's
    // alpha, so translucent text works over any background.
    const plat::Size extent = font.TextExtent(text);
    if (extent.cx <= 0 || extent.cy <= 0)
        return;
    plat::Bitmap layer;
    if (!layer.Create(extent.cx + 2, extent.cy))
        return;
    plat::Canvas canvas(&layer);
    canvas.SelectFont(std::shared_ptr<const plat::Font>(&font, [](const plat::Font*) {}));
    canvas.SetTextColor(plat::RGB(255, 255, 255));
    canvas.SetBkMode(plat::TRANSPARENT);
    plat::Rect line{1, 0, extent.cx + 1, extent.cy};
    plat::DrawText(canvas, text, &line, plat::DT_LEFT | plat::DT_SINGLELINE | plat::DT_NOPREFIX);
    const int left = (centred ? x - extent.cx / 2 : x) - 1;
    for (int row = 0; row < layer.Height(); ++row)
        for (int col = 0; col < layer.Width(); ++col) {
            const std::uint8_t coverage = plat::PixelA(layer.Pixel(col, row));
            if (coverage)
                BlendPixel(bitmap, left + col, y + row, c, coverage / 255.0);
        }
}

} // namespace themegen
