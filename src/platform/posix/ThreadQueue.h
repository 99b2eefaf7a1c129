#pragma once
// Per-thread message queues of the POSIX window layer. Private to the backend.

#include "platform/Window.h"
#include "platform/posix/Deadline.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace plat::posix {

// A send waiting to run on its window's thread. Created by the sending side
// (another thread, or the listener for another process), run by the window's
// thread. The completion runs exactly once: with the handler's result, or
// undelivered when the window or its thread went away first (the destructor
// sees to that), so a waiting sender always hears back.
class PendingSend {
public:
    using Completion = std::function<void(bool delivered, LRESULT result)>;

    PendingSend(Msg msg, Completion completion)
        : msg_(std::move(msg)), completion_(std::move(completion)) {}
    ~PendingSend() { Complete(false, 0); }
    PendingSend(const PendingSend&) = delete;
    PendingSend& operator=(const PendingSend&) = delete;

    const Msg& Message() const { return msg_; }
    void Complete(bool delivered, LRESULT result);

private:
    Msg msg_;
    Completion completion_;
};

// The message queue of one thread: posted messages in order, the quit flag,
// timers kept as deadlines (a due timer yields one WM_TIMER and is rearmed
// when taken, so no more than one is ever pending), and sends from other
// threads. Any thread posts and queues sends; only the owning thread takes
// messages out and runs sends. The owner sleeps in poll() on an eventfd, so
// a wait can watch one more descriptor (a reply from another process).
class ThreadQueue {
public:
    ThreadQueue();
    ~ThreadQueue();
    ThreadQueue(const ThreadQueue&) = delete;
    ThreadQueue& operator=(const ThreadQueue&) = delete;

    // The calling thread's queue, created when `create` is set (null when
    // the thread has none, or when it cannot be made: last error set). The
    // queue closes when its thread ends.
    static std::shared_ptr<ThreadQueue> Current(bool create);

    bool IsOwnedByCaller() const { return owner_ == std::this_thread::get_id(); }

    // Any thread. False when the queue's thread has ended.
    bool Post(const Msg& msg);
    bool QueueSend(const std::shared_ptr<PendingSend>& send);
    // Any thread: runs `change` under the queue's lock, then wakes the
    // owner. How a send's completion reaches a sender waiting here.
    void Signal(const std::function<void()>& change);

    // Owner only.
    void PostQuit(int exitCode);
    void SetTimer(HWND window, std::uint64_t id, std::chrono::milliseconds elapse);
    bool KillTimer(HWND window, std::uint64_t id);
    // Forgets the window's posted messages (freeing what they own) and
    // timers; its queued sends complete undelivered.
    void DropWindow(HWND window);

    enum class Fetch { Message, Quit, Empty };
    // Owner: runs waiting sends, then takes the next posted message, the
    // quit message or a due timer, in that order. Waits when `wait` is set,
    // else gives Empty when nothing is there.
    Fetch Next(Msg* msg, bool wait);

    enum class WaitResult { Done, FdReadable, TimedOut };
    // Owner: waits until `done` (checked under the queue's lock) holds, `fd`
    // (when not negative) becomes readable, or the deadline passes, running
    // the sends that reach this thread meanwhile.
    WaitResult WaitServing(const std::function<bool()>& done, int fd, const Deadline& deadline);

    // Called as the owning thread ends: the queue takes nothing any more,
    // what its posted messages own is freed and its waiting sends complete
    // undelivered.
    void Close();

    // Owner: a source of input that the owner's message waits also watch
    // (a display connection). Whenever the owner looks for its next message
    // it first calls `pump`, which reads what the source has without
    // blocking and posts it; while it sleeps it also wakes when `fd` becomes
    // readable. Returns a number for RemoveInputSource.
    int AddInputSource(int fd, std::function<void()> pump);
    void RemoveInputSource(int id);

private:
    struct Timer {
        HWND window;
        std::uint64_t id;
        std::chrono::milliseconds elapse;
        Deadline::Clock::time_point due;
    };

    struct InputSource {
        int id;
        int fd;
        std::function<void()> pump;
    };

    void Wake();
    void DrainWake();
    void PumpInputSources();
    // Under the lock: the earliest timer, or null.
    Timer* EarliestTimer();
    // Sleeps until the wake descriptor or `fd` is readable or the deadline
    // passes; true when `fd` became readable. With `withSources` the input
    // sources' descriptors end the sleep too.
    bool Sleep(int fd, const Deadline& deadline, bool withSources = false);

    const std::thread::id owner_;
    int wakeFd_ = -1;

    std::mutex mutex_;
    bool closed_ = false;
    std::deque<Msg> posted_;
    std::deque<std::shared_ptr<PendingSend>> sends_;
    std::vector<Timer> timers_;
    std::vector<InputSource> sources_; // owner only
    int nextSourceId_ = 1;
    bool quit_ = false;
    int quitCode_ = 0;
};

// Runs a send on the calling thread, the window's: its handler gives the
// result. Defined with the window functions.
void RunSendHere(PendingSend& send);
// Forgets the windows of a thread whose queue is closing, without calling
// their handlers (they may be gone with the thread). Defined with the table.
void ForgetWindowsOf(const ThreadQueue* queue);

} // namespace plat::posix
