// Window creation and destruction, posting, sending and the message loop of
// the POSIX window layer. Windows of this process live in the window table;
// a handle of another process goes to that process's socket.

#include "platform/Window.h"

#include "platform/Error.h"
#include "platform/posix/CrossProcess.h"
#include "platform/posix/ProcessPort.h"
#include "platform/posix/ThreadQueue.h"
#include "platform/posix/WindowTable.h"

#include <algorithm>
#include <unistd.h>
#include <utility>

namespace plat {

using posix::Deadline;
using posix::PendingSend;
using posix::ThreadQueue;
using posix::WindowRecord;
using posix::WindowTable;

namespace {

// Timer periods are kept within what SetTimer accepts on Windows.
constexpr unsigned kTimerMinimumMs = 10;
constexpr unsigned kTimerMaximumMs = 0x7FFFFFFF;

bool IsOfThisProcess(HWND window) {
    return window != 0 && ProcessIdOfWindow(window) == static_cast<std::uint32_t>(::getpid());
}

bool InvalidWindow() {
    SetLastError(kErrInvalidWindowHandle);
    return false;
}

// A window of this process owned by the calling thread; false with 1400
// (unknown) or 5 (another thread's) otherwise.
bool LookupOwnWindow(HWND window, WindowRecord* record) {
    if (!IsOfThisProcess(window) || !WindowTable::Instance().Lookup(window, record))
        return InvalidWindow();
    if (!record->queue->IsOwnedByCaller()) {
        SetLastError(kErrAccessDenied);
        return false;
    }
    return true;
}

// WM_COPYDATA always comes with its copy (empty when the sender gave none).
LRESULT CallHandler(const WindowRecord& record, const Msg& msg) {
    if (!record.handler)
        return 0;
    return record.handler->HandleWindowMessage(record.handle, msg.message, msg.wParam, msg.lParam,
                                               msg.message == WM_COPYDATA ? &msg.copyData
                                                                          : nullptr);
}

// A send to a window of this process. The window's own thread calls the
// handler at once; any other thread queues the send there and waits on its
// own queue, running sends that reach it meanwhile.
bool SendInProcess(const Msg& msg, int timeoutMs, LRESULT* result) {
    WindowRecord record;
    if (!WindowTable::Instance().Lookup(msg.window, &record))
        return InvalidWindow();
    if (record.queue->IsOwnedByCaller()) {
        LRESULT value = CallHandler(record, msg);
        if (result)
            *result = value;
        return true;
    }
    std::shared_ptr<ThreadQueue> own = ThreadQueue::Current(true);
    if (!own)
        return false;

    // Written by the completion under the sender's queue lock.
    struct Outcome {
        bool done = false;
        bool delivered = false;
        LRESULT result = 0;
    };
    auto outcome = std::make_shared<Outcome>();
    auto send = std::make_shared<PendingSend>(msg, [own, outcome](bool delivered, LRESULT value) {
        own->Signal([&] {
            outcome->done = true;
            outcome->delivered = delivered;
            outcome->result = value;
        });
    });
    bool queued = WindowTable::Instance().QueueSend(msg.window, send);
    // From here only the window's queue holds the send: when it is dropped
    // there, its completion tells this thread.
    send.reset();
    if (!queued)
        return InvalidWindow();

    auto waited = own->WaitServing([&] { return outcome->done; }, -1, Deadline::In(timeoutMs));
    if (waited != ThreadQueue::WaitResult::Done) {
        SetLastError(kErrTimeout);
        return false;
    }
    if (!outcome->delivered)
        return InvalidWindow();
    if (result)
        *result = outcome->result;
    return true;
}

bool SendAny(const Msg& msg, int timeoutMs, LRESULT* result) {
    if (msg.window == 0)
        return InvalidWindow();
    if (IsOfThisProcess(msg.window))
        return SendInProcess(msg, timeoutMs, result);
    return posix::RemoteSend(msg, timeoutMs, result);
}

} // namespace

namespace posix {

void RunSendHere(PendingSend& send) {
    const Msg& msg = send.Message();
    WindowRecord record;
    if (!WindowTable::Instance().Lookup(msg.window, &record) || !record.queue->IsOwnedByCaller()) {
        send.Complete(false, 0);
        return;
    }
    send.Complete(true, CallHandler(record, msg));
}

} // namespace posix

HWND CreateWindow(const std::wstring& className, const std::wstring& title, IWindowHandler* handler,
                  bool messageOnly) {
    std::shared_ptr<ThreadQueue> queue = ThreadQueue::Current(true);
    if (!queue)
        return 0;
    HWND window = WindowTable::Instance().Add(queue, className, title, handler, messageOnly);
    if (window == 0) {
        SetLastError(kErrNotEnoughMemory);
        return 0;
    }
    // Other processes reach the window through the process's socket. Without
    // one the window still works inside this process.
    posix::EnsureProcessPort();
    return window;
}

bool DestroyWindow(HWND window) {
    WindowRecord record;
    if (!LookupOwnWindow(window, &record))
        return false;
    WindowTable& table = WindowTable::Instance();
    // A second destroy from inside WM_DESTROY finds the window on its way out.
    if (!table.BeginDestroy(window))
        return InvalidWindow();
    CallHandler(record, Msg{window, WM_DESTROY, 0, 0, {}});
    table.Remove(window);
    record.queue->DropWindow(window);
    return true;
}

bool PostMessage(HWND window, std::uint32_t message, WPARAM wParam, LPARAM lParam) {
    if (window == 0)
        return InvalidWindow();
    if (!IsOfThisProcess(window))
        return posix::RemotePost(window, message, wParam, lParam);
    if (!WindowTable::Instance().Post(window, Msg{window, message, wParam, lParam, {}}))
        return InvalidWindow();
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
    Msg msg{window, message, wParam, lParam, {}};
    msg.discard = discard;
    if (!WindowTable::Instance().Post(window, msg))
        return InvalidWindow();
    return true;
}

void DiscardMessage(Msg& msg) {
    if (MessageDiscard discard = std::exchange(msg.discard, nullptr))
        discard(msg.wParam, msg.lParam);
}

void PostQuitMessage(int exitCode) {
    if (std::shared_ptr<ThreadQueue> queue = ThreadQueue::Current(true))
        queue->PostQuit(exitCode);
}

bool SendMessageTimeout(HWND window, std::uint32_t message, WPARAM wParam, LPARAM lParam,
                        int timeoutMs, LRESULT* result) {
    return SendAny(Msg{window, message, wParam, lParam, {}}, timeoutMs, result);
}

bool SendCopyData(HWND window, HWND from, const CopyData& data, int timeoutMs, LRESULT* result) {
    return SendAny(Msg{window, WM_COPYDATA, from, 0, data}, timeoutMs, result);
}

int GetMessage(Msg* msg) {
    std::shared_ptr<ThreadQueue> queue = ThreadQueue::Current(false);
    if (!queue || !msg) {
        SetLastError(msg ? kErrInvalidHandle : kErrInvalidParameter);
        return -1;
    }
    return queue->Next(msg, true) == ThreadQueue::Fetch::Quit ? 0 : 1;
}

bool PeekMessage(Msg* msg) {
    std::shared_ptr<ThreadQueue> queue = ThreadQueue::Current(false);
    if (!queue || !msg)
        return false;
    return queue->Next(msg, false) != ThreadQueue::Fetch::Empty;
}

LRESULT DispatchMessage(const Msg& msg) {
    WindowRecord record;
    if (!IsOfThisProcess(msg.window) || !WindowTable::Instance().Lookup(msg.window, &record) ||
        !record.queue->IsOwnedByCaller())
        return 0;
    return CallHandler(record, msg);
}

bool ShowWindow(HWND window, int showCommand) {
    return PostMessage(window, WM_SHOWWINDOW, static_cast<WPARAM>(showCommand), 0);
}

bool IsWindowVisible(HWND window) {
    WindowRecord record;
    if (!IsOfThisProcess(window) || !WindowTable::Instance().Lookup(window, &record))
        return false;
    return record.showCommand != SW_HIDE && record.showCommand != SW_MINIMIZE &&
           record.showCommand != SW_SHOWMINIMIZED;
}

bool SetForegroundWindow(HWND window) {
    return PostMessage(window, WM_ACTIVATE, WA_ACTIVE, 0);
}

std::uint64_t SetTimer(HWND window, std::uint64_t id, unsigned elapseMs) {
    WindowRecord record;
    if (!LookupOwnWindow(window, &record))
        return 0;
    if (id == 0) {
        SetLastError(kErrInvalidParameter);
        return 0;
    }
    unsigned elapse = std::clamp(elapseMs, kTimerMinimumMs, kTimerMaximumMs);
    record.queue->SetTimer(window, id, std::chrono::milliseconds(elapse));
    return id;
}

bool KillTimer(HWND window, std::uint64_t id) {
    WindowRecord record;
    if (!LookupOwnWindow(window, &record))
        return false;
    if (!record.queue->KillTimer(window, id)) {
        SetLastError(kErrInvalidParameter);
        return false;
    }
    return true;
}

} // namespace plat
