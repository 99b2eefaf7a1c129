#pragma once
// Language texts that take a name: a translation is data, never a printf
// format, so it goes through this formatter, which knows only "%s" (the
// name) and "%%" (a percent sign) and copies everything else as written. A
// wide name therefore prints whole, and a stray "%d" or "%n" in a
// translation prints as it stands instead of reading arguments that do not
// exist. Pure function, any thread.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// One argument of a language text used as a printf format.
struct LangArg {
    enum Kind { Integer, Real, Text };
    Kind kind = Integer;
    std::int64_t integer = 0;
    double real = 0;
    std::wstring text;
};

// The format with its printf conversions filled from the arguments, in
// order: %d %i %u %x %X %o and %c take an integer, %f %F %e %E %g %G a real,
// %s a text; flags, a width and a precision of at most two digits each, and
// length modifiers (which the arguments' own sizes replace) are allowed.
// False, with `out` the format as it stands, when a conversion is of
// another kind than its argument, has no argument, or is not one of these:
// a translation that does not fit its arguments is shown, never formatted.
bool FormatLangArgs(std::wstring_view format, const std::vector<LangArg>& args, std::wstring* out);

} // namespace logic
