// Fuzz target for theme picture decoding: arbitrary bytes must give either no
// bitmap at all or a whole one within the size limit, and the region built
// from its alpha must hold exactly its pixels at or above the threshold.
// Inputs whose last byte is odd get their chunk checksums put right first,
// so that mutations reach past the checksum test into the decoder.

#include "base/Crc32.h"
#include "skin/SkinImage.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

std::uint32_t Big32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

void FixChecksums(std::string* png) {
    std::size_t at = 8;
    while (at + 12 <= png->size()) {
        auto* chunk = reinterpret_cast<unsigned char*>(png->data() + at);
        const std::uint32_t length = Big32(chunk);
        if (length > png->size() - at - 12)
            return;
        const std::uint32_t crc = base::Crc32(chunk + 4, length + 4);
        unsigned char* field = chunk + 8 + length;
        field[0] = static_cast<unsigned char>(crc >> 24);
        field[1] = static_cast<unsigned char>(crc >> 16);
        field[2] = static_cast<unsigned char>(crc >> 8);
        field[3] = static_cast<unsigned char>(crc);
        at += 12 + length;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* raw, std::size_t rawSize) {
    std::string input(reinterpret_cast<const char*>(raw), rawSize);
    if (rawSize > 0 && (raw[rawSize - 1] & 1))
        FixChecksums(&input);
    const auto* data = reinterpret_cast<const std::uint8_t*>(input.data());
    const std::size_t size = input.size();
    plat::Bitmap bitmap;
    const bool fallback = size > 1 && (data[size - 2] & 1);
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
    const std::uint8_t threshold = size > 2 ? data[size - 3] : 50;
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
