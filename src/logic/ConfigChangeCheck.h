#pragma once
// The configuration fingerprint kept beside the client update data: when the
// embedded configuration changed since the previous run, the saved client
// update data no longer apply and are discarded. Runs on the window thread
// during init.

#include <cstdint>
#include <string>

namespace logic {

// "CUD.dat" in the folder, or "CUD.dat" alone (the current folder) when the
// folder is empty.
std::wstring ClientUpdateDataPath(const std::wstring& folder);
// "CIF.dat" in the folder, on the same rule.
std::wstring ConfigFingerprintPath(const std::wstring& folder);

// Compares "CIF.dat" with configCrc. When the file holds exactly these 4
// bytes (little-endian) nothing happens and the result is false. Otherwise
// the file is deleted and written anew with configCrc, "CUD.dat" is deleted,
// and the result is true.
bool CheckConfigurationChange(const std::wstring& folder, std::uint32_t configCrc);

} // namespace logic
