#pragma once
// The meeting point of WinINet's threads and the owner of an internet
// handle. WinINet calls its status callback on threads of its own (and now
// and then inside the owner's own call); the callback only copies what it
// learnt into the inbox and wakes the owner: through the pump message when
// the owner named a window, and through an event that PumpInternet waits on.
// A waker thread also posts the pump message when the owner's next deadline
// (a time-out, the slow-transfer check) comes due. Shared by WinINet's
// threads, the waker thread and the owner thread; everything is under one
// mutex.

#include "platform/win32/Handle.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace plat::win {

// What WinINet reported about one exchange of a request handle.
struct InternetEvent {
    HINTERNET request = 0;        // the platform's handle number
    std::uint32_t generation = 0; // which exchange of that handle
    std::uint32_t status = 0;     // WinINet's INTERNET_STATUS_* number
    std::uint32_t result = 0;     // the completion's dwResult
    std::uint32_t error = 0;      // the completion's dwError
};

// Per WinINet request handle: the handle's context. It owns the bytes an
// asynchronous read fills, so they stay valid however long WinINet takes,
// and is freed by the callback when WinINet says the handle is closing (its
// last notice). Written by WinINet's threads during a read, read by the
// owner once the read's completion came through the inbox.
struct InternetSlot {
    std::shared_ptr<class InternetInbox> inbox;
    HINTERNET request = 0;
    std::uint32_t generation = 0;
    std::string upload; // the request's body, read by WinINet while it sends
    std::unique_ptr<char[]> chunk;
    DWORD chunkSize = 0;
    DWORD chunkRead = 0;
    DWORD available = 0;
};

// The events of one internet handle, and the wake-ups of its owner.
class InternetInbox {
public:
    using Clock = std::chrono::steady_clock;

    InternetInbox(HINTERNET internet);
    ~InternetInbox();
    InternetInbox(const InternetInbox&) = delete;
    InternetInbox& operator=(const InternetInbox&) = delete;

    // Any thread: adds an event and wakes the owner.
    void Push(const InternetEvent& event);
    // Owner: wakes itself for notices its own call produced.
    void Poke() { Push(InternetEvent{}); }
    // Owner: every event so far, oldest first.
    std::deque<InternetEvent> Take();
    // Owner: waits up to ms for an event; true when one is there.
    bool Wait(DWORD ms);

    // Owner: the window and message of the pump wake-up (window 0: none).
    void SetPumpWindow(std::uint64_t window, std::uint32_t message);
    // Owner: it has pumped, so the next wake-up may be posted.
    void Pumped();
    // Owner: when the next pump is due without any event (nothing: never).
    void SetDeadline(bool any, Clock::time_point when);
    // Owner: the handle is closing; the waker ends and posts nothing more.
    void Shut();

    // The WinINet status callback of every handle the layer makes.
    static void CALLBACK OnStatus(::HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID info,
                                  DWORD length);

private:
    // Posts the pump message unless one is outstanding; mutex held.
    void PostPumpLocked();
    void RunWaker();

    const HINTERNET internet_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<InternetEvent> events_;
    Handle arrived_; // manual reset: set while events wait
    std::uint64_t window_ = 0;
    std::uint32_t message_ = 0;
    bool outstanding_ = false;
    bool hasDeadline_ = false;
    Clock::time_point deadline_{};
    bool shut_ = false;
    std::thread waker_;
};

} // namespace plat::win
