#pragma once
// Textures as the skin slices them: pieces on a key colour (magenta, the
// top-left pixel), separated by key-coloured gaps, numbered in scan order.
// Build-time only.

#include "Paint.h"

#include <functional>
#include <vector>

namespace themegen {

// The key colour of every generated texture.
constexpr Colour kKey = Rgb(255, 0, 255);

// Pieces side by side, their tops on one row: the scan meets them left to
// right.
plat::Bitmap RowTexture(const std::vector<plat::Bitmap>& pieces);
// Pieces one below the other: the scan meets them top to bottom.
plat::Bitmap ColumnTexture(const std::vector<plat::Bitmap>& pieces);
// A nine-slice set per state (4 states, 36 pieces) for a control `height`
// pixels high whose corners are `corner` pixels wide: `look(state)` draws
// the state at (2 x corner + 1) x height; the top half and the bottom half
// become the corner rows, so at its own height the control shows the look
// exactly and any width stretches the middle column.
plat::Bitmap NineSliceTexture(int height, int corner,
                              const std::function<plat::Bitmap(int state)>& look);
// A transparent bitmap of that size.
plat::Bitmap Blank(int width, int height);
// A copy of part of a bitmap.
plat::Bitmap Crop(const plat::Bitmap& source, int x, int y, int width, int height);

} // namespace themegen
