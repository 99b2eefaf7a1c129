#include "support/PngWriter.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>

namespace testsupport {

namespace {

void Append(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::string*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), length);
}

void NoFlush(png_structp) {}

int Channels(int colourType) {
    switch (colourType) {
    case 0:
    case 3:
        return 1;
    case 2:
        return 3;
    case 4:
        return 2;
    default:
        return 4;
    }
}

// Packs one row of samples at the layout's depth.
std::vector<png_byte> PackRow(const PngLayout& layout, int y) {
    const int channels = Channels(layout.colourType);
    const std::size_t count = static_cast<std::size_t>(layout.width) * channels;
    const std::uint16_t* samples = layout.samples.data() + count * y;
    std::vector<png_byte> row((count * layout.bitDepth + 7) / 8, 0);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint16_t v = samples[i];
        switch (layout.bitDepth) {
        case 16:
            row[i * 2] = static_cast<png_byte>(v >> 8);
            row[i * 2 + 1] = static_cast<png_byte>(v);
            break;
        case 8:
            row[i] = static_cast<png_byte>(v);
            break;
        default: {
            const std::size_t bit = i * layout.bitDepth;
            row[bit / 8] |= static_cast<png_byte>(v << (8 - layout.bitDepth - bit % 8));
            break;
        }
        }
    }
    return row;
}

bool Encode(const PngLayout& layout, std::string* out, std::vector<std::vector<png_byte>>* rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, Append, NoFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(layout.width),
                 static_cast<png_uint_32>(layout.height), layout.bitDepth, layout.colourType,
                 layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    for (std::size_t i = 0; i + 2 < layout.palette.size(); i += 3)
        palette.push_back(
            png_color{layout.palette[i], layout.palette[i + 1], layout.palette[i + 2]});
    if (!palette.empty())
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    if (!layout.paletteAlpha.empty())
        png_set_tRNS(png, info, layout.paletteAlpha.data(),
                     static_cast<int>(layout.paletteAlpha.size()), nullptr);
    std::vector<png_bytep> pointers;
    for (auto& row : *rows)
        pointers.push_back(row.data());
    png_set_rows(png, info, pointers.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

void PutBig32(std::string* s, std::size_t at, std::uint32_t v) {
    (*s)[at] = static_cast<char>(v >> 24);
    (*s)[at + 1] = static_cast<char>(v >> 16);
    (*s)[at + 2] = static_cast<char>(v >> 8);
    (*s)[at + 3] = static_cast<char>(v);
}

} // namespace

std::string WritePng(const PngLayout& layout) {
    std::vector<std::vector<png_byte>> rows;
    for (int y = 0; y < layout.height; ++y)
        rows.push_back(PackRow(layout, y));
    std::string out;
    if (!Encode(layout, &out, &rows))
        return {};
    return out;
}

std::string WriteRgbaPng(int width, int height, const std::vector<std::uint8_t>& rgba) {
    PngLayout layout;
    layout.width = width;
    layout.height = height;
    layout.samples.assign(rgba.begin(), rgba.end());
    return WritePng(layout);
}

std::string WithHeaderSize(std::string png, std::uint32_t width, std::uint32_t height) {
    // Signature (8), IHDR length (4), "IHDR" (4), then width and height.
    if (png.size() < 33)
        return png;
    PutBig32(&png, 16, width);
    PutBig32(&png, 20, height);
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(png.data() + 12), 17);
    PutBig32(&png, 29, static_cast<std::uint32_t>(crc));
    return png;
}

} // namespace testsupport
