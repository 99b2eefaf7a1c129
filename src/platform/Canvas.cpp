// The canvas state and the pixel operations: copies, nearest-neighbour
// stretching, alpha composition and fills, each walking the clip rectangles
// that meet its destination.

#include "platform/Canvas.h"

#include "platform/Error.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace plat {

namespace {

// x / 255 rounded to nearest (255 is odd, so there are no ties).
inline std::uint32_t Div255(std::uint32_t x) {
    return (x + 127) / 255;
}

// Maps destination column i of a w-wide stretch to its source column: the
// source pixel under the destination pixel's centre.
inline int SourceIndex(int i, int destinationSize, int sourceSize) {
    return static_cast<int>((static_cast<std::int64_t>(2 * i + 1) * sourceSize) /
                            (2 * static_cast<std::int64_t>(destinationSize)));
}

bool SourceInside(const Bitmap& source, int sx, int sy, int sw, int sh) {
    return sx >= 0 && sy >= 0 && sw > 0 && sh > 0 && sx <= source.Width() - sw &&
           sy <= source.Height() - sh;
}

bool Refuse() {
    SetLastError(kErrInvalidParameter);
    return false;
}

// Calls `draw(part)` for each clip rectangle's share of the destination
// rectangle (bitmap coordinates).
template <typename Draw> void ForEachClipped(const Canvas& canvas, const Rect& target, Draw draw) {
    const Rect bounds = target.Intersect(canvas.Clip().Bounds());
    if (bounds.IsEmpty())
        return;
    for (const Rect& clip : canvas.Clip().Rects()) {
        if (clip.top >= bounds.bottom)
            break;
        Rect part = clip.Intersect(bounds);
        if (!part.IsEmpty())
            draw(part);
    }
}

inline std::uint32_t BlendPremultiplied(std::uint32_t d, std::uint32_t s) {
    const std::uint32_t inverse = 255 - PixelA(s);
    if (inverse == 0)
        return s;
    if (inverse == 255)
        return d;
    auto channel = [&](int shift) {
        std::uint32_t value = ((s >> shift) & 0xFF) + Div255(((d >> shift) & 0xFF) * inverse);
        return std::min<std::uint32_t>(value, 255) << shift;
    };
    return channel(0) | channel(8) | channel(16) | channel(24);
}

inline std::uint32_t ScalePixel(std::uint32_t s, std::uint32_t alpha) {
    return Div255((s & 0xFF) * alpha) | Div255(((s >> 8) & 0xFF) * alpha) << 8 |
           Div255(((s >> 16) & 0xFF) * alpha) << 16 | Div255((s >> 24) * alpha) << 24;
}

inline std::uint32_t BlendConstant(std::uint32_t d, std::uint32_t s, std::uint32_t alpha) {
    const std::uint32_t inverse = 255 - alpha;
    auto channel = [&](int shift) {
        return Div255(((s >> shift) & 0xFF) * alpha + ((d >> shift) & 0xFF) * inverse) << shift;
    };
    return channel(0) | channel(8) | channel(16) | channel(24);
}

enum class Op { Copy, BlendSource, BlendConstant };

// The shared walk of copies and blends: destination rectangle (logical),
// source rectangle, and how each pixel lands.
bool Transfer(Canvas& canvas, int x, int y, int width, int height, const Bitmap& source, int sx,
              int sy, int sourceWidth, int sourceHeight, Op op, BlendFunction blend) {
    if (width <= 0 || height <= 0 || !SourceInside(source, sx, sy, sourceWidth, sourceHeight))
        return Refuse();
    const Rect target = Rect::FromSize(x + canvas.Origin().x, y + canvas.Origin().y, width, height);
    Bitmap& bitmap = *canvas.Target();
    const bool stretched = width != sourceWidth || height != sourceHeight;
    const std::uint32_t alpha = blend.constantAlpha;
    if (op != Op::Copy && alpha == 0)
        return true;
    if (op == Op::BlendConstant && alpha == 255)
        op = Op::Copy;

    std::vector<int> columns;
    ForEachClipped(canvas, target, [&](const Rect& part) {
        if (stretched) {
            columns.resize(static_cast<std::size_t>(part.Width()));
            for (int i = 0; i < part.Width(); ++i)
                columns[i] = sx + SourceIndex(part.left - target.left + i, width, sourceWidth);
        }
        for (int row = part.top; row < part.bottom; ++row) {
            const int sourceRow =
                sy + (stretched ? SourceIndex(row - target.top, height, sourceHeight)
                                : row - target.top);
            const std::uint32_t* from = source.Row(sourceRow);
            std::uint32_t* to = bitmap.Row(row) + part.left;
            const int first = sx + part.left - target.left;
            const int count = part.Width();
            if (!stretched && op == Op::Copy) {
                std::memmove(to, from + first, static_cast<std::size_t>(count) * 4);
                continue;
            }
            for (int i = 0; i < count; ++i) {
                const std::uint32_t s = from[stretched ? columns[i] : first + i];
                switch (op) {
                case Op::Copy:
                    to[i] = s;
                    break;
                case Op::BlendSource:
                    to[i] = BlendPremultiplied(to[i], alpha == 255 ? s : ScalePixel(s, alpha));
                    break;
                case Op::BlendConstant:
                    to[i] = BlendConstant(to[i], s, alpha);
                    break;
                }
            }
        }
    });
    return true;
}

} // namespace

Canvas::Canvas(Bitmap* target) : target_(target), clip_(target->Bounds()) {}

void Canvas::SetClip(const Region* clip) {
    clip_ = clip ? clip->Intersect(Region(target_->Bounds())) : Region(target_->Bounds());
}

void Canvas::IntersectClip(const Rect& rect) {
    clip_ = clip_.Intersect(Region(rect.Offset(origin_.x, origin_.y)));
}

COLORREF Canvas::SetTextColor(COLORREF color) {
    return std::exchange(textColor_, color);
}

int Canvas::SetBkMode(int mode) {
    return std::exchange(bkMode_, mode);
}

COLORREF Canvas::SetBkColor(COLORREF color) {
    return std::exchange(bkColor_, color);
}

unsigned Canvas::SetTextAlign(unsigned align) {
    return std::exchange(textAlign_, align);
}

std::shared_ptr<const Font> Canvas::SelectFont(std::shared_ptr<const Font> font) {
    return std::exchange(font_, std::move(font));
}

bool BitBlt(Canvas& destination, int x, int y, int width, int height, const Bitmap& source, int sx,
            int sy) {
    if (width == 0 || height == 0)
        return true;
    return Transfer(destination, x, y, width, height, source, sx, sy, width, height, Op::Copy, {});
}

bool StretchBlt(Canvas& destination, int x, int y, int width, int height, const Bitmap& source,
                int sx, int sy, int sourceWidth, int sourceHeight) {
    return Transfer(destination, x, y, width, height, source, sx, sy, sourceWidth, sourceHeight,
                    Op::Copy, {});
}

bool AlphaBlend(Canvas& destination, int x, int y, int width, int height, const Bitmap& source,
                int sx, int sy, int sourceWidth, int sourceHeight, BlendFunction blend) {
    return Transfer(destination, x, y, width, height, source, sx, sy, sourceWidth, sourceHeight,
                    blend.sourceAlpha ? Op::BlendSource : Op::BlendConstant, blend);
}

void FillPixels(Canvas& destination, const Rect& rect, std::uint32_t pixel) {
    const Rect target = rect.Offset(destination.Origin().x, destination.Origin().y);
    Bitmap& bitmap = *destination.Target();
    ForEachClipped(destination, target, [&](const Rect& part) {
        for (int row = part.top; row < part.bottom; ++row)
            std::fill_n(bitmap.Row(row) + part.left, part.Width(), pixel);
    });
}

void FillRect(Canvas& destination, const Rect& rect, COLORREF color) {
    FillPixels(destination, rect,
               MakePixel(GetBValue(color), GetGValue(color), GetRValue(color), 255));
}

} // namespace plat
