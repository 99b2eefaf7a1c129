#include "Textures.h"

#include "platform/Canvas.h"

#include <algorithm>

namespace themegen {

namespace {

const std::uint32_t kKeyPixel = plat::MakePixel(kKey.b, kKey.g, kKey.r, 255);

// Puts the piece at (x, y); a pixel that would read as the key colour is
// nudged so it stays part of its piece.
void Place(plat::Bitmap& texture, const plat::Bitmap& piece, int x, int y) {
    for (int row = 0; row < piece.Height(); ++row)
        for (int col = 0; col < piece.Width(); ++col) {
            std::uint32_t p = piece.Pixel(col, row);
            if (p == kKeyPixel)
                p = plat::MakePixel(kKey.b, 1, kKey.r, 255);
            texture.SetPixel(x + col, y + row, p);
        }
}

plat::Bitmap KeyBitmap(int width, int height) {
    plat::Bitmap bitmap;
    bitmap.Create(width, height);
    for (int y = 0; y < height; ++y)
        std::fill_n(bitmap.Row(y), width, kKeyPixel);
    return bitmap;
}

} // namespace

plat::Bitmap Blank(int width, int height) {
    plat::Bitmap bitmap;
    bitmap.Create(width, height);
    return bitmap;
}

plat::Bitmap Crop(const plat::Bitmap& source, int x, int y, int width, int height) {
    plat::Bitmap part = Blank(width, height);
    plat::Canvas canvas(&part);
    plat::BitBlt(canvas, 0, 0, width, height, source, x, y);
    return part;
}

plat::Bitmap RowTexture(const std::vector<plat::Bitmap>& pieces) {
    int width = 1, height = 0;
    for (const plat::Bitmap& piece : pieces) {
        width += piece.Width() + 1;
        height = std::max(height, piece.Height());
    }
    plat::Bitmap texture = KeyBitmap(width, height + 2);
    int x = 1;
    for (const plat::Bitmap& piece : pieces) {
        Place(texture, piece, x, 1);
        x += piece.Width() + 1;
    }
    return texture;
}

plat::Bitmap ColumnTexture(const std::vector<plat::Bitmap>& pieces) {
    int width = 0, height = 1;
    for (const plat::Bitmap& piece : pieces) {
        width = std::max(width, piece.Width());
        height += piece.Height() + 1;
    }
    plat::Bitmap texture = KeyBitmap(width + 2, height);
    int y = 1;
    for (const plat::Bitmap& piece : pieces) {
        Place(texture, piece, 1, y);
        y += piece.Height() + 1;
    }
    return texture;
}

plat::Bitmap NineSliceTexture(int height, int corner,
                              const std::function<plat::Bitmap(int state)>& look) {
    const int top = height / 2, bottom = height - top;
    const int blockWidth = corner + 1 + 1 + 1 + corner;
    const int blockHeight = top + 1 + 1 + 1 + bottom;
    plat::Bitmap texture = KeyBitmap(blockWidth + 2, 1 + 4 * (blockHeight + 1));
    for (int state = 0; state < 4; ++state) {
        const plat::Bitmap full = look(state);
        const int y0 = 1 + state * (blockHeight + 1);
        const int rows[3] = {y0, y0 + top + 1, y0 + top + 3};
        const int sourceRows[3] = {0, top, top};
        const int heights[3] = {top, 1, bottom};
        const int columns[3] = {1, 1 + corner + 1, 1 + corner + 3};
        const int sourceColumns[3] = {0, corner, corner + 1};
        const int widths[3] = {corner, 1, corner};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                Place(texture, Crop(full, sourceColumns[c], sourceRows[r], widths[c], heights[r]),
                      columns[c], rows[r]);
    }
    return texture;
}

} // namespace themegen
