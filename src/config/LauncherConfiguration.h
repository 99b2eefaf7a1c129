#pragma once
// What preinit loads from the resource archive: the launcher configuration,
// the chosen theme's document and the language tables. Loaded once on the
// window thread; read-only afterwards.

#include "config/ConfigDocument.h"
#include "config/LauncherLanguages.h"

#include <cstdint>
#include <string>

namespace config {

class IMemberSource;

struct LauncherConfiguration {
    CConfigDocument configDoc;
    CConfigDocument themeDoc;
    std::uint32_t configCrc = 0; // CRC-32 of the "config.xml" member
    std::string regPath;
    bool logLauncher = false;
    bool logHttp = false;
    bool multiRun = false;
    std::string themeFolder; // the chosen theme's path and "\"
    CLauncherLanguages languages;
};

// The name of the theme the user chose, stored under HKCU\<regPath>\Themes
// ("Theme", at most 50 characters); empty when none is stored.
std::string StoredThemeName(const std::string& regPath);

// Loads the configuration, selects the theme, loads the languages and the
// theme document. False on the first failure, with a line for the log in
// `error`: a missing or unparsable "config.xml", no "common" element or
// regPath, no theme with a path, a language failure, or a theme document
// that is missing or does not parse.
bool LoadLauncherConfiguration(const IMemberSource& archive, LauncherConfiguration* out,
                               std::string* error);

} // namespace config
