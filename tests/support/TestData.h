#pragma once
// Test data made on the spot. Any thread.

#include "platform/Unicode.h"
#include "support/TempDir.h"

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

// A file of tests/data/ (fixtures others made, kept as they came), read
// whole; empty when it is missing.
inline std::string ReadDataFile(const std::string& relative) {
    const std::string here = __FILE__;
    const std::string root = here.substr(0, here.rfind("support/TestData.h"));
    return ReadTestFile(plat::Utf8ToWide(root + "data/" + relative));
}

} // namespace testsupport
