#include "platform/Bitmap.h"

#include "platform/Error.h"

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

} // namespace plat
