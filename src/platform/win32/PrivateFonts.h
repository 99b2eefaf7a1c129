#pragma once
// The font files this process registered for itself (AddFontResourceExW with
// FR_PRIVATE | FR_NOT_ENUM), with their bytes kept so that a font made from
// one of them can tell which file it came from. Any thread; one lock.

#include "platform/win32/WinApi.h"

#include <mutex>
#include <string>
#include <vector>

namespace plat::win {

class PrivateFonts {
public:
    static PrivateFonts& Instance();

    // The number of faces added; 0 with 2 (missing) or 13 (not a font).
    int Add(const std::wstring& path);
    // False with 2 when the file was not added.
    bool Remove(const std::wstring& path);
    // The private file (UTF-8) whose bytes the context's selected font
    // comes from; empty for the system's fonts.
    std::string FileOf(HDC dc);

private:
    struct Entry {
        std::wstring path;
        std::string bytes;
    };
    PrivateFonts() = default;

    std::mutex mutex_;
    std::vector<Entry> entries_;
};

} // namespace plat::win
