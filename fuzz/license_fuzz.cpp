// Fuzzes the licence renderer's layout: the first byte picks the width, the
// rest is the document. Checks the bounds every layout keeps: the line
// count, and no line longer than its indent, one word cut at the word bound
// and the blanks of centring.
#include "skin/LicenseRenderer.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const int width = data[0] % 80;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const skin::TextLayoutLimits limits;
    const auto lines = skin::LayoutTextLines(text, width, limits);
    if (lines.size() > limits.maxLines)
        __builtin_trap();
    for (const std::wstring& line : lines) {
        if (line.size() < static_cast<std::size_t>(width) || line.size() <= 1)
            continue;
        // A longer line is an indent (at most half the width) and one word,
        // or blanks of centring that end before the width plus three.
        const std::size_t indent = line.find_first_not_of(L' ');
        if (indent == std::wstring::npos) {
            if (line.size() >= static_cast<std::size_t>(width) + 3)
                __builtin_trap();
            continue;
        }
        if (line.size() > indent + limits.maxWordChars + static_cast<std::size_t>(width) + 3)
            __builtin_trap();
    }
    return 0;
}
