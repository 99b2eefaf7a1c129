// Region operations against a brute-force pixel reference on random
// rectangle sets, the banded form's uniqueness, hit tests, offsets and the
// row-by-row builder.

#include "platform/Region.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using plat::Rect;
using plat::Region;

constexpr int kGrid = 24;

// Every rectangle is banded: sorted by top then left, equal bands share top
// and bottom, spans in a band do not touch, touching bands differ.
void ExpectBanded(const Region& region) {
    const auto& rects = region.Rects();
    for (std::size_t i = 0; i < rects.size(); ++i) {
        ASSERT_FALSE(rects[i].IsEmpty());
        if (i == 0)
            continue;
        const Rect& a = rects[i - 1];
        const Rect& b = rects[i];
        if (a.top == b.top) {
            EXPECT_EQ(a.bottom, b.bottom);
            EXPECT_LT(a.right, b.left) << "spans of a band touch";
        } else {
            EXPECT_GE(b.top, a.bottom);
        }
    }
}

Region RandomRegion(std::mt19937& random, int count) {
    std::uniform_int_distribution<int> coord(-2, kGrid + 2);
    Region region;
    for (int i = 0; i < count; ++i) {
        int x0 = coord(random), x1 = coord(random), y0 = coord(random), y1 = coord(random);
        region = region.Union(
            Region(Rect{std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)}));
    }
    return region;
}

TEST(RegionTest, CombineMatchesPixelsOnRandomSets) {
    std::mt19937 random(1234);
    for (int round = 0; round < 300; ++round) {
        const Region a = RandomRegion(random, 1 + round % 6);
        const Region b = RandomRegion(random, 1 + round % 4);
        for (auto mode : {plat::RGN_AND, plat::RGN_OR, plat::RGN_XOR, plat::RGN_DIFF}) {
            const Region c = Region::Combine(a, b, mode);
            ExpectBanded(c);
            int pixels = 0;
            for (int y = -3; y < kGrid + 3; ++y)
                for (int x = -3; x < kGrid + 3; ++x) {
                    const bool inA = a.Contains(x, y), inB = b.Contains(x, y);
                    bool want = false;
                    switch (mode) {
                    case plat::RGN_AND:
                        want = inA && inB;
                        break;
                    case plat::RGN_OR:
                        want = inA || inB;
                        break;
                    case plat::RGN_XOR:
                        want = inA != inB;
                        break;
                    default:
                        want = inA && !inB;
                        break;
                    }
                    ASSERT_EQ(c.Contains(x, y), want)
                        << "mode " << mode << " round " << round << " at " << x << "," << y;
                    pixels += want;
                }
            // The rectangles cover exactly the pixels (no overlaps).
            int area = 0;
            for (const Rect& r : c.Rects())
                area += r.Width() * r.Height();
            EXPECT_EQ(area, pixels);
        }
    }
}

TEST(RegionTest, TheBandedFormIsUnique) {
    // An L shape built three ways gives the same rectangles.
    const Region one = Region(Rect{0, 0, 4, 2}).Union(Region(Rect{0, 2, 2, 6}));
    const Region two = Region(Rect{0, 0, 2, 6}).Union(Region(Rect{2, 0, 4, 2}));
    Region three;
    for (int y = 0; y < 6; ++y)
        three = three.Union(Region(Rect{0, y, y < 2 ? 4 : 2, y + 1}));
    EXPECT_EQ(one, two);
    EXPECT_EQ(one, three);
    ASSERT_EQ(one.Rects().size(), 2u);
    EXPECT_EQ(one.Rects()[0], (Rect{0, 0, 4, 2}));
    EXPECT_EQ(one.Rects()[1], (Rect{0, 2, 2, 6}));
    EXPECT_EQ(one.Bounds(), (Rect{0, 0, 4, 6}));
    EXPECT_EQ(one.Kind(), plat::COMPLEXREGION);
    // Touching rectangles side by side become one.
    const Region joined = Region(Rect{0, 0, 2, 2}).Union(Region(Rect{2, 0, 5, 2}));
    EXPECT_EQ(joined.Kind(), plat::SIMPLEREGION);
    EXPECT_EQ(Region(Rect{3, 3, 3, 9}).Kind(), plat::NULLREGION);
}

TEST(RegionTest, ContainsAndOffsetAndCombineRgn) {
    Region ring = Region(Rect{0, 0, 10, 10}).Subtract(Region(Rect{3, 3, 7, 7}));
    EXPECT_TRUE(ring.Contains(0, 0));
    EXPECT_TRUE(ring.Contains(9, 9));
    EXPECT_FALSE(ring.Contains(5, 5));
    EXPECT_FALSE(ring.Contains(10, 5)); // right edge is outside
    ring.Offset(100, -50);
    EXPECT_TRUE(ring.Contains(100, -50));
    EXPECT_FALSE(ring.Contains(105, -45));
    EXPECT_EQ(ring.Bounds(), (Rect{100, -50, 110, -40}));

    Region destination(Rect{0, 0, 1, 1});
    // The destination may be a source.
    EXPECT_EQ(plat::CombineRgn(&destination, destination, Region(Rect{1, 0, 2, 1}), plat::RGN_OR),
              plat::SIMPLEREGION);
    EXPECT_EQ(destination.Bounds(), (Rect{0, 0, 2, 1}));
    EXPECT_EQ(plat::CombineRgn(&destination, destination, Region(Rect{5, 5, 6, 6}), plat::RGN_AND),
              plat::NULLREGION);
    EXPECT_EQ(plat::CombineRgn(nullptr, destination, destination, plat::RGN_OR), plat::RGN_ERROR);
}

TEST(RegionBuilderTest, RowsMergeIntoBandsAndEqualTheUnion) {
    std::mt19937 random(99);
    std::bernoulli_distribution coin(0.4);
    for (int round = 0; round < 50; ++round) {
        plat::RegionBuilder builder;
        Region reference;
        for (int y = 0; y < 20; ++y) {
            // Identical rows now and then, so bands grow.
            const bool repeat = y > 0 && round % 3 == 0 && coin(random);
            static bool row[20];
            for (int x = 0; x < 20; ++x)
                if (!repeat)
                    row[x] = coin(random);
            for (int x = 0; x < 20;) {
                while (x < 20 && !row[x])
                    ++x;
                int start = x;
                while (x < 20 && row[x])
                    ++x;
                if (x > start) {
                    ASSERT_TRUE(builder.Add(y, start, x));
                    reference = reference.Union(Region(Rect{start, y, x, y + 1}));
                }
            }
        }
        const Region built = builder.Finish();
        ExpectBanded(built);
        EXPECT_EQ(built, reference) << "round " << round;
    }
}

TEST(RegionBuilderTest, RefusesRunsOutOfOrder) {
    plat::RegionBuilder builder;
    EXPECT_TRUE(builder.Add(0, 0, 5));
    EXPECT_TRUE(builder.Add(0, 5, 8));  // touching runs of a row merge
    EXPECT_FALSE(builder.Add(0, 6, 9)); // overlap
    EXPECT_TRUE(builder.Finish().IsEmpty());

    EXPECT_TRUE(builder.Add(3, 0, 2));
    EXPECT_FALSE(builder.Add(2, 0, 2)); // a row above the last
    EXPECT_TRUE(builder.Finish().IsEmpty());

    // A gap between equal rows keeps them in separate bands.
    EXPECT_TRUE(builder.Add(0, 1, 3));
    EXPECT_TRUE(builder.Add(2, 1, 3));
    const Region gapped = builder.Finish();
    EXPECT_EQ(gapped.Rects().size(), 2u);
    EXPECT_FALSE(gapped.Contains(1, 1));
}

} // namespace
