#pragma once
// Where the launcher log of this start goes: earlier logs of the executable's
// folder are moved into the newest dated folder under "logs", then a
// timestamped name that no earlier start has taken is chosen. Runs once on
// the main thread at start-up, before the log opens.

#include "platform/Time.h"

#include <cstdint>
#include <string>

namespace launcherlog {

// Most suffixes tried, both for a new log name and for a moved log.
inline constexpr int kMaxNameTries = 100;

// folder + "yyyymmdd_hhmmss" + ("" or "_<index>") + "." + fileName + ".log".
std::wstring LogCandidate(const std::wstring& folder, const std::wstring& fileName,
                          const plat::SystemTime& localTime, int index);

// The first candidate (index 0 to 99) that does not exist yet, claimed by
// creating it empty (so that launchers started in the same second never
// share a log); when all of them exist, the last one, which is then
// overwritten.
std::wstring ChooseLogPath(const std::wstring& folder, const std::wstring& fileName,
                           const plat::SystemTime& localTime);

// Reads a "yyyymmdd_hhmmss" folder name (anything may follow) into a
// date and time packed at two-second precision, as file-system dates are.
// False when the name does not start that way or is no valid date.
bool ParseDatedFolderName(const std::wstring& name, std::uint32_t* packedTime);

// Moves every "*.log" file of `folder` (launcher and HTTP logs alike) into the
// newest dated folder of folder + "logs". A folder named like
// "20240305_065500.1234" receives "1234.<base>.log"; a dated folder without a
// "." in its name receives "<base>.log" as it is. A taken name gets "(1)" to
// "(99)" before ".log"; a file that finds no free name stays. Every failure is
// ignored, and without a dated folder nothing moves.
void MoveEarlierLogs(const std::wstring& folder);

// The whole choice for an executable path: without a separator the path plus
// ".log"; otherwise earlier logs are moved away and a new timestamped name in
// the executable's folder is chosen from the given local time.
std::wstring MakeLogPath(const std::wstring& executablePath, const plat::SystemTime& localTime);
// The same with the local time read after the move.
std::wstring MakeLogPath(const std::wstring& executablePath);

} // namespace launcherlog
