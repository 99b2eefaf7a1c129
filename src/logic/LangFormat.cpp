#include "logic/LangFormat.h"

#include <cwchar>

namespace logic {

std::wstring FormatLangText(std::wstring_view format, std::wstring_view name) {
    std::wstring out;
    out.reserve(format.size() + name.size());
    bool nameUsed = false;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == L'%' && i + 1 < format.size()) {
            if (format[i + 1] == L'%') {
                out += L'%';
                ++i;
                continue;
            }
            if (format[i + 1] == L's' && !nameUsed) {
                out += name;
                nameUsed = true;
                ++i;
                continue;
            }
        }
        out += format[i];
    }
    return out;
}

namespace {

// The length of a "%f" or "%.Nf" conversion at the start of the text, and its
// precision; zero when there is none.
std::size_t FixedConversion(std::wstring_view text, int* precision) {
    if (text.size() >= 2 && text[0] == L'%' && text[1] == L'f') {
        *precision = 6;
        return 2;
    }
    if (text.size() >= 4 && text[0] == L'%' && text[1] == L'.' && text[2] >= L'0' &&
        text[2] <= L'9' && text[3] == L'f') {
        *precision = text[2] - L'0';
        return 4;
    }
    return 0;
}

} // namespace

std::wstring FormatLangNumber(std::wstring_view format, double value) {
    std::wstring out;
    out.reserve(format.size() + 16);
    bool numberUsed = false;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == L'%' && i + 1 < format.size() && format[i + 1] == L'%') {
            out += L'%';
            ++i;
            continue;
        }
        int precision = 0;
        const std::size_t length = numberUsed ? 0 : FixedConversion(format.substr(i), &precision);
        if (length != 0) {
            wchar_t number[64];
            // Precision at most 9 and a clamped value keep it far inside.
            const double shown = value > 1e15 ? 1e15 : (value < -1e15 ? -1e15 : value);
            std::swprintf(number, sizeof number / sizeof number[0], L"%.*f", precision, shown);
            out += number;
            numberUsed = true;
            i += length - 1;
            continue;
        }
        out += format[i];
    }
    return out;
}

} // namespace logic
