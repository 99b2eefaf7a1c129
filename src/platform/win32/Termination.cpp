#include "platform/Termination.h"
#include "platform/win32/Handle.h"

#include <atomic>

// Requests to end the program reach a console program as control events
// (Ctrl+C, Ctrl+Break, the console closing, log-off, shut-down), which the
// system delivers on a thread it starts for the purpose. That thread calls
// the registered callback; without one the event goes on to the system's
// own handler, which ends the process.

namespace plat {

namespace {

std::atomic<TerminationCallback> g_callback{nullptr};
std::atomic<void*> g_context{nullptr};

BOOL WINAPI OnControlEvent(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        break;
    default:
        return FALSE;
    }
    TerminationCallback callback = g_callback.load();
    if (callback == nullptr)
        return FALSE;
    callback(g_context.load());
    return TRUE;
}

} // namespace

void WatchTerminationRequests() {
    ::SetConsoleCtrlHandler(OnControlEvent, TRUE);
}

void SetTerminationCallback(TerminationCallback callback, void* context) {
    g_context.store(context);
    g_callback.store(callback);
}

} // namespace plat
