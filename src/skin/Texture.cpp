#include "skin/Texture.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace skin {

namespace {

// Union-find over provisional piece numbers; a joined set is named by its
// smallest number, which is the one the scan opened first.
int Root(std::vector<int>& parent, int label) {
    while (parent[label] != label) {
        parent[label] = parent[parent[label]];
        label = parent[label];
    }
    return label;
}

void Join(std::vector<int>& parent, int a, int b) {
    a = Root(parent, a);
    b = Root(parent, b);
    if (a != b)
        parent[std::max(a, b)] = std::min(a, b);
}

} // namespace

bool SliceTexture(const plat::Bitmap& texture, std::vector<plat::Bitmap>* pieces) {
    pieces->clear();
    if (texture.IsEmpty())
        return false;
    const int width = texture.Width();
    const int height = texture.Height();
    const std::uint32_t key = texture.Pixel(0, 0);
    // 0 is the key colour; provisional pieces are 1..kMaxTexturePieces.
    std::vector<std::uint8_t> labels(static_cast<std::size_t>(width) * height, 0);
    std::vector<int> parent{0};
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* row = texture.Row(y);
        std::uint8_t* here = labels.data() + static_cast<std::size_t>(y) * width;
        const std::uint8_t* above = y > 0 ? here - width : nullptr;
        for (int x = 0; x < width; ++x) {
            if (row[x] == key)
                continue;
            const int left = x > 0 ? here[x - 1] : 0;
            const int up = above ? above[x] : 0;
            if (left && up) {
                here[x] = static_cast<std::uint8_t>(left);
                Join(parent, left, up);
            } else if (left || up) {
                here[x] = static_cast<std::uint8_t>(left ? left : up);
            } else {
                if (static_cast<int>(parent.size()) > kMaxTexturePieces)
                    return false;
                const int label = static_cast<int>(parent.size());
                parent.push_back(label);
                here[x] = static_cast<std::uint8_t>(label);
            }
        }
    }
    // Final numbers in the order of each set's smallest provisional number.
    const int provisional = static_cast<int>(parent.size());
    std::vector<int> finalIndex(static_cast<std::size_t>(provisional), -1);
    int count = 0;
    for (int label = 1; label < provisional; ++label)
        if (Root(parent, label) == label)
            finalIndex[label] = count++;
    struct Box {
        int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    };
    std::vector<Box> boxes(static_cast<std::size_t>(count));
    std::vector<int> pieceOf(static_cast<std::size_t>(provisional), -1);
    for (int label = 1; label < provisional; ++label)
        pieceOf[label] = finalIndex[Root(parent, label)];
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* here = labels.data() + static_cast<std::size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            if (!here[x])
                continue;
            Box& box = boxes[pieceOf[here[x]]];
            box.left = std::min(box.left, x);
            box.top = std::min(box.top, y);
            box.right = std::max(box.right, x + 1);
            box.bottom = std::max(box.bottom, y + 1);
        }
    }
    std::vector<plat::Bitmap> result(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const Box& box = boxes[i];
        if (!result[i].Create(box.right - box.left, box.bottom - box.top))
            return false;
    }
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* here = labels.data() + static_cast<std::size_t>(y) * width;
        const std::uint32_t* row = texture.Row(y);
        for (int x = 0; x < width; ++x) {
            if (!here[x])
                continue;
            const int piece = pieceOf[here[x]];
            result[piece].SetPixel(x - boxes[piece].left, y - boxes[piece].top, row[x]);
        }
    }
    *pieces = std::move(result);
    return true;
}

} // namespace skin
