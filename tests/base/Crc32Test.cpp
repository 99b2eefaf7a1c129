#include "base/Crc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
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

const std::size_t kLengths[] = {0, 1, 2, 3, 7, 8, 15, 16, 255, 256, 1000, 4097, 65537};

TEST(Crc32Test, MatchesZlibOverManyLengths) {
    for (std::size_t length : kLengths) {
        std::string bytes = RandomBytes(length, static_cast<unsigned>(length) + 1);
        EXPECT_EQ(base::Crc32(bytes.data(), bytes.size()), ZlibCrc(bytes)) << "length " << length;
    }
}

TEST(Crc32Test, ContinuingFormMatchesZlibAtEverySplit) {
    std::string bytes = RandomBytes(300, 7);
    for (std::size_t split : {0u, 1u, 5u, 64u, 150u, 299u, 300u}) {
        std::string head = bytes.substr(0, split), tail = bytes.substr(split);
        std::uint32_t first = base::Crc32(head.data(), head.size());
        EXPECT_EQ(base::Crc32(tail.data(), tail.size(), first), ZlibCrc(bytes))
            << "split " << split;
        // Continuing from an arbitrary earlier value works as zlib's does.
        EXPECT_EQ(base::Crc32(tail.data(), tail.size(), 0x12345678u), ZlibCrc(tail, 0x12345678u));
    }
}

TEST(Crc32Test, RegisterFormChainsAndRelatesToTheStandardForm) {
    std::string bytes = RandomBytes(5000, 11);
    for (std::uint32_t start : {0u, 0xFFFFFFFFu, 0xCAFEBABEu}) {
        std::uint32_t whole = base::Crc32Register(start, bytes.data(), bytes.size());
        std::uint32_t chained = start;
        for (std::size_t offset = 0; offset < bytes.size(); offset += 777) {
            std::size_t piece = std::min<std::size_t>(777, bytes.size() - offset);
            chained = base::Crc32Register(chained, bytes.data() + offset, piece);
        }
        EXPECT_EQ(chained, whole);
        // The register form without inversions is zlib's form started from
        // the inverted register.
        EXPECT_EQ(~whole, ZlibCrc(bytes, ~start));
    }
}

TEST(Crc32Test, RegisterStartingAtZeroIsNotTheStandardCrc) {
    const std::string abc = "abc";
    std::uint32_t launcherForm = ~base::Crc32Register(0, abc.data(), abc.size());
    EXPECT_EQ(launcherForm, ZlibCrc(abc, 0xFFFFFFFFu));
    EXPECT_NE(launcherForm, ZlibCrc(abc));
    // Nothing to add leaves the register as it was.
    EXPECT_EQ(base::Crc32Register(0x1234u, abc.data(), 0), 0x1234u);
}

} // namespace
