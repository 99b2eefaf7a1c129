#pragma once
// Builds stand-ins for a launcher executable: filler bytes with stub field
// blocks (marker, zero byte, zeros) placed where a test wants them.

#include "config/StubFields.h"

#include <cstdint>
#include <string>

namespace stubimage {

// Deterministic filler that never contains a marker.
inline std::string Filler(std::size_t size, std::uint32_t seed) {
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>((seed >> 16) & 0xFF);
    }
    return bytes;
}

// The shipped block of a field: marker, then zeros to its size.
inline std::string EmptyField(const config::StubField& field) {
    std::string block = config::StubMarker(field);
    block.resize(field.size, '\0');
    return block;
}

// Filler with every field's empty block, each after a stretch of filler.
inline std::string LauncherImage() {
    std::string image = Filler(300, 1);
    std::uint32_t seed = 2;
    for (const config::StubField& field : config::StubFieldTable()) {
        image += EmptyField(field);
        image += Filler(50 + seed * 7, seed);
        ++seed;
    }
    return image;
}

} // namespace stubimage
