#pragma once
// The "/crc" run: writes the launcher checksum of the running executable to
// "crc.txt" in the current folder. Runs on the main thread, without a log.

namespace config {

// Creates (always anew) "crc.txt" holding the decimal checksum ("%u") or, when
// the executable could not be read, "error" and the system error code
// ("%s %d"). When the file cannot be created its read-only attribute is
// cleared, it is deleted and the result is false.
bool WriteCrcFile();

} // namespace config
