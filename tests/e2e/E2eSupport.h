#pragma once
// Running the built launcher and tools from the end-to-end tests: copies of
// Launcher.exe in a test folder, and child processes with a watchdog. Used on
// the test's main thread.

#include "platform/CommandLine.h"
#include "platform/PathRules.h"
#include "platform/Process.h"
#include "platform/ProcessList.h"
#include "platform/Unicode.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

#include <filesystem>
#include <string>
#include <vector>

namespace e2e {

// Generous bound for any child; only a broken run reaches it.
constexpr int kWatchdogMs = 60000;

inline std::wstring LauncherPath() {
    return plat::Utf8ToWide(LAUNCHER_EXE_PATH);
}
inline std::wstring StubpatchPath() {
    return plat::Utf8ToWide(STUBPATCH_PATH);
}

// Copies the built launcher into the folder under its own name, keeping its
// permissions; gives the copy's path.
inline std::wstring CopyLauncher(const testsupport::TempDir& dir) {
    std::wstring copy = dir.File(L"Launcher.exe");
    std::filesystem::copy_file(LAUNCHER_EXE_PATH, plat::WideToUtf8(copy),
                               std::filesystem::copy_options::overwrite_existing);
    return copy;
}

// Runs a program with separate arguments and gives its exit code; ~0u when
// it could not start or did not end in time.
inline std::uint32_t Run(const std::wstring& program, const std::vector<std::wstring>& args,
                         const std::wstring& workingFolder = {}) {
    plat::ProcessStartInfo info;
    info.commandLine = plat::BuildCommandLine(program, plat::JoinArguments(args));
    info.workingFolder = workingFolder;
    info.tail = plat::TailPassing::Split;
    return testsupport::RunToEnd(info, kWatchdogMs);
}

// The process of this user runs an executable below `resolved` (a folder
// as ResolvedPath gives it).
inline bool RunsFromBelow(std::uint32_t pid, const std::wstring& resolved,
                          std::wstring* executable) {
    return pid != plat::GetCurrentProcessId() && plat::GetProcessExecutable(pid, executable) &&
           plat::IsProcessOfInvokingUser(pid) && executable->size() > resolved.size() &&
           executable->compare(0, resolved.size(), resolved) == 0 &&
           plat::IsPathSeparator((*executable)[resolved.size()]);
}

// The executables of the processes running from `folder` or below it.
inline std::vector<std::wstring> ProcessesUnder(const std::wstring& folder) {
    const std::wstring resolved = plat::ResolvedPath(folder);
    std::vector<std::wstring> found;
    for (std::uint32_t pid : plat::ListProcessIds()) {
        std::wstring executable;
        if (RunsFromBelow(pid, resolved, &executable))
            found.push_back(executable);
    }
    return found;
}

// Ends what a test left running from its folders, so no launcher, assistant
// or client outlives the test and keeps its output open.
inline void EndProcessesUnder(const std::wstring& folder) {
    const std::wstring resolved = plat::ResolvedPath(folder);
    for (std::uint32_t pid : plat::ListProcessIds()) {
        plat::ProcessHandle handle;
        std::wstring executable;
        if (handle.Open(pid) && RunsFromBelow(pid, resolved, &executable) && handle.Terminate())
            handle.Wait(kWatchdogMs);
    }
}

} // namespace e2e
