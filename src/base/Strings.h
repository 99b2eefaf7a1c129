#pragma once
// printf-style formatting into narrow and wide strings, and the small text
// helpers every layer shares.

#include "platform/TextCase.h"
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

// Compares and lowers without regard to ASCII case.
using plat::EqualsNoCase;
using plat::ToLowerAscii;

} // namespace base
