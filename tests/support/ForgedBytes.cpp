#include "support/ForgedBytes.h"

#include "base/Crc32.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace testsupport {

// The 33 bit flips' effects on the CRC are linearly dependent (the CRC is
// affine in the bytes and has 32 bits): reducing each effect against the
// earlier ones finds a set whose effects cancel, and flipping that set
// leaves the CRC as it was.
std::string SameCrcOtherBytes(const std::string& bytes) {
    const std::uint32_t crc = base::Crc32(bytes.data(), bytes.size(), 0);
    struct Row {
        std::uint32_t effect;
        std::uint64_t flips; // which of the 33 bits make it
    };
    std::vector<Row> basis;
    for (int bit = 0; bit < 33; ++bit) {
        std::string flipped = bytes;
        flipped[static_cast<std::size_t>(bit)] ^= 1; // bit 0 of each of the first 33 bytes
        Row row{base::Crc32(flipped.data(), flipped.size(), 0) ^ crc, std::uint64_t{1} << bit};
        for (const Row& b : basis)
            if ((row.effect ^ b.effect) < row.effect)
                row = {row.effect ^ b.effect, row.flips ^ b.flips};
        if (row.effect == 0) {
            std::string forged = bytes;
            for (int i = 0; i < 33; ++i)
                if (row.flips >> i & 1)
                    forged[static_cast<std::size_t>(i)] ^= 1;
            return forged;
        }
        basis.push_back(row);
        std::sort(basis.begin(), basis.end(),
                  [](const Row& a, const Row& b) { return a.effect > b.effect; });
    }
    return bytes;
}

} // namespace testsupport
