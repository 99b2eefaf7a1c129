// Fuzz target for theme picture decoding: arbitrary bytes must give either no
// bitmap at all or a whole one within the size limit, and the region built
// from its alpha must hold exactly its pixels at or above the threshold.

#include "skin/SkinImage.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    plat::Bitmap bitmap;
    const bool fallback = size > 0 && (data[size - 1] & 1);
    if (!skin::DecodeImage(data, size, fallback, &bitmap)) {
        if (!bitmap.IsEmpty())
            __builtin_trap(); // a refused picture leaves nothing behind
        return 0;
    }
    if (bitmap.Width() < 1 || bitmap.Height() < 1 || bitmap.Width() > skin::kMaxImageSide ||
        bitmap.Height() > skin::kMaxImageSide)
        __builtin_trap();
    // Premultiplied: no colour above its alpha.
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x) {
            const std::uint32_t p = bitmap.Pixel(x, y);
            if (plat::PixelB(p) > plat::PixelA(p) || plat::PixelG(p) > plat::PixelA(p) ||
                plat::PixelR(p) > plat::PixelA(p))
                __builtin_trap();
        }
    const std::uint8_t threshold = size > 1 ? data[size - 2] : 50;
    plat::Region region;
    if (!skin::RegionFromAlpha(bitmap, threshold, &region))
        __builtin_trap();
    if (bitmap.Width() * bitmap.Height() <= 4096) {
        for (int y = 0; y < bitmap.Height(); ++y)
            for (int x = 0; x < bitmap.Width(); ++x)
                if (region.Contains(x, y) != (plat::PixelA(bitmap.Pixel(x, y)) >= threshold))
                    __builtin_trap();
    }
    return 0;
}
