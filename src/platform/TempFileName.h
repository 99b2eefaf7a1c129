#pragma once
// Unique file names in a folder, as GetTempFileName makes them. Any thread.

#include <string>

namespace plat {

// Creates a new empty file "<prefix><hex digits>.tmp" in the folder (it was
// not there before this call) and gives its path.
bool MakeTempFileName(const std::wstring& folder, const std::wstring& prefix, std::wstring* path);

} // namespace plat
