#include "logic/LangFormat.h"

#include <cmath>
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

namespace {

// The kind of argument a conversion character takes; false for one the
// formatter does not know.
bool ConversionKind(wchar_t conversion, LangArg::Kind* kind) {
    switch (conversion) {
    case L'd':
    case L'i':
    case L'u':
    case L'x':
    case L'X':
    case L'o':
    case L'c':
        *kind = LangArg::Integer;
        return true;
    case L'f':
    case L'F':
    case L'e':
    case L'E':
    case L'g':
    case L'G':
        *kind = LangArg::Real;
        return true;
    case L's':
    case L'S':
        *kind = LangArg::Text;
        return true;
    default:
        return false;
    }
}

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

// Reads at most two digits at `at`; false when there are more.
bool ShortNumber(std::wstring_view text, std::size_t* at) {
    std::size_t digits = 0;
    while (*at < text.size() && IsDigit(text[*at])) {
        ++*at;
        if (++digits > 2)
            return false;
    }
    return true;
}

// One conversion with its argument; `pattern` holds the flags, width and
// precision, without the length modifiers.
std::wstring FormatConversion(std::wstring pattern, wchar_t conversion, const LangArg& arg) {
    wchar_t buffer[256];
    int written = -1;
    if (arg.kind == LangArg::Text) {
        // A text may be long: the width and precision rules are the
        // formatter's own here, so a long text never meets the buffer.
        std::wstring text = arg.text;
        std::size_t dot = pattern.find(L'.');
        if (dot != std::wstring::npos) {
            std::size_t precision = 0;
            for (std::size_t i = dot + 1; i < pattern.size(); ++i)
                precision = precision * 10 + static_cast<std::size_t>(pattern[i] - L'0');
            if (text.size() > precision)
                text.resize(precision);
        }
        std::size_t width = 0;
        bool left = false;
        std::size_t i = 1;
        for (; i < pattern.size() && !IsDigit(pattern[i]) && pattern[i] != L'.'; ++i)
            left = left || pattern[i] == L'-';
        for (; i < pattern.size() && IsDigit(pattern[i]); ++i)
            width = width * 10 + static_cast<std::size_t>(pattern[i] - L'0');
        if (text.size() < width)
            text = left ? text + std::wstring(width - text.size(), L' ')
                        : std::wstring(width - text.size(), L' ') + text;
        return text;
    }
    if (arg.kind == LangArg::Real) {
        pattern += conversion;
        const double value = arg.real > 1e15 ? 1e15 : (arg.real < -1e15 ? -1e15 : arg.real);
        written = std::swprintf(buffer, sizeof buffer / sizeof buffer[0], pattern.c_str(),
                                std::isnan(value) ? 0.0 : value);
    } else if (conversion == L'c') {
        pattern += L"lc";
        const std::int64_t code = arg.integer;
        written = std::swprintf(buffer, sizeof buffer / sizeof buffer[0], pattern.c_str(),
                                static_cast<wint_t>(code > 0 && code < 0x110000 ? code : L'?'));
    } else {
        pattern += L"ll";
        pattern += conversion;
        written = std::swprintf(buffer, sizeof buffer / sizeof buffer[0], pattern.c_str(),
                                static_cast<long long>(arg.integer));
    }
    return written < 0 ? std::wstring() : std::wstring(buffer, static_cast<std::size_t>(written));
}

} // namespace

bool FormatLangArgs(std::wstring_view format, const std::vector<LangArg>& args, std::wstring* out) {
    std::wstring result;
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != L'%') {
            result += format[i];
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == L'%') {
            result += L'%';
            ++i;
            continue;
        }
        std::size_t at = i + 1;
        while (at < format.size() &&
               std::wstring_view(L"-+ #0").find(format[at]) != std::wstring_view::npos)
            ++at;
        bool fits = ShortNumber(format, &at);
        if (fits && at < format.size() && format[at] == L'.') {
            ++at;
            fits = ShortNumber(format, &at);
        }
        std::wstring pattern(format.substr(i, at - i));
        while (fits && at < format.size() &&
               std::wstring_view(L"lhLqjzt").find(format[at]) != std::wstring_view::npos)
            ++at;
        LangArg::Kind kind = LangArg::Integer;
        fits = fits && at < format.size() && ConversionKind(format[at], &kind) &&
               next < args.size() && args[next].kind == kind;
        if (!fits) {
            *out = std::wstring(format);
            return false;
        }
        result += FormatConversion(pattern, format[at], args[next]);
        ++next;
        i = at;
    }
    *out = std::move(result);
    return true;
}

} // namespace logic
