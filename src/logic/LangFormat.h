#pragma once
// Language texts that take a name: a translation is data, never a printf
// format, so it goes through this formatter, which knows only "%s" (the
// name) and "%%" (a percent sign) and copies everything else as written. A
// wide name therefore prints whole, and a stray "%d" or "%n" in a
// translation prints as it stands instead of reading arguments that do not
// exist. Pure function, any thread.

#include <string>
#include <string_view>

namespace logic {

// The language strings the launcher formats with a name.
enum : int {
    kLangClientStartTooLong = 23, // the product's full name
    kLangCannotCreateFile = 39,   // a file name
    kLangMaxClientsReached = 109, // the product's full name
    kLangTrayProgress = 8,        // a percentage, "%.1f%%"
};

// The text with its first "%s" replaced by the name and "%%" by "%".
std::wstring FormatLangText(std::wstring_view format, std::wstring_view name);

// The text with its first "%.Nf" (N one digit; "%f" is "%.6f") replaced by
// the number and "%%" by "%"; the same rules otherwise.
std::wstring FormatLangNumber(std::wstring_view format, double value);

} // namespace logic
