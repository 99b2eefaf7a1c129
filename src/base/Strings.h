#pragma once
// printf-style formatting into narrow and wide strings, and the small text
// helpers every layer shares.

#include "platform/TextCase.h"
#include "platform/Unicode.h"

#include <string>
#include <string_view>

namespace base {

// mingw-w64 checks "printf" against the system's C library; the formats
// here follow the standard one, which the build selects.
#ifdef __MINGW32__
#define LAUNCHER_PRINTF_FORMAT gnu_printf
#else
#define LAUNCHER_PRINTF_FORMAT printf
#endif
std::string Format(const char* format, ...) __attribute__((format(LAUNCHER_PRINTF_FORMAT, 1, 2)));
std::wstring FormatW(const wchar_t* format, ...);

using plat::Utf8ToWide;
using plat::WideToUtf8;

// The value of a hexadecimal digit, -1 for any other character.
int HexDigitValue(char c);

// Compares and lowers without regard to ASCII case.
using plat::EqualsNoCase;
using plat::ToLowerAscii;

} // namespace base
