#pragma once
// Test data made on the spot. Any thread.

#include <cstddef>
#include <random>
#include <string>

namespace testsupport {

// Bytes that do not compress away, the same for the same seed.
inline std::string NoiseBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random() & 0xFF);
    return bytes;
}

} // namespace testsupport
