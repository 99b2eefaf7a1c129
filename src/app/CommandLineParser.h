#pragma once
// Turns the process's command-line text into the run command and flags.
// Runs once on the main thread before anything else.

#include "base/RunCommand.h"

#include <string>

namespace app {

enum class SwitchMatching {
    // Windows: a plain case-sensitive substring search anywhere in the text.
    Substring,
    // POSIX: paths contain "/", so a switch counts only as a whole
    // blank-delimited token outside double quotes.
    WholeToken,
};

// The matching rule of the platform the launcher was built for.
SwitchMatching NativeSwitchMatching();

CommandLineState ParseCommandLine(const std::wstring& commandLine, SwitchMatching matching);

// Position of a switch under the given rule, or npos.
std::size_t FindSwitch(const std::wstring& commandLine, const std::wstring& name,
                       SwitchMatching matching);

} // namespace app
