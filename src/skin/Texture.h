#pragma once
// Textures: one picture holding several pieces on a key colour (the colour
// of its top-left pixel, all four bytes). Every other pixel belongs to a
// piece; pieces are the 4-connected areas of such pixels, numbered in the
// order the scan (rows top to bottom, each left to right) first meets them.
// Each piece becomes a picture of its bounding box in which the pixels of
// other pieces and the key colour are transparent. Pure functions; any
// thread.

#include "platform/Bitmap.h"

#include <vector>

namespace skin {

// The most provisional pieces one scan may open.
constexpr int kMaxTexturePieces = 254;

// Slices the texture into `pieces`. False (no pieces) for an empty texture
// or one that opens more than kMaxTexturePieces provisional pieces.
bool SliceTexture(const plat::Bitmap& texture, std::vector<plat::Bitmap>* pieces);

} // namespace skin
