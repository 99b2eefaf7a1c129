#pragma once
// Writes PNG files of every colour type and depth for the decoder tests, and
// damages them on request (a chunk's CRC, a header's size).

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct PngLayout {
    int width = 1;
    int height = 1;
    int colourType = 6; // 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA
    int bitDepth = 8;
    bool interlaced = false;
    // Samples row by row, as many per pixel as the colour type has, each
    // at most 2^bitDepth - 1 (palette: indices).
    std::vector<std::uint16_t> samples;
    // Palette entries r, g, b, and their alpha (the transparency chunk).
    std::vector<std::uint8_t> palette;
    std::vector<std::uint8_t> paletteAlpha;
};

// The PNG file for the layout; empty when libpng refuses it.
std::string WritePng(const PngLayout& layout);
// An 8-bit RGBA PNG of straight r, g, b, a bytes.
std::string WriteRgbaPng(int width, int height, const std::vector<std::uint8_t>& rgba);
// The file with the width and height of its header replaced (CRC fixed).
std::string WithHeaderSize(std::string png, std::uint32_t width, std::uint32_t height);

} // namespace testsupport
