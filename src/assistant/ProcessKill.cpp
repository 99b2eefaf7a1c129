#include "assistant/ProcessKill.h"

#include "platform/Process.h"
#include "platform/ProcessList.h"

#include <vector>

namespace assistant {

namespace {

// The processes of the user that run the executable, each opened so that
// its id cannot pass to another process before it is ended.
std::vector<plat::ProcessHandle> MatchingProcesses(const std::wstring& path) {
    std::vector<plat::ProcessHandle> found;
    const std::wstring wanted = plat::ResolvedPath(path);
    const std::uint32_t self = plat::GetCurrentProcessId();
    for (std::uint32_t pid : plat::ListProcessIds()) {
        if (pid == self)
            continue;
        plat::ProcessHandle handle;
        if (!handle.Open(pid))
            continue;
        std::wstring executable;
        if (!plat::GetProcessExecutable(pid, &executable) || executable != wanted ||
            !plat::IsProcessOfInvokingUser(pid))
            continue;
        // Still running: what /proc told belongs to the opened process.
        if (handle.HasEnded())
            continue;
        found.push_back(std::move(handle));
    }
    return found;
}

} // namespace

bool IsRunningFromPath(const std::wstring& path) {
    return !MatchingProcesses(path).empty();
}

bool KillByPath(const std::wstring& path, int* ended) {
    bool all = true;
    int count = 0;
    for (const plat::ProcessHandle& handle : MatchingProcesses(path)) {
        bool told = handle.Terminate();
        if (handle.Wait(kEndWaitMs))
            ++count;
        else
            all = false;
        (void)told; // a process that ended by itself meanwhile is ended too
    }
    if (ended)
        *ended = count;
    return all;
}

} // namespace assistant
