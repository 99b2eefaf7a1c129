// GDI objects from pictures and regions.

#include "platform/win32/GdiPicture.h"

#include "platform/win32/Handle.h"

#include <algorithm>
#include <vector>

namespace plat::win {

bool DibSection::Create(int width, int height) {
    Reset();
    if (width < 1 || height < 1 || width > Bitmap::kMaxSide || height > Bitmap::kMaxSide ||
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > Bitmap::kMaxPixels)
        return FailWith(kErrInvalidParameter);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_ = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap_ || !bits) {
        Reset();
        return FailWith(kErrNotEnoughMemory);
    }
    dc_ = ::CreateCompatibleDC(nullptr);
    if (!dc_) {
        Reset();
        return FailWith(kErrNotEnoughMemory);
    }
    previous_ = ::SelectObject(dc_, bitmap_);
    bits_ = static_cast<std::uint32_t*>(bits);
    width_ = width;
    height_ = height;
    std::fill_n(bits_, static_cast<std::size_t>(width) * height, 0u);
    return true;
}

void DibSection::Reset() {
    if (dc_) {
        if (previous_)
            ::SelectObject(dc_, previous_);
        ::DeleteDC(dc_);
    }
    if (bitmap_)
        ::DeleteObject(bitmap_);
    dc_ = nullptr;
    bitmap_ = nullptr;
    previous_ = nullptr;
    bits_ = nullptr;
    width_ = height_ = 0;
}

void DibSection::CopyFrom(const Bitmap& picture, const Rect& area) {
    if (!bits_)
        return;
    ::GdiFlush();
    const Rect r = area.Intersect(
        Rect{0, 0, std::min(width_, picture.Width()), std::min(height_, picture.Height())});
    for (int y = r.top; y < r.bottom; ++y)
        std::copy_n(picture.Row(y) + r.left, r.Width(), Row(y) + r.left);
}

void DibSection::CopyTo(Bitmap* picture) const {
    if (!bits_ || picture->Width() != width_ || picture->Height() != height_)
        return;
    ::GdiFlush();
    for (int y = 0; y < height_; ++y)
        std::copy_n(Row(y), width_, picture->Row(y));
}

HRGN MakeSystemRegion(const Region& region) {
    const std::vector<Rect>& rects = region.Rects();
    std::vector<std::uint8_t> data(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
    header->dwSize = sizeof(RGNDATAHEADER);
    header->iType = RDH_RECTANGLES;
    header->nCount = static_cast<DWORD>(rects.size());
    header->nRgnSize = static_cast<DWORD>(rects.size() * sizeof(RECT));
    const Rect bounds = region.Bounds();
    header->rcBound = RECT{bounds.left, bounds.top, bounds.right, bounds.bottom};
    auto* out = reinterpret_cast<RECT*>(data.data() + sizeof(RGNDATAHEADER));
    for (std::size_t i = 0; i < rects.size(); ++i)
        out[i] = RECT{rects[i].left, rects[i].top, rects[i].right, rects[i].bottom};
    HRGN made = ::ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()),
                                  reinterpret_cast<const RGNDATA*>(data.data()));
    return made ? made : ::CreateRectRgn(0, 0, 0, 0);
}

HICON MakeIcon(const Bitmap& picture) {
    if (picture.IsEmpty())
        return nullptr;
    DibSection color;
    if (!color.Create(picture.Width(), picture.Height()))
        return nullptr;
    // Icons take straight (not premultiplied) colours with their alpha.
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x)
            color.Row(y)[x] = StraightPixel(picture.Pixel(x, y));
    // The mask is all zero: the alpha channel decides what shows.
    const int maskStride = ((picture.Width() + 15) / 16) * 2;
    std::vector<std::uint8_t> maskBits(static_cast<std::size_t>(maskStride) * picture.Height(), 0);
    HBITMAP mask = ::CreateBitmap(picture.Width(), picture.Height(), 1, 1, maskBits.data());
    if (!mask)
        return nullptr;
    // An icon needs the colour bitmap out of any context.
    HBITMAP colorBitmap = static_cast<HBITMAP>(::GetCurrentObject(color.Dc(), OBJ_BITMAP));
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmMask = mask;
    info.hbmColor = colorBitmap;
    HICON icon = ::CreateIconIndirect(&info);
    ::DeleteObject(mask);
    return icon;
}

} // namespace plat::win
