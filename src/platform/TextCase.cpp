#include "platform/TextCase.h"

#include <algorithm>

namespace plat {

namespace {

template <typename Char> std::basic_string<Char> Lowered(std::basic_string_view<Char> text) {
    std::basic_string<Char> out(text);
    for (Char& c : out)
        c = AsciiLower(c);
    return out;
}

template <typename Char>
bool SameLetters(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](Char x, Char y) {
               return AsciiLower(x) == AsciiLower(y);
           });
}

} // namespace

std::string ToLowerAscii(std::string_view text) {
    return Lowered(text);
}

std::wstring ToLowerAscii(std::wstring_view text) {
    return Lowered(text);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return SameLetters(a, b);
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    return SameLetters(a, b);
}

} // namespace plat
