#include "platform/Unicode.h"

#include <cstdint>

namespace plat {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point from UTF-8 at `i`; advances `i`. Invalid sequences
// (overlong forms, surrogates, values above U+10FFFF, truncation) give
// U+FFFD and consume one byte.
char32_t DecodeUtf8(std::string_view s, std::size_t& i, bool& ok) {
    auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(s[k]); };
    std::uint8_t b0 = byte(i);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int len = 0;
    char32_t cp = 0, min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        ok = false;
        ++i;
        return kReplacement;
    }
    if (i + static_cast<std::size_t>(len) > s.size()) {
        ok = false;
        ++i;
        return kReplacement;
    }
    for (int k = 1; k < len; ++k) {
        std::uint8_t b = byte(i + static_cast<std::size_t>(k));
        if ((b & 0xC0) != 0x80) {
            ok = false;
            ++i;
            return kReplacement;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ok = false;
        ++i;
        return kReplacement;
    }
    i += static_cast<std::size_t>(len);
    return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void AppendWide(std::wstring& out, char32_t cp) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (cp >> 10));
            out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
            return;
        }
    }
    out += static_cast<wchar_t>(cp);
}

// Reads one code point from a wide string (UTF-16 pairs where wchar_t is 16
// bits); lone surrogates give U+FFFD.
char32_t DecodeWide(std::wstring_view s, std::size_t& i, bool& ok) {
    char32_t c = static_cast<char32_t>(s[i++]);
    if (c >= 0xD800 && c <= 0xDBFF && sizeof(wchar_t) == 2 && i < s.size()) {
        char32_t d = static_cast<char32_t>(s[i]);
        if (d >= 0xDC00 && d <= 0xDFFF) {
            ++i;
            return 0x10000 + ((c - 0xD800) << 10) + (d - 0xDC00);
        }
    }
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
        ok = false;
        return kReplacement;
    }
    return c;
}

} // namespace

std::wstring Utf8ToWide(std::string_view text, bool* ok) {
    std::wstring out;
    out.reserve(text.size());
    bool valid = true;
    for (std::size_t i = 0; i < text.size();)
        AppendWide(out, DecodeUtf8(text, i, valid));
    if (ok)
        *ok = valid;
    return out;
}

std::string WideToUtf8(std::wstring_view text, bool* ok) {
    std::string out;
    out.reserve(text.size());
    bool valid = true;
    for (std::size_t i = 0; i < text.size();)
        AppendUtf8(out, DecodeWide(text, i, valid));
    if (ok)
        *ok = valid;
    return out;
}

std::string WideToUtf16Le(std::wstring_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    bool valid = true;
    auto put = [&](char32_t unit) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>((unit >> 8) & 0xFF);
    };
    for (std::size_t i = 0; i < text.size();) {
        char32_t cp = DecodeWide(text, i, valid);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(0xD800 + (cp >> 10));
            put(0xDC00 + (cp & 0x3FF));
        } else {
            put(cp);
        }
    }
    return out;
}

std::wstring Utf16LeToWide(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size() / 2);
    auto unit = [&](std::size_t k) {
        return static_cast<char32_t>(static_cast<std::uint8_t>(bytes[k]) |
                                     (static_cast<std::uint8_t>(bytes[k + 1]) << 8));
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 3 < bytes.size()) {
            char32_t d = unit(i + 2);
            if (d >= 0xDC00 && d <= 0xDFFF) {
                AppendWide(out, 0x10000 + ((c - 0xD800) << 10) + (d - 0xDC00));
                i += 2;
                continue;
            }
        }
        AppendWide(out, (c >= 0xD800 && c <= 0xDFFF) ? kReplacement : c);
    }
    return out;
}

} // namespace plat
