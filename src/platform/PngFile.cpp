#include "platform/PngFile.h"

#include "platform/Error.h"
#include "platform/File.h"
#include "platform/FileSystem.h"

#include <png.h>

#include <algorithm>
#include <vector>

namespace plat {

bool EncodePng(const Bitmap& bitmap, std::string* png) {
    if (bitmap.IsEmpty() || !png) {
        SetLastError(kErrInvalidParameter);
        return false;
    }
    // libpng's 8-bit formats take straight (not premultiplied) alpha.
    std::vector<std::uint8_t> straight(static_cast<std::size_t>(bitmap.Width()) * bitmap.Height() *
                                       4);
    std::uint8_t* out = straight.data();
    for (int y = 0; y < bitmap.Height(); ++y) {
        const std::uint32_t* row = bitmap.Row(y);
        for (int x = 0; x < bitmap.Width(); ++x, out += 4) {
            const std::uint32_t p = StraightPixel(row[x]);
            out[0] = PixelR(p);
            out[1] = PixelG(p);
            out[2] = PixelB(p);
            out[3] = PixelA(p);
        }
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(bitmap.Width());
    image.height = static_cast<png_uint_32>(bitmap.Height());
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, straight.data(), 0, nullptr)) {
        png_image_free(&image);
        SetLastError(kErrNotEnoughMemory);
        return false;
    }
    png->resize(size);
    if (!png_image_write_to_memory(&image, png->data(), &size, 0, straight.data(), 0, nullptr)) {
        png_image_free(&image);
        SetLastError(kErrNotEnoughMemory);
        return false;
    }
    png->resize(size);
    return true;
}

bool SavePng(const Bitmap& bitmap, const std::wstring& path) {
    std::string png;
    if (!EncodePng(bitmap, &png))
        return false;
    const std::wstring temporary = path + L".tmp";
    if (!WriteWholeFile(temporary, png.data(), png.size()))
        return false;
    if (!MoveFile(temporary, path, kMoveReplaceExisting)) {
        DeleteFile(temporary);
        return false;
    }
    return true;
}

} // namespace plat
