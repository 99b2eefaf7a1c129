#pragma once
// The window-message layer: window handles that identify their process, one
// message queue per thread with a get/dispatch loop, posting from any thread
// and from other launcher processes of the same user, blocking sends with a
// time-out, copied-data messages, timers delivered in the owner's loop, and a
// search of top-level windows by class across all launcher processes.
//
// A window belongs to the thread that created it; its handler runs only on
// that thread, from DispatchMessage or from a send that reaches it there.

#include <cstdint>
#include <string>
#include <vector>

namespace plat {

// A window handle: the owning process id in the upper 32 bits and a number
// unique within that process in the lower ones; 0 is no window.
using HWND = std::uint64_t;
using WPARAM = std::uint64_t;
using LPARAM = std::int64_t;
using LRESULT = std::int64_t;

enum : std::uint32_t {
    WM_NULL = 0x0000,
    WM_DESTROY = 0x0002,
    WM_ACTIVATE = 0x0006,
    WM_CLOSE = 0x0010,
    WM_QUIT = 0x0012,
    WM_SHOWWINDOW = 0x0018,
    WM_COPYDATA = 0x004A,
    WM_TIMER = 0x0113,
    WM_USER = 0x0400,
    WM_APP = 0x8000,
};

// Show commands, with the Windows values.
enum : int {
    SW_HIDE = 0,
    SW_SHOWNORMAL = 1,
    SW_SHOWMINIMIZED = 2,
    SW_SHOW = 5,
    SW_MINIMIZE = 6,
    SW_RESTORE = 9,
};
// WM_ACTIVATE's wParam when a window is brought to the front.
inline constexpr std::uint64_t WA_ACTIVE = 1;

inline std::uint32_t ProcessIdOfWindow(HWND window) {
    return static_cast<std::uint32_t>(window >> 32);
}

// The payload of WM_COPYDATA: a number and a copy of the sender's bytes. It
// is valid only while the handler runs, as on Windows.
struct CopyData {
    std::uint64_t number = 0;
    std::string bytes;
};

// Frees what a posted message owns (see PostOwnedMessage).
using MessageDiscard = void (*)(WPARAM wParam, LPARAM lParam);

struct Msg {
    HWND window = 0;
    std::uint32_t message = WM_NULL;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    CopyData copyData; // WM_COPYDATA only
    // Set for a message that owns an object of this process (its lParam).
    MessageDiscard discard = nullptr;
};

// Receives the messages of one window, on the window's thread.
class IWindowHandler {
public:
    virtual ~IWindowHandler() = default;
    // For WM_COPYDATA `copyData` is set and lParam carries nothing useful.
    virtual LRESULT HandleWindowMessage(HWND window, std::uint32_t message, WPARAM wParam,
                                        LPARAM lParam, const CopyData* copyData) = 0;
};

// Creates a window owned by the calling thread (its queue is created on
// first use). A message-only window is never listed by FindWindowsByClass.
// 0 on failure.
HWND CreateWindow(const std::wstring& className, const std::wstring& title, IWindowHandler* handler,
                  bool messageOnly = false);
// Destroys a window of the calling thread; its handler gets WM_DESTROY
// first. Pending messages and timers of the window are dropped, and sends
// still waiting for it fail with 1400. Another thread's window: false with
// last error 5.
bool DestroyWindow(HWND window);
// True for a live window of this or another launcher process.
bool IsWindow(HWND window);

// Class and title of a window of this or another launcher process.
bool GetWindowClassName(HWND window, std::wstring* className);
bool GetWindowText(HWND window, std::wstring* title);
// Renames a window of this process (another process's: last error 5).
bool SetWindowText(HWND window, const std::wstring& title);

// Queues a message for the window's thread, in this or another process of
// the user. False (last error 1400, invalid window handle) when there is no
// such window.
bool PostMessage(HWND window, std::uint32_t message, WPARAM wParam, LPARAM lParam);
// Posts a message whose parameters own an object of this process. Taken
// from the queue, the message hands the object to whoever took it; dropped
// unread (its window destroyed, its thread ended), the queue frees it with
// `discard`. Windows of other processes are refused (last error 87): only
// numbers and copies cross processes. On failure nothing is freed.
bool PostOwnedMessage(HWND window, std::uint32_t message, WPARAM wParam, LPARAM lParam,
                      MessageDiscard discard);
// Frees what a message taken from the queue owns, for a loop that drops it
// instead of dispatching it; nothing for other messages.
void DiscardMessage(Msg& msg);
// Posts WM_QUIT with the exit code to the calling thread's queue.
void PostQuitMessage(int exitCode);

// Calls the window's handler and waits for its result: directly when the
// window belongs to the calling thread, else through its thread's loop.
// False with last error 1460 (time-out) when no result came in time
// (-1 waits for ever); the message may still be handled later.
bool SendMessageTimeout(HWND window, std::uint32_t message, WPARAM wParam, LPARAM lParam,
                        int timeoutMs, LRESULT* result);
// WM_COPYDATA with wParam = the sender's window.
bool SendCopyData(HWND window, HWND from, const CopyData& data, int timeoutMs, LRESULT* result);

// Waits for the next message of the calling thread's queue: posted
// messages in order, then the quit message, then due timers. Returns 0 for
// WM_QUIT (msg->wParam holds the exit code), -1 when the thread has no
// queue, otherwise 1. Sends from other threads are handled while waiting.
int GetMessage(Msg* msg);
// Like GetMessage without waiting; false when nothing is queued. WM_QUIT
// comes out like any other message.
bool PeekMessage(Msg* msg);
// Nothing to translate without a keyboard; kept for the loop's shape.
inline void TranslateMessage(const Msg&) {}
// Calls the handler of the message's window; 0 when it has none or the
// window is not the calling thread's.
LRESULT DispatchMessage(const Msg& msg);

// Starts or restarts a repeating timer of a window of the calling thread;
// WM_TIMER with wParam = id arrives in the owner's loop every elapse
// milliseconds (at least 10; no more than one pending at a time). Returns
// the id, 0 on failure (id 0 is refused with 87).
std::uint64_t SetTimer(HWND window, std::uint64_t id, unsigned elapseMs);
// Stops the timer and drops its pending WM_TIMER; false with 87 when the
// window has no such timer.
bool KillTimer(HWND window, std::uint64_t id);

// Shows, hides, minimises or restores a window of this or another launcher
// process. The window keeps the show command as its state, and its handler
// gets WM_SHOWWINDOW with the command in wParam through the window's queue,
// so that whatever puts the window on screen follows. 1400 when there is no
// such window.
bool ShowWindow(HWND window, int showCommand);
// The last show command of a window of this process: true unless it is
// SW_HIDE, SW_MINIMIZE or SW_SHOWMINIMIZED (windows start hidden). False
// for a window of another process.
bool IsWindowVisible(HWND window);
// Asks a window of this or another launcher process to come to the front:
// its handler gets WM_ACTIVATE with WA_ACTIVE through its queue.
bool SetForegroundWindow(HWND window);

// Top-level windows with this class in every launcher process of the user,
// this one included (its windows first). Class names compare as on Windows:
// ASCII letters ignore case. Message-only windows are never listed.
std::vector<HWND> FindWindowsByClass(const std::wstring& className);

} // namespace plat
