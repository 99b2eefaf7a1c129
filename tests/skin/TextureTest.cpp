// Slicing textures into pieces: the key colour, 4-connected pieces in scan
// order, merged pieces keeping the smaller number, transparent
// surroundings, and the limit on provisional pieces.

#include "skin/Texture.h"

#include "SkinTestSupport.h"

#include <gtest/gtest.h>

namespace {

using skintest::Opaque;

// A texture from rows of characters: '.' is the key colour (top-left),
// letters are pixels of those colours.
plat::Bitmap FromRows(const std::vector<std::string>& rows) {
    plat::Bitmap bitmap;
    bitmap.Create(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x) {
            const char c = rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)];
            bitmap.SetPixel(x, y,
                            c == '.'   ? Opaque(plat::RGB(255, 0, 255))
                            : c == 'r' ? Opaque(skintest::kRed)
                            : c == 'g' ? Opaque(skintest::kGreen)
                            : c == 't' ? 0u
                                       : Opaque(skintest::kBlue));
        }
    return bitmap;
}

TEST(SliceTexture, PiecesComeInScanOrderWithTheirBoundingBoxes) {
    const plat::Bitmap texture = FromRows({
        "......",
        ".rr.g.",
        ".r..g.",
        "....g.",
        ".bbb..",
    });
    std::vector<plat::Bitmap> pieces;
    ASSERT_TRUE(skin::SliceTexture(texture, &pieces));
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[0].Width(), 2);
    EXPECT_EQ(pieces[0].Height(), 2);
    // Inside the box, pixels of no piece are transparent.
    EXPECT_EQ(pieces[0].Pixel(1, 1), 0u);
    EXPECT_EQ(pieces[0].Pixel(0, 1), Opaque(skintest::kRed));
    EXPECT_EQ(pieces[1].Height(), 3);
    EXPECT_EQ(pieces[2].Width(), 3);
}

TEST(SliceTexture, DiagonalNeighboursStaySeparateAndJoinedPiecesTakeTheSmallerNumber) {
    // Two arms that meet lower down form one piece, numbered where the scan
    // first met it; a piece touching it only diagonally stays its own.
    const plat::Bitmap texture = FromRows({
        ".......",
        ".r.r...",
        ".r.r...",
        ".rrr...",
        "....g..",
    });
    std::vector<plat::Bitmap> pieces;
    ASSERT_TRUE(skin::SliceTexture(texture, &pieces));
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0].Width(), 3);
    EXPECT_EQ(pieces[0].Height(), 3);
    EXPECT_EQ(pieces[1].Width(), 1);
}

TEST(SliceTexture, TransparentPixelsBelongToPiecesAndTheKeyIsTheTopLeftPixel) {
    // The key is whatever the top-left pixel holds: here a fully
    // transparent pixel is a piece pixel, and blue is the key.
    plat::Bitmap texture = FromRows({
        "bbbb",
        "btrb",
        "bbbb",
    });
    std::vector<plat::Bitmap> pieces;
    ASSERT_TRUE(skin::SliceTexture(texture, &pieces));
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0].Width(), 2);
}

TEST(SliceTexture, TooManyProvisionalPiecesFail) {
    // 255 single pixels on a key background.
    plat::Bitmap texture;
    ASSERT_TRUE(texture.Create(2 * 255 + 1, 2));
    for (int x = 0; x < texture.Width(); ++x) {
        texture.SetPixel(x, 0, Opaque(plat::RGB(255, 0, 255)));
        texture.SetPixel(x, 1, Opaque(x % 2 ? skintest::kRed : plat::RGB(255, 0, 255)));
    }
    std::vector<plat::Bitmap> pieces{plat::Bitmap()};
    EXPECT_FALSE(skin::SliceTexture(texture, &pieces));
    EXPECT_TRUE(pieces.empty());
    // 254 are allowed.
    plat::Bitmap fewer;
    ASSERT_TRUE(fewer.Create(2 * 254 + 1, 2));
    for (int x = 0; x < fewer.Width(); ++x) {
        fewer.SetPixel(x, 0, Opaque(plat::RGB(255, 0, 255)));
        fewer.SetPixel(x, 1, Opaque(x % 2 ? skintest::kRed : plat::RGB(255, 0, 255)));
    }
    ASSERT_TRUE(skin::SliceTexture(fewer, &pieces));
    EXPECT_EQ(pieces.size(), 254u);
}

} // namespace
