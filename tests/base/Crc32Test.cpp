#include "base/Crc32.h"
#include "base/Crc32Impl.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <new>
#include <ostream>
#include <random>
#include <string>
#include <vector>

// Failure messages name the form rather than dump its bytes.
namespace base::detail {
void PrintTo(Crc32Impl impl, std::ostream* out) {
    *out << Crc32ImplName(impl);
}
} // namespace base::detail

namespace {

using base::detail::Crc32Impl;

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(generator() & 0xFF);
    return bytes;
}

std::uint32_t ZlibCrc(const void* data, std::size_t size, std::uint32_t previous = 0) {
    return static_cast<std::uint32_t>(
        crc32_z(previous, static_cast<const Bytef*>(data), static_cast<z_size_t>(size)));
}

std::uint32_t ZlibCrc(const std::string& bytes, std::uint32_t previous = 0) {
    return ZlibCrc(bytes.data(), bytes.size(), previous);
}

// The standard CRC computed by one forced form.
std::uint32_t CrcWith(Crc32Impl impl, const void* data, std::size_t size,
                      std::uint32_t previous = 0) {
    return ~base::detail::Crc32RegisterWith(impl, ~previous, data, size);
}

// A copy of some bytes starting `offset` bytes past a 64-byte boundary, in an
// allocation that ends right after them: the sanitizer sees any read past the
// end, and the offset decides how every vector load is aligned. Test thread
// only.
class PlacedCopy {
public:
    PlacedCopy(const std::string& bytes, std::size_t offset)
        : block_(static_cast<unsigned char*>(::operator new(offset + bytes.size(), kAlign))),
          offset_(offset) {
        std::memcpy(block_ + offset, bytes.data(), bytes.size());
    }
    ~PlacedCopy() { ::operator delete(block_, kAlign); }
    PlacedCopy(const PlacedCopy&) = delete;
    PlacedCopy& operator=(const PlacedCopy&) = delete;

    const unsigned char* data() const { return block_ + offset_; }

private:
    static constexpr std::align_val_t kAlign{64};
    unsigned char* block_;
    std::size_t offset_;
};

// Each form on its own, skipped where this CPU lacks the instructions. Runs on
// the test thread.
class Crc32FormTest : public testing::TestWithParam<Crc32Impl> {
protected:
    void SetUp() override {
        if (!base::detail::Crc32ImplSupported(GetParam()))
            GTEST_SKIP() << base::detail::Crc32ImplName(GetParam()) << " is not supported here";
    }
};

TEST_P(Crc32FormTest, EveryLengthUpTo1024AtEveryAlignment) {
    const std::string all = RandomBytes(1024, 7);
    std::mt19937 generator(8);
    for (std::size_t length = 0; length <= all.size(); ++length) {
        const std::string bytes = all.substr(0, length);
        // An uneven previous value shows the register entering at the wrong
        // byte or bit order, which ~0 (what previous 0 gives) would hide.
        const std::uint32_t previous = static_cast<std::uint32_t>(generator());
        const std::uint32_t fresh = ZlibCrc(bytes);
        const std::uint32_t continued = ZlibCrc(bytes, previous);
        for (std::size_t offset = 0; offset < 16; ++offset) {
            PlacedCopy copy(bytes, offset);
            ASSERT_EQ(CrcWith(GetParam(), copy.data(), length), fresh)
                << "length " << length << " offset " << offset;
            ASSERT_EQ(CrcWith(GetParam(), copy.data(), length, previous), continued)
                << "length " << length << " offset " << offset << " previous " << previous;
        }
    }
}

TEST_P(Crc32FormTest, LargerSizesAtEveryAlignment) {
    std::mt19937 generator(9);
    for (std::size_t length :
         {1025u, 4095u, 4096u, 4097u, 65536u + 17u, (256u << 10) + 255u, (1u << 20) + 3u}) {
        const std::string bytes = RandomBytes(length, static_cast<unsigned>(length));
        const std::uint32_t previous = static_cast<std::uint32_t>(generator());
        const std::uint32_t fresh = ZlibCrc(bytes);
        const std::uint32_t continued = ZlibCrc(bytes, previous);
        for (std::size_t offset = 0; offset < 16; ++offset) {
            PlacedCopy copy(bytes, offset);
            EXPECT_EQ(CrcWith(GetParam(), copy.data(), length), fresh)
                << "length " << length << " offset " << offset;
            EXPECT_EQ(CrcWith(GetParam(), copy.data(), length, previous), continued)
                << "length " << length << " offset " << offset;
        }
    }
}

TEST_P(Crc32FormTest, ChainsAcrossRandomSplits) {
    std::mt19937 generator(10);
    for (int round = 0; round < 300; ++round) {
        // Lengths spread over every scale from a few bytes to 64 KiB.
        const std::size_t length = generator() % ((std::size_t{1} << (generator() % 17)) + 1);
        const std::string bytes = RandomBytes(length, generator());
        std::vector<std::size_t> cuts(1 + generator() % 6);
        for (std::size_t& cut : cuts)
            cut = length == 0 ? 0 : generator() % (length + 1);
        cuts.push_back(length);
        std::sort(cuts.begin(), cuts.end());

        const std::uint32_t previous = static_cast<std::uint32_t>(generator());
        std::uint32_t standard = previous;
        std::uint32_t reg = previous;
        std::size_t position = 0;
        for (std::size_t cut : cuts) {
            standard = CrcWith(GetParam(), bytes.data() + position, cut - position, standard);
            reg = base::detail::Crc32RegisterWith(GetParam(), reg, bytes.data() + position,
                                                  cut - position);
            position = cut;
        }
        ASSERT_EQ(standard, ZlibCrc(bytes, previous)) << "round " << round << " length " << length;
        // The bare register chains the same way; zlib's form wraps it in
        // inversions.
        ASSERT_EQ(~reg, ZlibCrc(bytes, ~previous)) << "round " << round << " length " << length;
    }
}

INSTANTIATE_TEST_SUITE_P(AllForms, Crc32FormTest, testing::ValuesIn(base::detail::kAllCrc32Impls),
                         [](const testing::TestParamInfo<Crc32Impl>& info) {
                             return std::string(base::detail::Crc32ImplName(info.param));
                         });

// The public entry points, on whichever form this CPU chose.
TEST(Crc32Test, MatchesZlibWholeAndContinuedAtAnySplit) {
    for (std::size_t length : {0, 1, 3, 8, 255, 256, 1000, 65537}) {
        std::string bytes = RandomBytes(length, static_cast<unsigned>(length) + 1);
        EXPECT_EQ(base::Crc32(bytes.data(), bytes.size()), ZlibCrc(bytes)) << length;
        for (std::size_t split : {std::size_t{0}, length / 3, length}) {
            std::uint32_t head = base::Crc32(bytes.data(), split);
            EXPECT_EQ(base::Crc32(bytes.data() + split, length - split, head), ZlibCrc(bytes))
                << length << " split " << split;
        }
    }
}

TEST(Crc32Test, RegisterFormChainsWithoutInversions) {
    std::string bytes = RandomBytes(5000, 11);
    for (std::uint32_t start : {0u, 0xFFFFFFFFu, 0xCAFEBABEu}) {
        std::uint32_t chained = start;
        for (std::size_t offset = 0; offset < bytes.size(); offset += 777)
            chained = base::Crc32Register(chained, bytes.data() + offset,
                                          std::min<std::size_t>(777, bytes.size() - offset));
        EXPECT_EQ(chained, base::Crc32Register(start, bytes.data(), bytes.size()));
        // zlib's form is the register form started from the inverted value.
        EXPECT_EQ(~chained, ZlibCrc(bytes, ~start));
    }
}

TEST(Crc32Test, ChosenFormIsOneThisCpuRuns) {
    const Crc32Impl chosen = base::detail::Crc32ImplChosen();
    EXPECT_TRUE(base::detail::Crc32ImplSupported(chosen)) << base::detail::Crc32ImplName(chosen);
    EXPECT_TRUE(base::detail::Crc32ImplSupported(Crc32Impl::Table));
}

} // namespace
