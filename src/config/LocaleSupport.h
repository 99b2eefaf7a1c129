#pragma once
// Locale services the language tables need: the numeric identifier of a
// locale name, the C runtime locale that stands for a configured locale name,
// the process-wide time-formatting locale and the user's language code.
// Pure functions except SetTimeLocale (process-wide) and SystemLanguageCode
// (reads the environment); the launcher calls them on its initialisation
// path and on the window thread.

#include <cstdint>
#include <string>
#include <string_view>

namespace config {

// The Windows locale identifier of a locale name such as "en-US" or "de"
// (letter case ignored); 0 for an empty or unknown name.
std::uint32_t LocaleNameToLcid(std::string_view name);

// The name under which the C runtime knows the locale "en-US": the name
// itself, else its POSIX spellings "en_US.UTF-8", "en_US.utf8" and "en_US",
// the first that exists. Empty when the name is empty or no spelling exists;
// systems often carry only a few locales, so callers treat that as "keep the
// current locale" rather than as an error.
std::string FindRuntimeLocale(std::string_view name);

// Sets the C runtime's time-formatting category (LC_TIME) to a name found by
// FindRuntimeLocale; false when the runtime refuses it.
bool SetTimeLocale(const std::string& runtimeName);

// The ISO 639 language of a POSIX locale value: "de_DE.UTF-8" -> "de",
// "pt_BR@euro" -> "pt". "C" and "POSIX" (and their ".UTF-8" forms) are the
// runtime's English and give "en"; an empty or malformed value gives "".
std::string LanguageCodeFromLocale(std::string_view value);

// The user's language: the first non-empty one of LC_ALL, LC_MESSAGES and
// LANG, through LanguageCodeFromLocale. Empty when none is set.
std::string SystemLanguageCode();

} // namespace config
