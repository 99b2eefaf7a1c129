#include "platform/Bitmap.h"

#include "platform/Error.h"

#include <algorithm>
#include <new>

namespace plat {

bool Bitmap::Create(int width, int height) {
    Reset();
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide ||
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > kMaxPixels) {
        SetLastError(kErrInvalidParameter);
        return false;
    }
    try {
        pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
    } catch (const std::bad_alloc&) {
        SetLastError(kErrNotEnoughMemory);
        return false;
    }
    width_ = width;
    height_ = height;
    return true;
}

void Bitmap::Reset() {
    std::vector<std::uint32_t>().swap(pixels_);
    width_ = 0;
    height_ = 0;
}

std::uint32_t StraightPixel(std::uint32_t premultiplied) {
    const std::uint32_t a = PixelA(premultiplied);
    auto undo = [a](std::uint32_t c) {
        return static_cast<std::uint8_t>(
            a == 0 ? 0 : std::min<std::uint32_t>(255, (c * 255 + a / 2) / a));
    };
    return MakePixel(undo(PixelB(premultiplied)), undo(PixelG(premultiplied)),
                     undo(PixelR(premultiplied)), static_cast<std::uint8_t>(a));
}

} // namespace plat
