#pragma once
// How an elevated start is asked of the shell: ShellExecuteEx with the
// "runas" verb takes the program and its parameters apart. Any thread.

#include "platform/Process.h"

#include <string>

namespace plat::win {

struct RunAsRequest {
    std::wstring verb;       // "runas"
    std::wstring file;       // the program, as an absolute path
    std::wstring parameters; // the text after the program token, unchanged
    std::wstring directory;  // empty: the caller's
    int show = 0;            // a ShowWindow command
};

// The request for the start; false (last error 2) when the command line
// names no program.
bool BuildRunAsRequest(const ProcessStartInfo& info, RunAsRequest* request);

} // namespace plat::win
