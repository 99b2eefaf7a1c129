// Painting the notification-area icon: the picture, scaled to the space the
// tray gives the icon window, blended over what the tray shows behind it.

#include "platform/posix/X11TrayDock.h"

#include "platform/Canvas.h"

#include <X11/Xutil.h>

#include <algorithm>

namespace plat::posix {

// Averages the source pixels under each target pixel (a box filter), so a
// large icon shrinks without losing its lines; premultiplied channels
// average correctly as they stand.
bool ScaleTrayPicture(const Bitmap& source, int side, Bitmap* target) {
    if (source.IsEmpty() || !target->Create(side, side))
        return false;
    const int sw = source.Width(), sh = source.Height();
    for (int y = 0; y < side; ++y) {
        const int y0 = y * sh / side;
        const int y1 = std::max(y0 + 1, (y + 1) * sh / side);
        for (int x = 0; x < side; ++x) {
            const int x0 = x * sw / side;
            const int x1 = std::max(x0 + 1, (x + 1) * sw / side);
            std::uint64_t sum[4] = {0, 0, 0, 0};
            for (int sy = y0; sy < y1; ++sy)
                for (int sx = x0; sx < x1; ++sx) {
                    const std::uint32_t p = source.Pixel(sx, sy);
                    for (int c = 0; c < 4; ++c)
                        sum[c] += (p >> (8 * c)) & 0xFF;
                }
            const std::uint64_t count = static_cast<std::uint64_t>(y1 - y0) * (x1 - x0);
            std::uint32_t pixel = 0;
            for (int c = 0; c < 4; ++c)
                pixel |= static_cast<std::uint32_t>((sum[c] + count / 2) / count) << (8 * c);
            target->SetPixel(x, y, pixel);
        }
    }
    return true;
}

void X11TrayDock::Paint() {
    if (icon_ == None || !gc_ || Broken() || size_.cx < 1 || size_.cy < 1 ||
        size_.cx > kLargestSide || size_.cy > kLargestSide)
        return;
    const unsigned width = static_cast<unsigned>(size_.cx);
    const unsigned height = static_cast<unsigned>(size_.cy);
    Bitmap frame;
    if (!frame.Create(size_.cx, size_.cy))
        return;
    if (iconDepth_ != 32) {
        // What the tray shows behind the icon, read back after clearing to
        // it; a window that cannot be read (not yet shown) gets a neutral
        // grey. A window with alpha starts transparent instead.
        XClearWindow(display_, icon_);
        if (XImage* back = XGetImage(display_, icon_, 0, 0, width, height, AllPlanes, ZPixmap)) {
            for (int y = 0; y < size_.cy; ++y)
                for (int x = 0; x < size_.cx; ++x)
                    frame.SetPixel(x, y,
                                   static_cast<std::uint32_t>(XGetPixel(back, x, y)) | 0xFF000000u);
            XDestroyImage(back);
        } else {
            Canvas canvas(&frame);
            FillRect(canvas, frame.Bounds(), RGB(64, 64, 64));
        }
    }
    // The picture fills the smaller side, centred.
    const int side = std::min(size_.cx, size_.cy);
    Bitmap scaled;
    if (ScaleTrayPicture(picture_, side, &scaled)) {
        Canvas canvas(&frame);
        AlphaBlend(canvas, (size_.cx - side) / 2, (size_.cy - side) / 2, side, side, scaled, 0, 0,
                   side, side, BlendFunction{});
    }
    XImage* image =
        XCreateImage(display_, iconVisual_, static_cast<unsigned>(iconDepth_), ZPixmap, 0,
                     reinterpret_cast<char*>(frame.Bits()), width, height, 32, frame.Stride());
    if (!image)
        return;
    image->byte_order = LSBFirst; // the bitmap's B, G, R, A bytes
    image->bitmap_bit_order = LSBFirst;
    XPutImage(display_, icon_, gc_, image, 0, 0, 0, 0, width, height);
    image->data = nullptr; // the pixels are the bitmap's
    XDestroyImage(image);
    XFlush(display_);
}

} // namespace plat::posix
