#pragma once
// Stand-ins for a launcher executable: filler bytes with stub field blocks
// (marker, then zeros) where a test wants them.

#include "config/StubFields.h"

#include <cstdint>
#include <string>

namespace stubimage {

// Deterministic filler that never holds a marker.
inline std::string Filler(std::size_t size, std::uint32_t seed) {
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>((seed >> 16) & 0xFF);
    }
    return bytes;
}

inline std::string EmptyField(const config::StubField& field) {
    std::string block = config::StubMarker(field);
    block.resize(field.size, '\0');
    return block;
}

// Every field's shipped block, each after a stretch of filler.
inline std::string LauncherImage() {
    std::string image;
    std::uint32_t seed = 1;
    for (const config::StubField& field : config::StubFieldTable()) {
        image += Filler(50 + seed * 7, seed) + EmptyField(field);
        ++seed;
    }
    return image + Filler(100, seed);
}

} // namespace stubimage
