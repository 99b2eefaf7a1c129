#pragma once
// The editable text form of a language table and the checks that keep
// translations safe to format. Used by the build's table compiler and by
// tests; pure functions, any thread.
//
// One string per line: the decimal id, a tab, then the text with "\n", "\t"
// and "\\" standing for a line break, a tab and a backslash. Empty lines and
// lines starting with "#" are skipped. Every id from 0 to the highest one
// must appear exactly once; the file is UTF-8 (a leading byte order mark and
// CR before LF are tolerated).

#include <string>
#include <string_view>
#include <vector>

namespace config {

// Parses a source into strings indexed by id. On failure `error` names the
// line and the fault.
bool ParseLangSource(std::string_view source, std::vector<std::string>* strings,
                     std::string* error);

// The source line text of a string (escapes applied), without the id.
std::string EscapeLangText(std::string_view text);

// The printf conversions of a text, in order, each as written: "%.1f",
// "%d", "%-5s", "%lld". "%%" prints a percent sign and is not a conversion.
// A "%" that does not start a complete conversion is returned as far as it
// goes ("%" at the end, "%y"), so a comparison still sees it.
std::vector<std::string> ExtractPlaceholders(std::string_view text);

// "[%d %s]": a placeholder list for messages.
std::string FormatPlaceholders(const std::vector<std::string>& placeholders);

// Checks a translation against the reference table: the same ids, and for
// every id the same conversions in the same order. Every difference adds a
// line to `problems` (when given); true when there is none.
bool CheckTranslation(const std::vector<std::string>& reference,
                      const std::vector<std::string>& translation,
                      std::vector<std::string>* problems);

} // namespace config
