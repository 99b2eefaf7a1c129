// Region operations over y-x banded rectangle lists: a sweep over the band
// edges of both operands, and within each band a sweep over the span edges.

#include "platform/Region.h"

#include <algorithm>
#include <climits>

namespace plat {

namespace {

struct Span {
    int left;
    int right;
    bool operator==(const Span&) const = default;
};

// One band of a region: rows [top, bottom) and the spans in it.
struct BandRef {
    int top;
    int bottom;
    std::size_t begin; // index range into the region's rectangles
    std::size_t end;
};

std::vector<BandRef> BandsOf(const std::vector<Rect>& rects) {
    std::vector<BandRef> bands;
    for (std::size_t i = 0; i < rects.size();) {
        std::size_t j = i + 1;
        while (j < rects.size() && rects[j].top == rects[i].top)
            ++j;
        bands.push_back(BandRef{rects[i].top, rects[i].bottom, i, j});
        i = j;
    }
    return bands;
}

bool Wanted(bool inA, bool inB, RegionCombine mode) {
    switch (mode) {
    case RGN_AND:
        return inA && inB;
    case RGN_OR:
        return inA || inB;
    case RGN_XOR:
        return inA != inB;
    case RGN_DIFF:
        return inA && !inB;
    case RGN_COPY:
        return inA;
    }
    return false;
}

// Combines the spans of two bands (either may be absent) into `out`.
void CombineSpans(const std::vector<Rect>& a, const BandRef* bandA, const std::vector<Rect>& b,
                  const BandRef* bandB, RegionCombine mode, std::vector<Span>* out) {
    out->clear();
    std::size_t ia = bandA ? bandA->begin : 0, ea = bandA ? bandA->end : 0;
    std::size_t ib = bandB ? bandB->begin : 0, eb = bandB ? bandB->end : 0;
    bool inA = false, inB = false;
    bool open = false;
    int start = 0;
    // Walk the span edges of both bands in x order.
    while (ia < ea || ib < eb || inA || inB) {
        int nextA = INT_MAX, nextB = INT_MAX;
        if (ia < ea)
            nextA = inA ? a[ia].right : a[ia].left;
        if (ib < eb)
            nextB = inB ? b[ib].right : b[ib].left;
        int x = std::min(nextA, nextB);
        if (x == INT_MAX)
            break;
        if (nextA == x) {
            if (inA)
                ++ia;
            inA = !inA;
        }
        if (nextB == x) {
            if (inB)
                ++ib;
            inB = !inB;
        }
        bool want = Wanted(inA, inB, mode);
        if (want && !open) {
            if (!out->empty() && out->back().right == x) {
                start = out->back().left; // touching spans merge
                out->pop_back();
            } else {
                start = x;
            }
            open = true;
        } else if (!want && open) {
            out->push_back(Span{start, x});
            open = false;
        }
    }
}

} // namespace

Region::Region(const Rect& rect) {
    if (!rect.IsEmpty()) {
        rects_.push_back(rect);
        bounds_ = rect;
    }
}

RegionKind Region::Kind() const {
    if (rects_.empty())
        return NULLREGION;
    return rects_.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

bool Region::Contains(int x, int y) const {
    if (!bounds_.Contains(x, y))
        return false;
    // First rectangle whose band ends below y; bands are sorted.
    auto it = std::upper_bound(rects_.begin(), rects_.end(), y,
                               [](int value, const Rect& r) { return value < r.bottom; });
    for (; it != rects_.end() && it->top <= y; ++it) {
        if (x < it->left)
            return false;
        if (x < it->right)
            return true;
    }
    return false;
}

void Region::Offset(int dx, int dy) {
    for (Rect& r : rects_)
        r = r.Offset(dx, dy);
    if (!rects_.empty())
        bounds_ = bounds_.Offset(dx, dy);
}

void Region::SetBanded(std::vector<Rect> rects) {
    rects_ = std::move(rects);
    bounds_ = Rect{};
    if (rects_.empty())
        return;
    bounds_ = Rect{INT_MAX, rects_.front().top, INT_MIN, rects_.back().bottom};
    for (const Rect& r : rects_) {
        bounds_.left = std::min(bounds_.left, r.left);
        bounds_.right = std::max(bounds_.right, r.right);
    }
}

Region Region::Combine(const Region& a, const Region& b, RegionCombine mode) {
    if (mode == RGN_COPY)
        return a;
    const std::vector<BandRef> bandsA = BandsOf(a.rects_);
    const std::vector<BandRef> bandsB = BandsOf(b.rects_);

    std::vector<Rect> result;
    std::vector<Span> spans, previousSpans;
    std::size_t previousBand = 0; // start in `result` of the last band written
    bool havePrevious = false;
    std::size_t ia = 0, ib = 0;
    int y = INT_MIN;
    for (;;) {
        // Bands that end at or above y are done.
        while (ia < bandsA.size() && bandsA[ia].bottom <= y)
            ++ia;
        while (ib < bandsB.size() && bandsB[ib].bottom <= y)
            ++ib;
        if (ia == bandsA.size() && ib == bandsB.size())
            break;
        // The next slice starts at y or at the first band top below it, and
        // ends at the nearest band edge below that.
        int top = INT_MAX;
        if (ia < bandsA.size())
            top = std::min(top, std::max(y, bandsA[ia].top));
        if (ib < bandsB.size())
            top = std::min(top, std::max(y, bandsB[ib].top));
        const BandRef* inA = ia < bandsA.size() && bandsA[ia].top <= top ? &bandsA[ia] : nullptr;
        const BandRef* inB = ib < bandsB.size() && bandsB[ib].top <= top ? &bandsB[ib] : nullptr;
        int bottom = INT_MAX;
        for (std::size_t k : {std::size_t{0}, std::size_t{1}}) {
            const std::vector<BandRef>& bands = k == 0 ? bandsA : bandsB;
            std::size_t index = k == 0 ? ia : ib;
            if (index >= bands.size())
                continue;
            const BandRef& band = bands[index];
            bottom = std::min(bottom, band.top > top ? band.top : band.bottom);
        }
        y = bottom;
        CombineSpans(a.rects_, inA, b.rects_, inB, mode, &spans);
        if (spans.empty())
            continue;
        // A band directly below an equal one makes that one taller.
        if (havePrevious && result[previousBand].bottom == top && spans == previousSpans) {
            for (std::size_t i = previousBand; i < result.size(); ++i)
                result[i].bottom = bottom;
            continue;
        }
        previousBand = result.size();
        for (const Span& s : spans)
            result.push_back(Rect{s.left, top, s.right, bottom});
        previousSpans = spans;
        havePrevious = true;
    }
    Region region;
    region.SetBanded(std::move(result));
    return region;
}

RegionKind CombineRgn(Region* destination, const Region& a, const Region& b, RegionCombine mode) {
    if (!destination)
        return RGN_ERROR;
    *destination = Region::Combine(a, b, mode);
    return destination->Kind();
}

bool RegionBuilder::Add(int y, int x0, int x1) {
    if (failed_)
        return false;
    if (x1 <= x0)
        return true;
    if (haveRow_ && y != rowY_) {
        if (y < rowY_) {
            failed_ = true;
            return false;
        }
        CloseRow();
    }
    if (!haveRow_) {
        haveRow_ = true;
        rowY_ = y;
    }
    if (!row_.empty()) {
        Rect& last = row_.back();
        if (x0 < last.right) {
            failed_ = true;
            return false;
        }
        if (x0 == last.right) {
            last.right = x1;
            return true;
        }
    }
    row_.push_back(Rect{x0, y, x1, y + 1});
    return true;
}

void RegionBuilder::CloseRow() {
    if (row_.empty()) {
        haveRow_ = false;
        return;
    }
    if (haveBand_ && rects_[lastBand_].bottom == rowY_ &&
        rects_.size() - lastBand_ == row_.size()) {
        bool same = true;
        for (std::size_t i = 0; i < row_.size() && same; ++i)
            same = rects_[lastBand_ + i].left == row_[i].left &&
                   rects_[lastBand_ + i].right == row_[i].right;
        if (same) {
            for (std::size_t i = lastBand_; i < rects_.size(); ++i)
                rects_[i].bottom = rowY_ + 1;
            row_.clear();
            haveRow_ = false;
            return;
        }
    }
    lastBand_ = rects_.size();
    rects_.insert(rects_.end(), row_.begin(), row_.end());
    haveBand_ = true;
    row_.clear();
    haveRow_ = false;
}

Region RegionBuilder::Finish() {
    Region region;
    if (!failed_) {
        CloseRow();
        region.SetBanded(std::move(rects_));
    }
    rects_.clear();
    row_.clear();
    lastBand_ = 0;
    haveBand_ = false;
    haveRow_ = false;
    failed_ = false;
    return region;
}

} // namespace plat
