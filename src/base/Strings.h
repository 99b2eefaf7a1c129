#pragma once
// printf-style formatting into narrow and wide strings, and the small text
// helpers every layer shares.

#include "platform/Unicode.h"

#include <string>
#include <string_view>

namespace base {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::wstring FormatW(const wchar_t* format, ...);

using plat::Utf8ToWide;
using plat::WideToUtf8;

// The value of a hexadecimal digit, -1 for any other character.
int HexDigitValue(char c);

// Compares without regard to ASCII case.
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);
std::wstring ToLowerAscii(std::wstring_view text);

} // namespace base
