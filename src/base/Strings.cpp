#include "base/Strings.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>

namespace base {

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string out;
    if (needed > 0) {
        out.resize(static_cast<std::size_t>(needed) + 1);
        std::vsnprintf(out.data(), out.size(), format, args);
        out.resize(static_cast<std::size_t>(needed));
    }
    va_end(args);
    return out;
}

std::wstring FormatW(const wchar_t* format, ...) {
    // vswprintf cannot report the needed size: grow until the text fits.
    std::wstring out(128, L'\0');
    for (;;) {
        va_list args;
        va_start(args, format);
        int written = std::vswprintf(out.data(), out.size(), format, args);
        va_end(args);
        if (written >= 0 && static_cast<std::size_t>(written) < out.size()) {
            out.resize(static_cast<std::size_t>(written));
            return out;
        }
        if (out.size() > (1u << 24))
            return {};
        out.resize(out.size() * 2);
    }
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace base
