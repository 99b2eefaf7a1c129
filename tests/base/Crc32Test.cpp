#include "base/Crc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>

namespace {

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(generator() & 0xFF);
    return bytes;
}

std::uint32_t ZlibCrc(const std::string& bytes, std::uint32_t previous = 0) {
    return static_cast<std::uint32_t>(crc32(previous, reinterpret_cast<const Bytef*>(bytes.data()),
                                            static_cast<uInt>(bytes.size())));
}

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

} // namespace
