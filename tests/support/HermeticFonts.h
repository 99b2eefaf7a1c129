#pragma once
// A font configuration of the test's own: fontconfig sees only the Liberation
// fonts (pinned, so text metrics are the same on every machine) and keeps its
// cache in the test's folder. Install it before the first font is made;
// it stays for the rest of the test program.

#include <string>

namespace testsupport {

// Where the pinned fonts live.
constexpr const char* kLiberationFolder = "/usr/share/fonts/truetype/liberation2";
constexpr const char* kDejaVuFolder = "/usr/share/fonts/truetype/dejavu";

// Writes the configuration and points FONTCONFIG_FILE at it (once per
// process; later calls do nothing). False when the pinned fonts are missing.
bool UseHermeticFonts();

} // namespace testsupport
