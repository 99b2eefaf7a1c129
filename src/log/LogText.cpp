#include "log/LogText.h"

#include "base/Strings.h"

namespace logtext {

std::wstring BuildBannerLine(std::wstring_view text) {
    const std::size_t n = text.size();
    if (n + 4 >= kBannerWidth) {
        std::wstring line = L"=== ";
        line.append(text);
        line.append(L" ===");
        return line;
    }
    // The text and its two blanks overwrite the middle of the run; for an odd
    // length the left run comes out one shorter than the right.
    std::wstring line(kBannerWidth, L'=');
    const std::size_t pos = (kBannerWidth - 2 - n) / 2;
    line[pos] = L' ';
    line.replace(pos + 1, n, text);
    line[pos + 1 + n] = L' ';
    return line;
}

std::wstring FormatTimeText(const plat::SystemTime& time) {
    return base::FormatW(L"%d/%d/%d -- %02d:%02d:%02d", time.day, time.month, time.year, time.hour,
                         time.minute, time.second);
}

std::wstring FormatTimePrefix(const plat::SystemTime& time) {
    return FormatTimeText(time) + L"  :";
}

} // namespace logtext
