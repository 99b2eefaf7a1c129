#pragma once
// Runs a child process to its end with a watchdog, for tests that start real
// processes. Test thread only.

#include "platform/Process.h"

#include <cstdint>

namespace testsupport {

// Starts the child, waits up to watchdogMs and gives its exit code; ~0u when
// it could not be started or did not end in time (it is then killed).
inline std::uint32_t RunToEnd(const plat::ProcessStartInfo& info, int watchdogMs) {
    plat::Process child;
    std::uint32_t code = ~0u;
    if (!child.Start(info))
        return code;
    if (!child.Wait(watchdogMs)) {
        child.Terminate(1);
        child.Wait(-1);
        return code;
    }
    child.GetExitCode(&code);
    return code;
}

} // namespace testsupport
