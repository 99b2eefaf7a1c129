#pragma once
// PNG encoding of bitmaps, for screenshots and test artefacts. The theme's
// PNG decoding belongs to the skin, which owns its rules.

#include "platform/Bitmap.h"

#include <string>

namespace plat {

// Encodes the bitmap as an 8-bit RGBA PNG (colours taken back out of their
// premultiplied form). False (8) when encoding fails.
bool EncodePng(const Bitmap& bitmap, std::string* png);
// Writes the PNG to `path` through a temporary name and a rename, so a
// reader never sees half a file.
bool SavePng(const Bitmap& bitmap, const std::wstring& path);

} // namespace plat
