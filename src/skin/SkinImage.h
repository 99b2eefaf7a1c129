#pragma once
// The theme's pictures: PNG (or, as a fallback, uncompressed BMP) bytes
// from the resource archive decoded into premultiplied 32-bit bitmaps,
// companion alpha masks merged into them, and regions built from their
// alpha channel (the window's shape, the buttons' clickable areas).
// Hostile bytes are refused before anything is allocated for them: sides
// beyond kMaxImageSide, damaged or truncated data give no bitmap at all.
// Pure functions; any thread.

#include "platform/Bitmap.h"
#include "platform/Region.h"

#include <cstddef>
#include <cstdint>

namespace skin {

// The largest side of a theme picture.
constexpr int kMaxImageSide = 8192;

// Decodes PNG bytes (palette, grey, grey with alpha, RGB, RGBA; 1 to 16
// bits a sample, interlaced or not; a transparency chunk gives alpha) into
// `bitmap`, premultiplied. Bytes that are not a PNG are tried as a BMP
// (24 or 32 bits, uncompressed), which comes out opaque; such a picture is
// never transparent, so `premultiplyFallback` changes nothing for it.
// False, with `bitmap` emptied, for anything else.
bool DecodeImage(const void* bytes, std::size_t length, bool premultiplyFallback,
                 plat::Bitmap* bitmap);

// Each colour c of a pixel with alpha a becomes (a x c + 255) >> 8. False
// for an empty bitmap.
bool PremultiplyAlpha(plat::Bitmap* bitmap);

// Takes each mask pixel's blue byte m as the bitmap pixel's alpha, its
// colours becoming (m x c + 255) >> 8. False when the sizes differ.
bool MergeAlphaMask(plat::Bitmap* bitmap, const plat::Bitmap& mask);

// The pixels whose alpha is at least `threshold`, as maximal runs per row,
// joined to what `region` already holds. Built in one pass over the pixels.
// False for an empty bitmap.
bool RegionFromAlpha(const plat::Bitmap& bitmap, std::uint8_t threshold, plat::Region* region);

} // namespace skin
