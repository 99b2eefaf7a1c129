#pragma once
// Checks of the running system made during init: whether the universal C
// runtime is present, and which system update package brings it when it is
// not. Called on the window thread.

#include "platform/OsVersion.h"

#include <functional>
#include <string>

class CLogImplW;

namespace logic {

// Loads (and at once frees) a runtime library by name; true when it loaded.
using LibraryProbe = std::function<bool(const std::wstring& name)>;

// The universal C runtime is present. Systems with major version 10 or later
// always have it and are not checked. Older ones log "Checking for UCRT...",
// probe each of the four runtime libraries and log the outcome. An empty
// probe uses the platform's: on POSIX there are no such libraries to load and
// the C runtime comes with the system, so every probe succeeds.
bool UcrtPresent(const plat::OsVersionRecord& os, CLogImplW* log, const LibraryProbe& probe = {});

// The download address of the KB2999226 package for this system, or "" when
// the runtime is present or no package applies (systems other than 6.1, 6.2
// and 6.3, and 32-bit servers).
std::string SelectKbPackage(const plat::OsVersionRecord& os, bool is64Bit, bool ucrtPresent);

} // namespace logic
