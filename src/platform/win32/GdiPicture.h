#pragma once
// GDI objects made from the platform's pictures and regions: a top-down
// 32-bit DIB section with its memory context, a system region from a
// rectangle list, and icons from a premultiplied picture. Used by the
// presenter, the fonts and the tray dock on the thread that owns them.

#include "platform/win32/WinApi.h"

namespace plat::win {

// A top-down 32-bit DIB section selected into a memory device context.
class DibSection {
public:
    DibSection() = default;
    DibSection(const DibSection&) = delete;
    DibSection& operator=(const DibSection&) = delete;
    ~DibSection() { Reset(); }

    // False (last error set) when the sides are out of range or GDI refuses.
    bool Create(int width, int height);
    void Reset();

    bool IsEmpty() const { return bits_ == nullptr; }
    HDC Dc() const { return dc_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    std::uint32_t* Row(int y) const { return bits_ + static_cast<std::size_t>(y) * width_; }

    // Copies the rectangle of the picture (same coordinates) into the DIB.
    void CopyFrom(const Bitmap& picture, const Rect& area);
    // Copies the whole DIB into the picture (sizes must match).
    void CopyTo(Bitmap* picture) const;

private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    std::uint32_t* bits_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

// A system region covering the rectangles (null for an empty list is never
// returned: an empty region comes back).
HRGN MakeSystemRegion(const Region& region);

// An icon of the picture's size with its alpha; null on failure.
HICON MakeIcon(const Bitmap& picture);

} // namespace plat::win
