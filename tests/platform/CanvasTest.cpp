// Pixel probes of the drawing calls on generated bitmaps: composition as the
// Windows AlphaBlend gives it, constant alpha, nearest-neighbour stretching,
// fills, and clipping by region and viewport origin.

#include "platform/Canvas.h"

#include "platform/Error.h"

#include <gtest/gtest.h>

namespace {

using plat::Bitmap;
using plat::Canvas;
using plat::MakePixel;

Bitmap Filled(int w, int h, std::uint32_t pixel) {
    Bitmap b;
    EXPECT_TRUE(b.Create(w, h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.SetPixel(x, y, pixel);
    return b;
}

// The composition written out channel by channel, rounding to nearest.
std::uint32_t Expected(std::uint32_t d, std::uint32_t s, int constant) {
    auto ch = [](std::uint32_t p, int shift) { return static_cast<int>((p >> shift) & 0xFF); };
    const int sa = (ch(s, 24) * constant + 127) / 255;
    std::uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int sc = (ch(s, shift) * constant + 127) / 255;
        const int v = sc + (ch(d, shift) * (255 - sa) + 127) / 255;
        out |= static_cast<std::uint32_t>(v) << shift;
    }
    return out;
}

TEST(BitmapTest, CreateRefusesBadSizesAndStartsTransparent) {
    Bitmap b;
    EXPECT_FALSE(b.Create(0, 10));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidParameter);
    EXPECT_FALSE(b.Create(-5, 10));
    EXPECT_FALSE(b.Create(Bitmap::kMaxSide + 1, 1));
    EXPECT_FALSE(b.Create(30000, 30000)); // beyond the pixel limit
    EXPECT_TRUE(b.IsEmpty());
    ASSERT_TRUE(b.Create(3, 2));
    EXPECT_EQ(b.Stride(), 12);
    EXPECT_EQ(b.Pixel(2, 1), 0u);
    // Bytes in memory are B, G, R, A.
    b.SetPixel(0, 0, MakePixel(1, 2, 3, 4));
    EXPECT_EQ(b.Bits()[0], 1);
    EXPECT_EQ(b.Bits()[2], 3);
    EXPECT_EQ(b.Bits()[3], 4);
}

TEST(AlphaBlendTest, PerPixelAlphaComposesLikeWindows) {
    const std::uint32_t dst = MakePixel(200, 100, 50, 255);
    const std::uint32_t cases[] = {
        MakePixel(0, 0, 0, 0),       // transparent: destination stays
        MakePixel(10, 20, 30, 255),  // opaque: source replaces
        MakePixel(64, 32, 0, 128),   // half
        MakePixel(1, 1, 1, 1),       // nearly transparent
        MakePixel(100, 0, 100, 200), // mostly opaque
    };
    for (std::uint32_t src : cases) {
        Bitmap target = Filled(4, 4, dst);
        Bitmap source = Filled(2, 2, src);
        Canvas canvas(&target);
        ASSERT_TRUE(plat::AlphaBlend(canvas, 1, 1, 2, 2, source, 0, 0, 2, 2, {}));
        EXPECT_EQ(target.Pixel(1, 1), Expected(dst, src, 255)) << std::hex << src;
        EXPECT_EQ(target.Pixel(2, 2), Expected(dst, src, 255));
        EXPECT_EQ(target.Pixel(0, 0), dst); // outside the rectangle
        EXPECT_EQ(target.Pixel(3, 3), dst);
    }
    // Worked example: half-transparent grey over white.
    Bitmap white = Filled(1, 1, MakePixel(255, 255, 255, 255));
    Bitmap grey = Filled(1, 1, MakePixel(64, 64, 64, 128));
    Canvas canvas(&white);
    plat::AlphaBlend(canvas, 0, 0, 1, 1, grey, 0, 0, 1, 1, {});
    // 64 + 255 * 127 / 255 = 64 + 127 = 191, alpha 128 + 127 = 255.
    EXPECT_EQ(white.Pixel(0, 0), MakePixel(191, 191, 191, 255));
}

TEST(AlphaBlendTest, ConstantAlphaScalesTheSourceFirst) {
    const std::uint32_t dst = MakePixel(0, 0, 255, 255);
    const std::uint32_t src = MakePixel(200, 100, 50, 255);
    for (int constant : {0, 1, 64, 128, 254, 255}) {
        Bitmap target = Filled(1, 1, dst);
        Bitmap source = Filled(1, 1, src);
        Canvas canvas(&target);
        ASSERT_TRUE(plat::AlphaBlend(canvas, 0, 0, 1, 1, source, 0, 0, 1, 1,
                                     {static_cast<std::uint8_t>(constant), true}));
        EXPECT_EQ(target.Pixel(0, 0), Expected(dst, src, constant)) << constant;
    }
    // Constant alpha 128 over a half-transparent source.
    Bitmap target = Filled(1, 1, dst);
    Bitmap source = Filled(1, 1, MakePixel(100, 100, 100, 128));
    Canvas canvas(&target);
    plat::AlphaBlend(canvas, 0, 0, 1, 1, source, 0, 0, 1, 1, {128, true});
    // Source becomes (50, 50, 50, 64); red 255 * 191 / 255 = 191.
    EXPECT_EQ(target.Pixel(0, 0), MakePixel(50, 50, 50 + 191, 64 + 191));
}

TEST(AlphaBlendTest, WithoutSourceAlphaTheSourceCountsAsOpaque) {
    Bitmap target = Filled(1, 1, MakePixel(0, 0, 0, 255));
    // Per-pixel alpha 0 would hide the source; here it is ignored.
    Bitmap source = Filled(1, 1, MakePixel(255, 255, 255, 0));
    Canvas canvas(&target);
    plat::AlphaBlend(canvas, 0, 0, 1, 1, source, 0, 0, 1, 1, {128, false});
    EXPECT_EQ(target.Pixel(0, 0), MakePixel(128, 128, 128, 127));
}

TEST(AlphaBlendTest, RefusesBadRectanglesAndDrawsNothing) {
    const std::uint32_t dst = MakePixel(9, 9, 9, 255);
    Bitmap target = Filled(4, 4, dst);
    Bitmap source = Filled(2, 2, MakePixel(1, 2, 3, 255));
    Canvas canvas(&target);
    // Negative width (a nine-slice cell narrower than its corners).
    EXPECT_FALSE(plat::AlphaBlend(canvas, 0, 0, -1, 2, source, 0, 0, 2, 2, {}));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidParameter);
    // Source rectangle leaving the bitmap.
    EXPECT_FALSE(plat::AlphaBlend(canvas, 0, 0, 2, 2, source, 1, 0, 2, 2, {}));
    EXPECT_FALSE(plat::StretchBlt(canvas, 0, 0, 2, 2, source, 0, 0, 0, 2));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(target.Pixel(x, y), dst);
}

TEST(StretchTest, NearestNeighbourUpAndDown) {
    Bitmap source;
    ASSERT_TRUE(source.Create(2, 2));
    source.SetPixel(0, 0, MakePixel(1, 0, 0, 255));
    source.SetPixel(1, 0, MakePixel(2, 0, 0, 255));
    source.SetPixel(0, 1, MakePixel(3, 0, 0, 255));
    source.SetPixel(1, 1, MakePixel(4, 0, 0, 255));
    Bitmap big;
    ASSERT_TRUE(big.Create(4, 4));
    Canvas canvas(&big);
    ASSERT_TRUE(plat::StretchBlt(canvas, 0, 0, 4, 4, source, 0, 0, 2, 2));
    const int expected[4][4] = {{1, 1, 2, 2}, {1, 1, 2, 2}, {3, 3, 4, 4}, {3, 3, 4, 4}};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(plat::PixelB(big.Pixel(x, y)), expected[y][x]) << x << "," << y;

    // 3 columns into 2 take the pixels under the destination centres: 0, 2.
    Bitmap row;
    ASSERT_TRUE(row.Create(3, 1));
    for (int x = 0; x < 3; ++x)
        row.SetPixel(x, 0, MakePixel(static_cast<std::uint8_t>(10 + x), 0, 0, 255));
    Bitmap small;
    ASSERT_TRUE(small.Create(2, 1));
    Canvas smallCanvas(&small);
    ASSERT_TRUE(plat::StretchBlt(smallCanvas, 0, 0, 2, 1, row, 0, 0, 3, 1));
    EXPECT_EQ(plat::PixelB(small.Pixel(0, 0)), 10);
    EXPECT_EQ(plat::PixelB(small.Pixel(1, 0)), 12);

    // A 1-pixel edge stretched over a cell, blended, from a sub-rectangle.
    Bitmap cell = Filled(5, 3, MakePixel(0, 0, 0, 255));
    Canvas cellCanvas(&cell);
    ASSERT_TRUE(plat::AlphaBlend(cellCanvas, 1, 0, 3, 3, source, 1, 1, 1, 1, {}));
    EXPECT_EQ(plat::PixelB(cell.Pixel(0, 1)), 0);
    EXPECT_EQ(plat::PixelB(cell.Pixel(1, 1)), 4);
    EXPECT_EQ(plat::PixelB(cell.Pixel(3, 2)), 4);
    EXPECT_EQ(plat::PixelB(cell.Pixel(4, 2)), 0);
}

TEST(ClipTest, RegionAndOriginLimitEveryCall) {
    Bitmap target = Filled(10, 10, 0);
    Canvas canvas(&target);
    // Two separate squares may be drawn.
    plat::Region clip =
        plat::Region(plat::Rect{0, 0, 3, 3}).Union(plat::Region(plat::Rect{6, 6, 8, 8}));
    canvas.SetClip(&clip);
    plat::FillRect(canvas, plat::Rect{0, 0, 10, 10}, plat::RGB(255, 0, 0));
    int painted = 0;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            const bool inside = clip.Contains(x, y);
            painted += inside;
            EXPECT_EQ(target.Pixel(x, y), inside ? MakePixel(0, 0, 255, 255) : 0u) << x << "," << y;
        }
    EXPECT_EQ(painted, 13);

    // The origin moves logical coordinates; IntersectClip takes logical ones.
    Bitmap second = Filled(10, 10, 0);
    Canvas moved(&second);
    moved.SetOrigin(plat::Point{4, 5});
    moved.IntersectClip(plat::Rect{0, 0, 2, 2}); // bitmap (4,5)-(6,7)
    Bitmap source = Filled(4, 4, MakePixel(7, 7, 7, 255));
    ASSERT_TRUE(plat::BitBlt(moved, -1, -1, 4, 4, source, 0, 0));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            const bool inside = x >= 4 && x < 6 && y >= 5 && y < 7;
            EXPECT_EQ(second.Pixel(x, y), inside ? MakePixel(7, 7, 7, 255) : 0u) << x << "," << y;
        }

    // Drawing partly off the bitmap draws the part that is on it.
    Bitmap third = Filled(4, 4, 0);
    Canvas edge(&third);
    ASSERT_TRUE(plat::AlphaBlend(edge, 2, 2, 4, 4, source, 0, 0, 4, 4, {}));
    EXPECT_EQ(third.Pixel(3, 3), MakePixel(7, 7, 7, 255));
    EXPECT_EQ(third.Pixel(1, 1), 0u);
    // Clearing the clip makes the whole bitmap drawable again.
    canvas.SetClip(nullptr);
    EXPECT_EQ(canvas.Clip().Bounds(), target.Bounds());
}

TEST(FillTest, OpaqueColourWithRedInTheLowByte) {
    Bitmap target;
    ASSERT_TRUE(target.Create(2, 1));
    Canvas canvas(&target);
    plat::FillRect(canvas, plat::Rect{1, 0, 2, 1}, plat::RGB(10, 20, 30));
    EXPECT_EQ(target.Pixel(0, 0), 0u);
    EXPECT_EQ(target.Pixel(1, 0), MakePixel(30, 20, 10, 255));
    plat::FillPixels(canvas, plat::Rect{0, 0, 2, 1}, 0);
    EXPECT_EQ(target.Pixel(1, 0), 0u);
}

} // namespace
