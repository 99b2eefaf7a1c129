#pragma once
// The rule that keeps archive entries inside the installation folder: an
// entry name is written only when it names a place below that folder. Pure
// function; any thread.

#include <string>

namespace update {

// True for a relative name ("\" or "/" separated) whose every segment is a
// real name. Refused: an empty name, control characters (a NUL byte, line
// breaks and every other byte below 0x20, and 0x7F), a leading separator (an
// absolute path), a drive or stream colon anywhere, an empty segment
// ("a\\b"), and segments made only of dots and blanks ("." and "..", and the
// forms Windows trims down to them). One trailing separator is allowed: it
// marks a folder entry ("bin\").
bool IsSafeArchivePath(const std::string& name);

} // namespace update
