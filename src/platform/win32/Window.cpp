// The message layer on real Windows windows. Each platform window is a
// hidden top-level (or message-only) system window of one registered class
// per class name; its handler sits in GWLP_USERDATA and is reached for sent
// messages through the window procedure and for posted ones through
// DispatchMessage. The system queue of the owning thread carries posts,
// timers and the quit message; other processes reach the window through the
// system as well. Messages for other system windows of the thread (the
// presenter's surfaces, the tray's window) are dispatched inside the loop and
// never come out of GetMessage.

#include "platform/Window.h"

#include "platform/Error.h"
#include "platform/win32/Handle.h"
#include "platform/win32/WinApi.h"
#include "platform/win32/WindowTable.h"

#include <algorithm>
#include <mutex>
#include <set>
#include <utility>

namespace plat {

using win::OwnedPost;
using win::ToPlatformWindow;
using win::ToSystemWindow;
using win::WindowRecord;
using win::WindowTable;

namespace {

constexpr unsigned kTimerMinimumMs = 10;
constexpr unsigned kTimerMaximumMs = 0x7FFFFFFF;
constexpr std::size_t kMaxTitle = 65536;
// HWND_MESSAGE, spelled with the system's handle type (the macro would take
// the platform's inside this namespace).
const ::HWND kMessageOnlyParent = reinterpret_cast<::HWND>(static_cast<std::intptr_t>(-3));

// Whether the calling thread has a message queue in the platform's sense:
// it made a window, posted its quit message or sent a message.
thread_local bool t_hasQueue = false;

bool InvalidWindow() {
    SetLastError(kErrInvalidWindowHandle);
    return false;
}

std::uint32_t OwnProcessId() {
    return static_cast<std::uint32_t>(::GetCurrentProcessId());
}

bool IsOfThisProcess(HWND window) {
    return window != 0 && ProcessIdOfWindow(window) == OwnProcessId();
}

// The system window of a platform handle when it is alive and belongs to
// the process the handle names; null otherwise. Guards every call that
// takes the handle, so that no number ever reaches the system as a
// broadcast or another program's window.
::HWND LiveSystemWindow(HWND window) {
    if (window == 0)
        return nullptr;
    ::HWND system = ToSystemWindow(window);
    if (!system || !::IsWindow(system))
        return nullptr;
    DWORD processId = 0;
    ::GetWindowThreadProcessId(system, &processId);
    if (processId != ProcessIdOfWindow(window))
        return nullptr;
    if (processId == OwnProcessId() && !WindowTable::Instance().Contains(system))
        return nullptr;
    return system;
}

// A window of this process owned by the calling thread; false with 1400
// (unknown) or 5 (another thread's) otherwise.
bool LookupOwnWindow(HWND window, ::HWND* system, WindowRecord* record) {
    if (!IsOfThisProcess(window))
        return InvalidWindow();
    *system = ToSystemWindow(window);
    if (!WindowTable::Instance().Lookup(*system, record) || !::IsWindow(*system))
        return InvalidWindow();
    if (record->thread != ::GetCurrentThreadId()) {
        SetLastError(kErrAccessDenied);
        return false;
    }
    return true;
}

IWindowHandler* HandlerOf(::HWND window) {
    return reinterpret_cast<IWindowHandler*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

// The messages of the platform's vocabulary below WM_USER; everything from
// WM_USER up to the registered range belongs to the launcher as well.
bool IsPlatformMessage(UINT message) {
    switch (message) {
    case WM_NULL:
    case WM_MOVE:
    case WM_DESTROY:
    case WM_ACTIVATE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_PAINT:
    case WM_CLOSE:
    case WM_SHOWWINDOW:
    case WM_COPYDATA:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_TIMER:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MOUSEWHEEL:
    case WM_CAPTURECHANGED:
    case WM_ENTERSIZEMOVE:
    case WM_EXITSIZEMOVE:
    case WM_MOUSELEAVE:
        return true;
    default:
        return message >= WM_USER && message < 0xC000;
    }
}

// The window procedure of every platform window: sent messages of the
// launcher's vocabulary go to the handler (0 without one); the system's own
// traffic goes to the default procedure.
::LRESULT CALLBACK PlatformWindowProc(::HWND window, UINT message, ::WPARAM wParam,
                                      ::LPARAM lParam) {
    if (!IsPlatformMessage(message) || !WindowTable::Instance().Contains(window))
        return ::DefWindowProcW(window, message, wParam, lParam);
    IWindowHandler* handler = HandlerOf(window);
    if (!handler)
        return 0;
    const HWND platformWindow = ToPlatformWindow(window, OwnProcessId());
    if (message == WM_COPYDATA) {
        CopyData data;
        if (const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam)) {
            data.number = copy->dwData;
            if (copy->lpData && copy->cbData > 0)
                data.bytes.assign(static_cast<const char*>(copy->lpData), copy->cbData);
        }
        return static_cast<::LRESULT>(
            handler->HandleWindowMessage(platformWindow, message, wParam, 0, &data));
    }
    return static_cast<::LRESULT>(handler->HandleWindowMessage(
        platformWindow, message, wParam, static_cast<LPARAM>(lParam), nullptr));
}

// Registers the class once per name (names compare as the system compares
// them, so a second spelling finds the first registration).
bool EnsureClass(const std::wstring& className) {
    static std::mutex mutex;
    static std::set<std::wstring> registered;
    std::lock_guard<std::mutex> lock(mutex);
    if (registered.count(className))
        return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = PlatformWindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = className.c_str();
    if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return win::FailWithSystemError();
    registered.insert(className);
    return true;
}

// Destroys what a thread leaves behind when it ends: its windows go without
// a WM_DESTROY to handlers that may be gone, and what their owned posts hold
// is freed.
struct ThreadWindows {
    ~ThreadWindows() {
        std::vector<OwnedPost> posts;
        std::vector<::HWND> windows =
            WindowTable::Instance().RemoveThread(::GetCurrentThreadId(), &posts);
        for (::HWND window : windows) {
            ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            ::DestroyWindow(window);
        }
        win::DiscardOwnedPosts(posts);
    }
};
thread_local ThreadWindows t_threadWindows;

void TouchThreadWindows() {
    // Naming the object makes the thread construct it, and so destroy it.
    (void)&t_threadWindows;
}

enum class Take { Message, Quit, Empty, Failed };

// Turns a system message into a platform one when it is the launcher's;
// dispatches the rest. Returns false when the message was consumed.
bool TakePlatformMessage(const MSG& system, Msg* msg) {
    if (system.message == win::OwnedPostMessage() && system.message != 0) {
        OwnedPost post;
        if (!WindowTable::Instance().TakeOwnedPost(static_cast<std::uint64_t>(system.wParam),
                                                   &post))
            return false;
        if (!WindowTable::Instance().Contains(post.window)) {
            win::DiscardOwnedPosts({post});
            return false;
        }
        *msg = Msg{ToPlatformWindow(post.window, OwnProcessId()),
                   post.message,
                   post.wParam,
                   post.lParam,
                   {}};
        msg->discard = post.discard;
        return true;
    }
    if (!system.hwnd)
        return false; // thread messages other than the quit message are not the launcher's
    WindowRecord record;
    if (!WindowTable::Instance().Lookup(system.hwnd, &record)) {
        // Left over from a destroyed platform window, or another window of
        // the thread: the system window procedure deals with the latter.
        if (::IsWindow(system.hwnd)) {
            ::TranslateMessage(&system);
            ::DispatchMessageW(&system);
        }
        return false;
    }
    if (record.destroying)
        return false;
    *msg = Msg{ToPlatformWindow(system.hwnd, OwnProcessId()),
               system.message,
               static_cast<WPARAM>(system.wParam),
               static_cast<LPARAM>(system.lParam),
               {}};
    if (system.message == WM_TIMER)
        msg->lParam = 0;
    if (system.message == WM_SHOWWINDOW)
        WindowTable::Instance().SetShowCommand(system.hwnd, static_cast<int>(system.wParam));
    return true;
}

Take NextMessage(Msg* msg, bool wait) {
    MSG system{};
    for (;;) {
        if (wait) {
            const BOOL got = ::GetMessageW(&system, nullptr, 0, 0);
            if (got == -1)
                return Take::Failed;
            if (got == 0) {
                *msg = Msg{0, WM_QUIT, static_cast<WPARAM>(system.wParam), 0, {}};
                return Take::Quit;
            }
        } else {
            if (!::PeekMessageW(&system, nullptr, 0, 0, PM_REMOVE))
                return Take::Empty;
            if (system.message == WM_QUIT) {
                *msg = Msg{0, WM_QUIT, static_cast<WPARAM>(system.wParam), 0, {}};
                return Take::Quit;
            }
        }
        if (TakePlatformMessage(system, msg))
            return Take::Message;
    }
}

LRESULT CallHandler(::HWND system, const WindowRecord& record, const Msg& msg) {
    (void)system;
    if (!record.handler)
        return 0;
    return record.handler->HandleWindowMessage(msg.window, msg.message, msg.wParam, msg.lParam,
                                               msg.message == WM_COPYDATA ? &msg.copyData
                                                                          : nullptr);
}

// What a send waits for: the answer the system hands back through the
// completion callback, on the sending thread. A send given up on leaves the
// record to the callback, which may still come.
struct SendWait {
    bool done = false;
    bool abandoned = false;
    LRESULT result = 0;
};

void CALLBACK SendCompleted(::HWND, UINT, ULONG_PTR context, ::LRESULT result) {
    auto* wait = reinterpret_cast<SendWait*>(context);
    if (wait->abandoned) {
        delete wait;
        return;
    }
    wait->done = true;
    wait->result = static_cast<LRESULT>(result);
}

// How often a waiting send looks whether its window still exists.
constexpr DWORD kSendPollMs = 20;

// Waits for a send's answer, serving the sends that reach this thread
// meanwhile. False with 1400 when the window went away before it answered,
// 1460 when the time ran out.
bool AwaitAnswer(HWND window, SendWait* wait, int timeoutMs, LRESULT* result) {
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        MSG pending;
        // Runs incoming sends and completion callbacks; posts stay queued.
        ::PeekMessageW(&pending, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        if (wait->done) {
            const LRESULT answer = wait->result;
            delete wait;
            // A window destroyed with the send still queued answers nothing.
            if (!LiveSystemWindow(window))
                return InvalidWindow();
            if (result)
                *result = answer;
            return true;
        }
        const bool alive = LiveSystemWindow(window) != nullptr;
        const ULONGLONG waited = ::GetTickCount64() - start;
        if (!alive || (timeoutMs >= 0 && waited >= static_cast<ULONGLONG>(timeoutMs))) {
            wait->abandoned = true;
            if (!alive)
                return InvalidWindow();
            SetLastError(kErrTimeout);
            return false;
        }
        DWORD slice = kSendPollMs;
        if (timeoutMs >= 0)
            slice = static_cast<DWORD>(
                std::min<ULONGLONG>(slice, static_cast<ULONGLONG>(timeoutMs) - waited));
        ::MsgWaitForMultipleObjectsEx(0, nullptr, slice, QS_SENDMESSAGE, 0);
    }
}

// A send through the system. A window of the calling thread runs it at once;
// any other gets it queued with a completion callback, and this thread
// waits for the answer while serving the sends that reach it. Copied data
// needs the synchronous call (its bytes are marshalled only there).
bool SendSystem(HWND window, UINT message, ::WPARAM wParam, ::LPARAM lParam, int timeoutMs,
                LRESULT* result) {
    ::HWND system = LiveSystemWindow(window);
    if (!system)
        return InvalidWindow();
    t_hasQueue = true;
    TouchThreadWindows();
    if (::GetWindowThreadProcessId(system, nullptr) == ::GetCurrentThreadId()) {
        const ::LRESULT answer = ::SendMessageW(system, message, wParam, lParam);
        if (result)
            *result = static_cast<LRESULT>(answer);
        return true;
    }
    if (message != WM_COPYDATA) {
        auto* wait = new SendWait();
        if (!::SendMessageCallbackW(system, message, wParam, lParam, SendCompleted,
                                    reinterpret_cast<ULONG_PTR>(wait))) {
            delete wait;
            if (!LiveSystemWindow(window))
                return InvalidWindow();
            return win::FailWithSystemError();
        }
        return AwaitAnswer(window, wait, timeoutMs, result);
    }
    DWORD_PTR answer = 0;
    const UINT timeout = timeoutMs < 0 ? INFINITE : static_cast<UINT>(timeoutMs);
    ::SetLastError(0);
    if (!::SendMessageTimeoutW(system, message, wParam, lParam, SMTO_NORMAL, timeout, &answer)) {
        const DWORD error = ::GetLastError();
        if (!LiveSystemWindow(window) || error == ERROR_INVALID_WINDOW_HANDLE)
            return InvalidWindow();
        SetLastError(kErrTimeout);
        return false;
    }
    if (result)
        *result = static_cast<LRESULT>(static_cast<::LRESULT>(answer));
    return true;
}

} // namespace

HWND CreateWindow(const std::wstring& className, const std::wstring& title, IWindowHandler* handler,
                  bool messageOnly) {
    if (className.empty() || className.size() > 255) {
        SetLastError(kErrInvalidParameter);
        return 0;
    }
    if (!EnsureClass(className))
        return 0;
    ::HWND system = ::CreateWindowExW(0, className.c_str(), title.c_str(), WS_POPUP, 0, 0, 0, 0,
                                      messageOnly ? kMessageOnlyParent : nullptr, nullptr,
                                      ::GetModuleHandleW(nullptr), nullptr);
    if (!system) {
        win::FailWithSystemError();
        return 0;
    }
    ::SetWindowLongPtrW(system, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(handler));
    WindowRecord record;
    record.handler = handler;
    record.thread = ::GetCurrentThreadId();
    WindowTable::Instance().Add(system, record);
    t_hasQueue = true;
    TouchThreadWindows();
    return ToPlatformWindow(system, OwnProcessId());
}

bool DestroyWindow(HWND window) {
    ::HWND system = nullptr;
    WindowRecord record;
    if (!LookupOwnWindow(window, &system, &record))
        return false;
    WindowTable& table = WindowTable::Instance();
    // A second destroy from inside WM_DESTROY finds the window on its way out.
    if (!table.BeginDestroy(system))
        return InvalidWindow();
    // The system sends WM_DESTROY, which reaches the handler while the
    // window still counts as alive.
    ::DestroyWindow(system);
    win::DiscardOwnedPosts(table.Remove(system));
    return true;
}

bool IsWindow(HWND window) {
    return LiveSystemWindow(window) != nullptr;
}

bool GetWindowClassName(HWND window, std::wstring* className) {
    ::HWND system = LiveSystemWindow(window);
    if (!system || !className)
        return InvalidWindow();
    wchar_t buffer[257];
    const int length = ::GetClassNameW(system, buffer, 257);
    if (length <= 0)
        return win::FailWithSystemError();
    className->assign(buffer, static_cast<std::size_t>(length));
    return true;
}

bool GetWindowText(HWND window, std::wstring* title) {
    ::HWND system = LiveSystemWindow(window);
    if (!system || !title)
        return InvalidWindow();
    // Read without a message to the owner, which may not be pumping.
    std::wstring buffer(256, L'\0');
    for (;;) {
        const int length =
            ::InternalGetWindowText(system, buffer.data(), static_cast<int>(buffer.size()));
        if (length < 0)
            return win::FailWithSystemError();
        if (static_cast<std::size_t>(length) + 1 < buffer.size() || buffer.size() >= kMaxTitle) {
            buffer.resize(static_cast<std::size_t>(length));
            break;
        }
        buffer.assign(buffer.size() * 4, L'\0');
    }
    *title = std::move(buffer);
    return true;
}

bool SetWindowText(HWND window, const std::wstring& title) {
    if (window != 0 && !IsOfThisProcess(window) && LiveSystemWindow(window)) {
        SetLastError(kErrAccessDenied);
        return false;
    }
    ::HWND system = LiveSystemWindow(window);
    if (!system)
        return InvalidWindow();
    // The default procedure stores the text on any thread without waiting
    // for the window's owner.
    if (!::DefWindowProcW(system, WM_SETTEXT, 0, reinterpret_cast<::LPARAM>(title.c_str())))
        return win::FailWithSystemError();
    return true;
}

bool PostMessage(HWND window, std::uint32_t message, WPARAM wParam, LPARAM lParam) {
    ::HWND system = LiveSystemWindow(window);
    if (!system)
        return InvalidWindow();
    if (message == WM_SHOWWINDOW && IsOfThisProcess(window))
        WindowTable::Instance().SetShowCommand(system, static_cast<int>(wParam));
    if (!::PostMessageW(system, message, static_cast<::WPARAM>(wParam),
                        static_cast<::LPARAM>(lParam))) {
        if (!LiveSystemWindow(window))
            return InvalidWindow();
        return win::FailWithSystemError();
    }
    return true;
}

bool PostOwnedMessage(HWND window, std::uint32_t message, WPARAM wParam, LPARAM lParam,
                      MessageDiscard discard) {
    if (window == 0)
        return InvalidWindow();
    if (!IsOfThisProcess(window)) {
        SetLastError(kErrInvalidParameter);
        return false;
    }
    ::HWND system = LiveSystemWindow(window);
    if (!system)
        return InvalidWindow();
    WindowTable& table = WindowTable::Instance();
    const std::uint64_t token =
        table.AddOwnedPost(OwnedPost{system, message, wParam, lParam, discard});
    if (!::PostMessageW(system, win::OwnedPostMessage(), static_cast<::WPARAM>(token), 0)) {
        table.DropOwnedPost(token);
        return InvalidWindow();
    }
    return true;
}

void DiscardMessage(Msg& msg) {
    if (MessageDiscard discard = std::exchange(msg.discard, nullptr))
        discard(msg.wParam, msg.lParam);
}

void PostQuitMessage(int exitCode) {
    t_hasQueue = true;
    TouchThreadWindows();
    ::PostQuitMessage(exitCode);
}

bool SendMessageTimeout(HWND window, std::uint32_t message, WPARAM wParam, LPARAM lParam,
                        int timeoutMs, LRESULT* result) {
    if (message == WM_COPYDATA) {
        // A copy needs its payload; use SendCopyData.
        SetLastError(kErrInvalidParameter);
        return false;
    }
    return SendSystem(window, message, static_cast<::WPARAM>(wParam), static_cast<::LPARAM>(lParam),
                      timeoutMs, result);
}

bool SendCopyData(HWND window, HWND from, const CopyData& data, int timeoutMs, LRESULT* result) {
    if (data.bytes.size() > 0x7FFFFFFF) {
        SetLastError(kErrInvalidParameter);
        return false;
    }
    COPYDATASTRUCT copy{};
    copy.dwData = static_cast<ULONG_PTR>(data.number);
    copy.cbData = static_cast<DWORD>(data.bytes.size());
    copy.lpData = const_cast<char*>(data.bytes.data());
    return SendSystem(window, WM_COPYDATA, static_cast<::WPARAM>(from),
                      reinterpret_cast<::LPARAM>(&copy), timeoutMs, result);
}

int GetMessage(Msg* msg) {
    if (!t_hasQueue || !msg) {
        SetLastError(msg ? kErrInvalidHandle : kErrInvalidParameter);
        return -1;
    }
    switch (NextMessage(msg, true)) {
    case Take::Quit:
        return 0;
    case Take::Message:
        return 1;
    default:
        win::FailWithSystemError();
        return -1;
    }
}

bool PeekMessage(Msg* msg) {
    if (!t_hasQueue || !msg)
        return false;
    const Take taken = NextMessage(msg, false);
    return taken == Take::Message || taken == Take::Quit;
}

LRESULT DispatchMessage(const Msg& msg) {
    if (!IsOfThisProcess(msg.window))
        return 0;
    ::HWND system = ToSystemWindow(msg.window);
    WindowRecord record;
    if (!WindowTable::Instance().Lookup(system, &record) || record.thread != ::GetCurrentThreadId())
        return 0;
    return CallHandler(system, record, msg);
}

bool ShowWindow(HWND window, int showCommand) {
    return PostMessage(window, WM_SHOWWINDOW, static_cast<WPARAM>(showCommand), 0);
}

bool IsWindowVisible(HWND window) {
    WindowRecord record;
    if (!IsOfThisProcess(window) ||
        !WindowTable::Instance().Lookup(ToSystemWindow(window), &record))
        return false;
    return record.showCommand != SW_HIDE && record.showCommand != SW_MINIMIZE &&
           record.showCommand != SW_SHOWMINIMIZED;
}

bool SetForegroundWindow(HWND window) {
    // The other process may take the foreground when it handles the request.
    if (window != 0 && !IsOfThisProcess(window))
        ::AllowSetForegroundWindow(ProcessIdOfWindow(window));
    return PostMessage(window, WM_ACTIVATE, WA_ACTIVE, 0);
}

std::uint64_t SetTimer(HWND window, std::uint64_t id, unsigned elapseMs) {
    ::HWND system = nullptr;
    WindowRecord record;
    if (!LookupOwnWindow(window, &system, &record))
        return 0;
    if (id == 0) {
        SetLastError(kErrInvalidParameter);
        return 0;
    }
    const unsigned elapse = std::clamp(elapseMs, kTimerMinimumMs, kTimerMaximumMs);
    if (!::SetTimer(system, static_cast<UINT_PTR>(id), elapse, nullptr)) {
        win::FailWithSystemError();
        return 0;
    }
    return id;
}

bool KillTimer(HWND window, std::uint64_t id) {
    ::HWND system = nullptr;
    WindowRecord record;
    if (!LookupOwnWindow(window, &system, &record))
        return false;
    if (id == 0 || !::KillTimer(system, static_cast<UINT_PTR>(id)))
        return win::FailWith(kErrInvalidParameter);
    return true;
}

} // namespace plat
