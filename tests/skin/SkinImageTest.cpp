// Theme pictures: PNG decoding of every colour type into premultiplied
// pixels, hostile files refused without a partial bitmap, the BMP fallback,
// alpha masks, and regions from alpha against a brute-force reference.

#include "skin/SkinImage.h"

#include "support/PngWriter.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using plat::Bitmap;
using plat::MakePixel;
using testsupport::PngLayout;

bool Decode(const std::string& bytes, Bitmap* bitmap, bool fallback = true) {
    return skin::DecodeImage(bytes.data(), bytes.size(), fallback, bitmap);
}

TEST(DecodeImageTest, RgbaComesOutPremultipliedInBgraOrder) {
    // Straight r, g, b, a: the worked example (blue 200, green 100, red 0,
    // alpha 128), an opaque pixel, a transparent one, a nearly opaque one.
    const std::string png = testsupport::WriteRgbaPng(
        4, 1, {0, 100, 200, 128, 10, 20, 30, 255, 255, 255, 255, 0, 250, 250, 250, 254});
    Bitmap bitmap;
    ASSERT_TRUE(Decode(png, &bitmap));
    ASSERT_EQ(bitmap.Width(), 4);
    ASSERT_EQ(bitmap.Height(), 1);
    EXPECT_EQ(bitmap.Pixel(0, 0), MakePixel(100, 50, 0, 128));
    EXPECT_EQ(bitmap.Pixel(1, 0), MakePixel(30, 20, 10, 255)); // unchanged at 255
    EXPECT_EQ(bitmap.Pixel(2, 0), MakePixel(0, 0, 0, 0));
    EXPECT_EQ(bitmap.Pixel(3, 0), MakePixel(249, 249, 249, 254)); // (254 x 250 + 255) >> 8
}

TEST(DecodeImageTest, EveryColourTypeAndDepth) {
    // Palette with a transparency chunk: alpha from the chunk.
    PngLayout palette;
    palette.width = 3;
    palette.colourType = 3;
    palette.palette = {255, 0, 0, 0, 255, 0, 0, 0, 255};
    palette.paletteAlpha = {255, 0, 128};
    palette.samples = {0, 1, 2};
    Bitmap bitmap;
    ASSERT_TRUE(Decode(testsupport::WritePng(palette), &bitmap));
    EXPECT_EQ(bitmap.Pixel(0, 0), MakePixel(0, 0, 255, 255));
    EXPECT_EQ(bitmap.Pixel(1, 0), MakePixel(0, 0, 0, 0));
    EXPECT_EQ(bitmap.Pixel(2, 0), MakePixel(128, 0, 0, 128));

    // Grey with alpha: B = G = R = grey.
    PngLayout greyAlpha;
    greyAlpha.width = 2;
    greyAlpha.colourType = 4;
    greyAlpha.samples = {200, 255, 100, 128};
    ASSERT_TRUE(Decode(testsupport::WritePng(greyAlpha), &bitmap));
    EXPECT_EQ(bitmap.Pixel(0, 0), MakePixel(200, 200, 200, 255));
    EXPECT_EQ(bitmap.Pixel(1, 0), MakePixel(50, 50, 50, 128));

    // 1-bit grey expands to 0 and 255, opaque.
    PngLayout bits;
    bits.width = 9;
    bits.colourType = 0;
    bits.bitDepth = 1;
    bits.samples = {1, 0, 1, 1, 0, 0, 0, 1, 1};
    ASSERT_TRUE(Decode(testsupport::WritePng(bits), &bitmap));
    EXPECT_EQ(bitmap.Pixel(0, 0), MakePixel(255, 255, 255, 255));
    EXPECT_EQ(bitmap.Pixel(1, 0), MakePixel(0, 0, 0, 255));
    EXPECT_EQ(bitmap.Pixel(8, 0), MakePixel(255, 255, 255, 255));

    // RGB without alpha is opaque.
    PngLayout rgb;
    rgb.colourType = 2;
    rgb.samples = {1, 2, 3};
    ASSERT_TRUE(Decode(testsupport::WritePng(rgb), &bitmap));
    EXPECT_EQ(bitmap.Pixel(0, 0), MakePixel(3, 2, 1, 255));

    // 16-bit samples are scaled to 8 bits.
    PngLayout deep;
    deep.bitDepth = 16;
    deep.samples = {65535, 32896, 0, 65535};
    ASSERT_TRUE(Decode(testsupport::WritePng(deep), &bitmap));
    EXPECT_EQ(bitmap.Pixel(0, 0), MakePixel(0, 128, 255, 255));
}

TEST(DecodeImageTest, InterlacedEqualsPlain) {
    PngLayout layout;
    layout.width = 13;
    layout.height = 11;
    std::mt19937 random(7);
    for (int i = 0; i < layout.width * layout.height * 4; ++i)
        layout.samples.push_back(static_cast<std::uint16_t>(random() & 0xFF));
    Bitmap plain, interlaced;
    ASSERT_TRUE(Decode(testsupport::WritePng(layout), &plain));
    layout.interlaced = true;
    ASSERT_TRUE(Decode(testsupport::WritePng(layout), &interlaced));
    for (int y = 0; y < layout.height; ++y)
        for (int x = 0; x < layout.width; ++x)
            ASSERT_EQ(plain.Pixel(x, y), interlaced.Pixel(x, y)) << x << "," << y;
}

TEST(DecodeImageTest, HostileFilesGiveNoBitmap) {
    const std::string good = testsupport::WriteRgbaPng(8, 8, std::vector<std::uint8_t>(256, 77));
    Bitmap bitmap;
    ASSERT_TRUE(Decode(good, &bitmap));

    // Sides beyond the limit, or a product that overflows 32 bits, are
    // refused from the header alone.
    for (auto [w, h] : {std::pair{8193u, 1u}, std::pair{1u, 8193u}, std::pair{100000u, 100000u},
                        std::pair{0x7FFFFFFFu, 0x7FFFFFFFu}, std::pair{65536u, 65536u}}) {
        EXPECT_FALSE(Decode(testsupport::WithHeaderSize(good, w, h), &bitmap)) << w << "x" << h;
        EXPECT_TRUE(bitmap.IsEmpty());
    }
    // A header claiming more rows than the data holds, whether or not the
    // file could hold them at all.
    EXPECT_FALSE(Decode(testsupport::WithHeaderSize(good, 8, 40), &bitmap));
    EXPECT_TRUE(bitmap.IsEmpty());
    EXPECT_FALSE(Decode(testsupport::WithHeaderSize(good, 8000, 8000), &bitmap));
    EXPECT_TRUE(bitmap.IsEmpty());

    // A large picture that compresses well is still read: the limit is what
    // deflate can pack, not the file's size.
    const std::string flat =
        testsupport::WriteRgbaPng(2000, 1500, std::vector<std::uint8_t>(2000 * 1500 * 4, 200));
    ASSERT_LT(flat.size() * 300, 2000u * 1500 * 4) << "the test picture should compress well";
    ASSERT_TRUE(Decode(flat, &bitmap));
    EXPECT_EQ(bitmap.Pixel(1999, 1499), MakePixel(157, 157, 157, 200));

    // Every truncation fails cleanly: never a bitmap with missing rows.
    for (std::size_t cut = 0; cut < good.size(); ++cut) {
        ASSERT_TRUE(Decode(good, &bitmap));
        EXPECT_FALSE(Decode(good.substr(0, cut), &bitmap)) << cut;
        EXPECT_TRUE(bitmap.IsEmpty()) << cut;
    }
    // A damaged image chunk (its CRC no longer fits).
    std::string damaged = good;
    const std::size_t idat = damaged.find("IDAT");
    ASSERT_NE(idat, std::string::npos);
    damaged[idat + 6] ^= 0x55;
    EXPECT_FALSE(Decode(damaged, &bitmap));
    EXPECT_TRUE(bitmap.IsEmpty());
    // Not an image at all.
    EXPECT_FALSE(Decode("GIF89a and then nothing", &bitmap));
    EXPECT_FALSE(Decode("", &bitmap));
    EXPECT_FALSE(skin::DecodeImage(nullptr, 10, true, &bitmap));
}

std::string Bmp(int width, int height, int bits, bool topDown) {
    const int stride = ((width * bits + 31) / 32) * 4;
    std::string file(54 + static_cast<std::size_t>(stride) * height, '\0');
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file[at + i] = static_cast<char>(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, static_cast<std::uint32_t>(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(width));
    put32(22, static_cast<std::uint32_t>(topDown ? -height : height));
    file[26] = 1;
    file[28] = static_cast<char>(bits);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            // Stored row r holds image row y; pixel bytes B, G, R (, A).
            const int stored = topDown ? y : height - 1 - y;
            const std::size_t at = 54 + static_cast<std::size_t>(stored) * stride + x * (bits / 8);
            file[at] = static_cast<char>(x);
            file[at + 1] = static_cast<char>(y);
            file[at + 2] = static_cast<char>(9);
        }
    return file;
}

TEST(DecodeImageTest, UncompressedBmpIsTheOpaqueFallback) {
    Bitmap bitmap;
    for (bool topDown : {false, true})
        for (int bits : {24, 32}) {
            ASSERT_TRUE(Decode(Bmp(5, 3, bits, topDown), &bitmap)) << bits << topDown;
            EXPECT_EQ(bitmap.Pixel(4, 2), MakePixel(4, 2, 9, 255));
            EXPECT_EQ(bitmap.Pixel(0, 0), MakePixel(0, 0, 9, 255));
        }
    std::string shortBmp = Bmp(5, 3, 24, false);
    shortBmp.resize(shortBmp.size() - 1);
    EXPECT_FALSE(Decode(shortBmp, &bitmap));
    EXPECT_TRUE(bitmap.IsEmpty());
    std::string huge = Bmp(5, 3, 24, false);
    huge[18] = static_cast<char>(0xFF);
    huge[19] = static_cast<char>(0xFF); // 65535 wide
    EXPECT_FALSE(Decode(huge, &bitmap));
}

TEST(AlphaTest, PremultiplyAndMergeMask) {
    Bitmap bitmap;
    ASSERT_TRUE(bitmap.Create(2, 1));
    bitmap.SetPixel(0, 0, MakePixel(200, 100, 0, 128));
    bitmap.SetPixel(1, 0, MakePixel(200, 100, 7, 255));
    ASSERT_TRUE(skin::PremultiplyAlpha(&bitmap));
    EXPECT_EQ(bitmap.Pixel(0, 0), MakePixel(100, 50, 0, 128));
    EXPECT_EQ(bitmap.Pixel(1, 0), MakePixel(200, 100, 7, 255));
    Bitmap empty;
    EXPECT_FALSE(skin::PremultiplyAlpha(&empty));

    // The mask's blue byte becomes the alpha; blue 0 leaves transparent
    // black.
    Bitmap colour, mask;
    ASSERT_TRUE(colour.Create(2, 1));
    ASSERT_TRUE(mask.Create(2, 1));
    colour.SetPixel(0, 0, MakePixel(10, 20, 30, 255));
    colour.SetPixel(1, 0, MakePixel(200, 100, 50, 255));
    mask.SetPixel(0, 0, MakePixel(0, 255, 255, 255));
    mask.SetPixel(1, 0, MakePixel(128, 0, 0, 0));
    ASSERT_TRUE(skin::MergeAlphaMask(&colour, mask));
    EXPECT_EQ(colour.Pixel(0, 0), MakePixel(0, 0, 0, 0));
    EXPECT_EQ(colour.Pixel(1, 0), MakePixel(100, 50, 25, 128));
    Bitmap other;
    ASSERT_TRUE(other.Create(1, 2));
    EXPECT_FALSE(skin::MergeAlphaMask(&colour, other));
}

TEST(RegionFromAlphaTest, ThresholdAndRuns) {
    Bitmap bitmap;
    ASSERT_TRUE(bitmap.Create(5, 2));
    const std::uint8_t alphas[2][5] = {{255, 0, 255, 255, 0}, {49, 50, 51, 0, 255}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 5; ++x)
            bitmap.SetPixel(x, y, MakePixel(0, 0, 0, alphas[y][x]));
    plat::Region region;
    ASSERT_TRUE(skin::RegionFromAlpha(bitmap, 50, &region));
    // A transparent pixel splits a row; 50 is in, 49 is out.
    const std::vector<plat::Rect> expected = {
        {0, 0, 1, 1}, {2, 0, 4, 1}, {1, 1, 3, 2}, {4, 1, 5, 2}};
    EXPECT_EQ(region.Rects(), expected);
    // Only fully opaque pixels at 255 (the buttons' threshold).
    plat::Region opaque;
    ASSERT_TRUE(skin::RegionFromAlpha(bitmap, 255, &opaque));
    EXPECT_EQ(opaque.Rects().size(), 3u);
    EXPECT_FALSE(opaque.Contains(2, 1));
    // A region given in is joined, not replaced.
    plat::Region joined(plat::Rect{10, 10, 12, 12});
    ASSERT_TRUE(skin::RegionFromAlpha(bitmap, 255, &joined));
    EXPECT_TRUE(joined.Contains(11, 11));
    EXPECT_TRUE(joined.Contains(0, 0));
    EXPECT_FALSE(skin::RegionFromAlpha(Bitmap(), 1, &joined));
}

TEST(RegionFromAlphaTest, MatchesBruteForceOnRandomMasks) {
    std::mt19937 random(2024);
    for (int round = 0; round < 40; ++round) {
        Bitmap bitmap;
        const int w = 1 + static_cast<int>(random() % 40), h = 1 + static_cast<int>(random() % 30);
        ASSERT_TRUE(bitmap.Create(w, h));
        // Blobs with ragged edges, and rows repeated so bands grow.
        for (int y = 0; y < h; ++y) {
            if (y > 0 && random() % 3 == 0) {
                for (int x = 0; x < w; ++x)
                    bitmap.SetPixel(x, y, bitmap.Pixel(x, y - 1));
                continue;
            }
            for (int x = 0; x < w; ++x)
                bitmap.SetPixel(x, y, MakePixel(0, 0, 0, static_cast<std::uint8_t>(random())));
        }
        const auto threshold = static_cast<std::uint8_t>(random());
        plat::Region region;
        ASSERT_TRUE(skin::RegionFromAlpha(bitmap, threshold, &region));
        plat::Region reference;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const bool in = plat::PixelA(bitmap.Pixel(x, y)) >= threshold;
                ASSERT_EQ(region.Contains(x, y), in) << x << "," << y;
                if (in)
                    reference = reference.Union(plat::Region(plat::Rect{x, y, x + 1, y + 1}));
            }
        EXPECT_EQ(region, reference) << "round " << round;
    }
}

} // namespace
