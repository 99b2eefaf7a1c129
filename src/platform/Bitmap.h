#pragma once
// The 32-bit bitmap every picture of the launcher lives in, standing in for a
// top-down DIB section: rows top to bottom, each pixel four bytes in the order
// blue, green, red, alpha, colours premultiplied by alpha. A pixel value read
// as a 32-bit number is therefore A << 24 | R << 16 | G << 8 | B.
// Not thread-safe; a bitmap belongs to whoever made it.

#include "platform/Geometry.h"

#include <cstdint>
#include <vector>

namespace plat {

constexpr std::uint32_t MakePixel(std::uint8_t b, std::uint8_t g, std::uint8_t r, std::uint8_t a) {
    return static_cast<std::uint32_t>(b) | static_cast<std::uint32_t>(g) << 8 |
           static_cast<std::uint32_t>(r) << 16 | static_cast<std::uint32_t>(a) << 24;
}
constexpr std::uint8_t PixelB(std::uint32_t p) {
    return static_cast<std::uint8_t>(p);
}
constexpr std::uint8_t PixelG(std::uint32_t p) {
    return static_cast<std::uint8_t>(p >> 8);
}
constexpr std::uint8_t PixelR(std::uint32_t p) {
    return static_cast<std::uint8_t>(p >> 16);
}
constexpr std::uint8_t PixelA(std::uint32_t p) {
    return static_cast<std::uint8_t>(p >> 24);
}

// A premultiplied pixel's colours taken back to straight ones (alpha kept),
// for the formats that want them (PNG files, window icons).
std::uint32_t StraightPixel(std::uint32_t premultiplied);

class Bitmap {
public:
    // The largest side a bitmap may have, and the most pixels it may hold
    // (1 GiB of pixels), so a size that came from outside never overflows.
    static constexpr int kMaxSide = 32767;
    static constexpr std::uint64_t kMaxPixels = std::uint64_t{1} << 28;

    Bitmap() = default;

    // Makes a bitmap of that size, every pixel transparent black. False with
    // 87 (invalid parameter) for a side below 1 or beyond the limits, 8 (not
    // enough memory) when the pixels cannot be had; the bitmap is then empty.
    bool Create(int width, int height);
    void Reset();

    bool IsEmpty() const { return pixels_.empty(); }
    int Width() const { return width_; }
    int Height() const { return height_; }
    Rect Bounds() const { return Rect{0, 0, width_, height_}; }
    // Bytes per row (no padding).
    int Stride() const { return width_ * 4; }

    std::uint32_t* Row(int y) { return pixels_.data() + static_cast<std::size_t>(y) * width_; }
    const std::uint32_t* Row(int y) const {
        return pixels_.data() + static_cast<std::size_t>(y) * width_;
    }
    std::uint8_t* Bits() { return reinterpret_cast<std::uint8_t*>(pixels_.data()); }
    const std::uint8_t* Bits() const {
        return reinterpret_cast<const std::uint8_t*>(pixels_.data());
    }
    std::uint32_t Pixel(int x, int y) const { return Row(y)[x]; }
    void SetPixel(int x, int y, std::uint32_t value) { Row(y)[x] = value; }

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint32_t> pixels_;
};

} // namespace plat
