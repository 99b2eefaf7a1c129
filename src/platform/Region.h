#pragma once
// Regions, standing in for the platform's region objects: a set of pixels
// kept as y-x banded rectangles. Rectangles are sorted by top, then left;
// rectangles of one band share top and bottom and never touch; two bands
// that touch vertically differ in their spans. That form is unique for a
// set of pixels, so two regions are equal exactly when their rectangle
// lists are. Every operation is linear in the rectangles involved.
// Not thread-safe; a region belongs to whoever made it.

#include "platform/Geometry.h"

#include <vector>

namespace plat {

// How CombineRgn joins two regions, with the Windows numbers.
enum RegionCombine : int { RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5 };
// What a region holds, as the Windows region calls answer.
enum RegionKind : int { RGN_ERROR = 0, NULLREGION = 1, SIMPLEREGION = 2, COMPLEXREGION = 3 };

class Region {
public:
    Region() = default;
    // CreateRectRgn: an empty rectangle gives an empty region.
    explicit Region(const Rect& rect);

    bool IsEmpty() const { return rects_.empty(); }
    RegionKind Kind() const;
    const std::vector<Rect>& Rects() const { return rects_; }
    // The smallest rectangle holding the region (empty for an empty region).
    Rect Bounds() const { return bounds_; }

    // PtInRegion.
    bool Contains(int x, int y) const;
    // OffsetRgn.
    void Offset(int dx, int dy);

    Region Union(const Region& other) const { return Combine(*this, other, RGN_OR); }
    Region Intersect(const Region& other) const { return Combine(*this, other, RGN_AND); }
    Region Subtract(const Region& other) const { return Combine(*this, other, RGN_DIFF); }
    Region Xor(const Region& other) const { return Combine(*this, other, RGN_XOR); }
    // CombineRgn's modes; RGN_COPY gives `a`.
    static Region Combine(const Region& a, const Region& b, RegionCombine mode);

    bool operator==(const Region& other) const { return rects_ == other.rects_; }

private:
    friend class RegionBuilder;
    void SetBanded(std::vector<Rect> rects);

    std::vector<Rect> rects_;
    Rect bounds_;
};

// CombineRgn: writes the result into `destination` (which may be one of the
// sources) and tells what it holds.
RegionKind CombineRgn(Region* destination, const Region& a, const Region& b, RegionCombine mode);

// Builds a region from runs of pixels given row by row, top to bottom and
// left to right within a row, in one pass: each row becomes a band, and a
// row whose runs equal the band above it just makes that band taller. Runs
// that come out of order are refused (Add returns false and nothing is kept).
class RegionBuilder {
public:
    // Adds the pixels x0 .. x1-1 of row y. Runs of one row may touch (they
    // are merged) but never overlap or go backwards.
    bool Add(int y, int x0, int x1);
    // The region built so far; the builder starts again empty.
    Region Finish();

private:
    void CloseRow();

    std::vector<Rect> rects_;  // finished bands
    std::vector<Rect> row_;    // runs of the row being added, as 1-pixel-high rects
    std::size_t lastBand_ = 0; // start of the last finished band in rects_
    bool haveBand_ = false;
    int rowY_ = 0;
    bool haveRow_ = false;
    bool failed_ = false;
};

} // namespace plat
