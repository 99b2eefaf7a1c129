// Theme picture decoding with libpng's row interface (so that the samples
// come out exactly as stored: no gamma or colour handling), the BMP
// fallback, the alpha mask merge and the region scan.

#include "skin/SkinImage.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace skin {

namespace {

constexpr unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Ancillary chunks (text, profiles) may not make libpng allocate more.
constexpr png_alloc_size_t kChunkLimit = 1u << 20;
constexpr std::uint64_t kMaxDeflateRatio = 1032;

// What the read callback and the error handler share with the decoder.
// Plain data only: libpng leaves by longjmp.
struct PngSource {
    const unsigned char* bytes;
    std::size_t length;
    std::size_t position;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (count > source->length - source->position) {
        // A truncated file: never read past the buffer.
        png_error(png, "truncated");
        return;
    }
    std::memcpy(out, source->bytes + source->position, count);
    source->position += count;
}

void Quiet(png_structp, png_const_charp) {}

void FailDecode(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

// Reads the PNG into `bitmap` as straight B, G, R, A. No object with a
// destructor lives in this frame or below it while libpng runs, since an
// error leaves by longjmp; the bitmap is the caller's and is emptied on
// failure by the caller.
bool ReadPng(PngSource* source, plat::Bitmap* bitmap) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, FailDecode, Quiet);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, source, ReadFromMemory);
    png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
    png_set_chunk_malloc_max(png, kChunkLimit);
    png_read_info(png, info);

    png_uint_32 width = 0, height = 0;
    int depth = 0, colourType = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &colourType, &interlace, nullptr, nullptr);
    if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide)
        png_longjmp(png, 1);
    // Deflate packs at most 1032 bytes into one: a header promising more
    // pixel bytes than the file could hold is refused before anything is
    // allocated for it.
    const std::uint64_t rawBytes =
        static_cast<std::uint64_t>(height) *
        ((static_cast<std::uint64_t>(width) * png_get_channels(png, info) * depth + 7) / 8);
    if (rawBytes > static_cast<std::uint64_t>(source->length) * kMaxDeflateRatio)
        png_longjmp(png, 1);

    // Expand palette, low-bit grey and the transparency chunk; 16-bit
    // samples are scaled to 8; grey becomes B = G = R; a missing alpha is
    // 255; the bytes come in the order B, G, R, A.
    png_set_expand(png);
    png_set_scale_16(png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_bgr(png);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<png_size_t>(width) * 4 ||
        png_get_channels(png, info) != 4 || png_get_bit_depth(png, info) != 8)
        png_longjmp(png, 1);

    if (!bitmap->Create(static_cast<int>(width), static_cast<int>(height)))
        png_longjmp(png, 1);
    // Each pass of an interlaced image fills in more of the same rows.
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 y = 0; y < height; ++y)
            png_read_row(png, reinterpret_cast<png_bytep>(bitmap->Row(static_cast<int>(y))),
                         nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

std::uint32_t Little16(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8;
}
std::uint32_t Little32(const unsigned char* p) {
    return Little16(p) | Little16(p + 2) << 16;
}

// An uncompressed 24- or 32-bit BMP, opaque.
bool DecodeBmp(const unsigned char* bytes, std::size_t length, plat::Bitmap* bitmap) {
    if (length < 54 || bytes[0] != 'B' || bytes[1] != 'M')
        return false;
    const std::uint32_t offset = Little32(bytes + 10);
    const std::uint32_t headerSize = Little32(bytes + 14);
    if (headerSize < 40 || headerSize > length - 14)
        return false;
    const std::int32_t width = static_cast<std::int32_t>(Little32(bytes + 18));
    const std::int32_t rawHeight = static_cast<std::int32_t>(Little32(bytes + 22));
    const std::uint32_t bits = Little16(bytes + 28);
    const std::uint32_t compression = Little32(bytes + 30);
    if (rawHeight == INT32_MIN || width < 1 || width > kMaxImageSide || rawHeight == 0 ||
        (bits != 24 && bits != 32) || (compression != 0 && !(compression == 3 && bits == 32)))
        return false;
    const bool topDown = rawHeight < 0;
    const std::int32_t height = topDown ? -rawHeight : rawHeight;
    if (height > kMaxImageSide)
        return false;
    const std::size_t stride = ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4;
    if (offset > length || stride * static_cast<std::size_t>(height) > length - offset)
        return false;
    if (!bitmap->Create(width, height))
        return false;
    const std::size_t step = bits / 8;
    for (std::int32_t y = 0; y < height; ++y) {
        const unsigned char* row = bytes + offset + stride * (topDown ? y : height - 1 - y);
        std::uint32_t* out = bitmap->Row(y);
        for (std::int32_t x = 0; x < width; ++x) {
            const unsigned char* p = row + static_cast<std::size_t>(x) * step;
            out[x] = plat::MakePixel(p[0], p[1], p[2], 255);
        }
    }
    return true;
}

} // namespace

bool DecodeImage(const void* bytes, std::size_t length, bool premultiplyFallback,
                 plat::Bitmap* bitmap) {
    (void)premultiplyFallback; // the fallback's pictures are never transparent
    if (!bitmap)
        return false;
    bitmap->Reset();
    if (!bytes)
        return false;
    const auto* data = static_cast<const unsigned char*>(bytes);
    if (length >= sizeof kPngSignature &&
        std::memcmp(data, kPngSignature, sizeof kPngSignature) == 0) {
        PngSource source{data, length, 0};
        if (ReadPng(&source, bitmap) && PremultiplyAlpha(bitmap))
            return true;
        bitmap->Reset();
        return false;
    }
    if (DecodeBmp(data, length, bitmap))
        return true;
    bitmap->Reset();
    return false;
}

bool PremultiplyAlpha(plat::Bitmap* bitmap) {
    if (!bitmap || bitmap->IsEmpty())
        return false;
    for (int y = 0; y < bitmap->Height(); ++y) {
        std::uint32_t* row = bitmap->Row(y);
        for (int x = 0; x < bitmap->Width(); ++x) {
            const std::uint32_t p = row[x];
            const std::uint32_t a = plat::PixelA(p);
            if (a == 255)
                continue;
            auto scale = [a](std::uint32_t c) {
                return static_cast<std::uint8_t>((a * c + 255) >> 8);
            };
            row[x] = plat::MakePixel(scale(plat::PixelB(p)), scale(plat::PixelG(p)),
                                     scale(plat::PixelR(p)), static_cast<std::uint8_t>(a));
        }
    }
    return true;
}

bool MergeAlphaMask(plat::Bitmap* bitmap, const plat::Bitmap& mask) {
    if (!bitmap || bitmap->IsEmpty() || mask.IsEmpty() || bitmap->Width() != mask.Width() ||
        bitmap->Height() != mask.Height())
        return false;
    for (int y = 0; y < bitmap->Height(); ++y) {
        std::uint32_t* row = bitmap->Row(y);
        const std::uint32_t* maskRow = mask.Row(y);
        for (int x = 0; x < bitmap->Width(); ++x) {
            const std::uint32_t m = plat::PixelB(maskRow[x]);
            const std::uint32_t p = row[x];
            auto scale = [m](std::uint32_t c) {
                return static_cast<std::uint8_t>((m * c + 255) >> 8);
            };
            row[x] = plat::MakePixel(scale(plat::PixelB(p)), scale(plat::PixelG(p)),
                                     scale(plat::PixelR(p)), static_cast<std::uint8_t>(m));
        }
    }
    return true;
}

bool RegionFromAlpha(const plat::Bitmap& bitmap, std::uint8_t threshold, plat::Region* region) {
    if (bitmap.IsEmpty() || !region)
        return false;
    plat::RegionBuilder builder;
    for (int y = 0; y < bitmap.Height(); ++y) {
        const std::uint32_t* row = bitmap.Row(y);
        int x = 0;
        const int width = bitmap.Width();
        while (x < width) {
            while (x < width && plat::PixelA(row[x]) < threshold)
                ++x;
            const int start = x;
            while (x < width && plat::PixelA(row[x]) >= threshold)
                ++x;
            if (x > start)
                builder.Add(y, start, x);
        }
    }
    plat::Region built = builder.Finish();
    *region = region->IsEmpty() ? std::move(built) : region->Union(built);
    return true;
}

} // namespace skin
