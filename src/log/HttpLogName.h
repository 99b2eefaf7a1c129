#pragma once
// File names of HTTP logs: "<pid>.Httx.<context>.log" in the log folder, with
// every character a file name cannot hold replaced. Pure functions, callable
// from any thread.

#include <cstdint>
#include <string>
#include <string_view>

namespace httplog {

// Replaces control characters below 31, bytes 128 and above, the double quote
// and / : < > \ | by "-".
std::string SanitizeLogName(std::string_view name);

// "Httx.<context name>", or "Httx.Context<number>" for a context without a
// name, sanitised.
std::string MakeLogName(std::string_view contextName, int contextNumber);

// "<pid>.<log name>.log" with the log name sanitised.
std::string MakeLogFileName(std::uint32_t processId, std::string_view logName);

} // namespace httplog
