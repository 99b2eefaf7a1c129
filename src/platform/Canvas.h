#pragma once
// Drawing onto a bitmap, standing in for a memory device context with a DIB
// section selected: a target bitmap, a clip region, a viewport origin, and
// the text state (colour, background mode and colour, alignment, font).
// The drawing calls below take the canvas where Windows takes the context:
// BitBlt and StretchBlt copy (nearest neighbour when sizes differ),
// AlphaBlend composes premultiplied pixels exactly as the Windows call does,
// FillRect paints an opaque colour. Every call draws only inside the clip
// region and the target. Not thread-safe; a canvas belongs to one thread.

#include "platform/Bitmap.h"
#include "platform/Geometry.h"
#include "platform/Region.h"

#include <cstdint>
#include <memory>

namespace plat {

class Font;

// The BLENDFUNCTION of AlphaBlend: the constant alpha applied to every source
// pixel, and whether the source's own (premultiplied) alpha is used
// (AC_SRC_ALPHA) or the source counts as opaque.
struct BlendFunction {
    std::uint8_t constantAlpha = 255;
    bool sourceAlpha = true;
};

// Background modes of text drawing.
enum BkMode : int { TRANSPARENT = 1, OPAQUE = 2 };

// Text alignment of TextOut (SetTextAlign); horizontal and vertical values
// are or-ed.
enum TextAlign : unsigned {
    TA_LEFT = 0,
    TA_TOP = 0,
    TA_RIGHT = 2,
    TA_CENTER = 6,
    TA_BOTTOM = 8,
    TA_BASELINE = 24,
};

class Canvas {
public:
    // Draws into `target`, which must outlive the canvas. The whole bitmap
    // is the clip area and the origin is (0, 0).
    explicit Canvas(Bitmap* target);

    Bitmap* Target() const { return target_; }

    // The viewport origin: logical (0, 0) lands on this point of the bitmap
    // (SetViewportOrgEx). Coordinates given to the drawing calls are logical.
    void SetOrigin(Point origin) { origin_ = origin; }
    Point Origin() const { return origin_; }

    // SelectClipRgn: the area drawing may touch, in bitmap coordinates; null
    // makes the whole bitmap drawable again.
    void SetClip(const Region* clip);
    // IntersectClipRect, in logical coordinates.
    void IntersectClip(const Rect& rect);
    // The drawable area in bitmap coordinates (always within the bitmap).
    const Region& Clip() const { return clip_; }

    COLORREF SetTextColor(COLORREF color);
    COLORREF TextColor() const { return textColor_; }
    int SetBkMode(int mode);
    int BkMode() const { return bkMode_; }
    COLORREF SetBkColor(COLORREF color);
    COLORREF BkColor() const { return bkColor_; }
    unsigned SetTextAlign(unsigned align);
    unsigned TextAlignment() const { return textAlign_; }
    // SelectObject for fonts: the canvas keeps the font alive while it is
    // selected; returns the one selected before (null at first, when text
    // calls use the default font).
    std::shared_ptr<const Font> SelectFont(std::shared_ptr<const Font> font);
    const std::shared_ptr<const Font>& SelectedFont() const { return font_; }

private:
    Bitmap* target_;
    Region clip_;
    Point origin_;
    COLORREF textColor_ = 0;
    COLORREF bkColor_ = RGB(255, 255, 255);
    int bkMode_ = OPAQUE;
    unsigned textAlign_ = TA_LEFT | TA_TOP;
    std::shared_ptr<const Font> font_;
};

// Copies a w x h block of `source` from (sx, sy) to (x, y). False (87) when
// the block leaves the source or a side is negative.
bool BitBlt(Canvas& destination, int x, int y, int width, int height, const Bitmap& source, int sx,
            int sy);
// Copies the source rectangle into the destination rectangle, stretching
// with the nearest source pixel (the colour-on-colour mode). False (87)
// when a side is not positive or the source rectangle leaves the bitmap.
bool StretchBlt(Canvas& destination, int x, int y, int width, int height, const Bitmap& source,
                int sx, int sy, int sourceWidth, int sourceHeight);
// Composes the source rectangle over the destination rectangle, stretched
// like StretchBlt. With per-pixel alpha each source channel s (alpha
// included) first becomes s x constant alpha / 255, then every destination
// channel d becomes s + d x (255 - source alpha) / 255; without it every
// channel becomes s x constant alpha / 255 + d x (255 - constant alpha) / 255;
// each division rounds to nearest, as the Windows call does. False (87) when
// a side is not positive or the source rectangle leaves the bitmap.
bool AlphaBlend(Canvas& destination, int x, int y, int width, int height, const Bitmap& source,
                int sx, int sy, int sourceWidth, int sourceHeight, BlendFunction blend);
// Paints the rectangle with an opaque colour.
void FillRect(Canvas& destination, const Rect& rect, COLORREF color);
// Paints the rectangle with a premultiplied pixel value as it stands
// (transparent black clears).
void FillPixels(Canvas& destination, const Rect& rect, std::uint32_t pixel);

} // namespace plat
