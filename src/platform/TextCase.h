#pragma once
// ASCII case folding, the one way the launcher compares names without
// regard to case: header and scheme names, registry key and value names,
// file names from manifests, language codes. Letters outside ASCII are left
// as they are, as Windows' ordinal case-insensitive comparisons of these
// names do. Pure functions, any thread.

#include <string>
#include <string_view>

namespace plat {

constexpr char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr wchar_t AsciiLower(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

std::string ToLowerAscii(std::string_view text);
std::wstring ToLowerAscii(std::wstring_view text);

bool EqualsNoCase(std::string_view a, std::string_view b);
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);

} // namespace plat
