#pragma once
// Plain UTF-8 <-> wide conversions shared by every layer. A wide string holds
// the platform's wchar_t units: code points on Linux, UTF-16 on Windows. Byte
// formats defined in UTF-16LE are encoded and decoded explicitly here, never
// by copying wchar_t memory.

#include <string>
#include <string_view>

namespace plat {

// Invalid input is replaced by U+FFFD in both directions; `ok` (when given)
// reports whether the input was valid.
std::wstring Utf8ToWide(std::string_view text, bool* ok = nullptr);
std::string WideToUtf8(std::wstring_view text, bool* ok = nullptr);

// UTF-16LE byte encoding of a wide string, as stored in files defined that way.
std::string WideToUtf16Le(std::wstring_view text);
std::wstring Utf16LeToWide(std::string_view bytes);

} // namespace plat
