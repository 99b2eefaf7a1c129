#pragma once
// A manual-reset event: set, reset and timed waits from any thread. The
// transport's synchronous operations and a client's detach wait on one.

#include <condition_variable>
#include <mutex>

namespace NetEx {

class CSyncEvent {
public:
    void Set();
    void Reset();
    // Waits until set; timeoutMs -1 waits for ever. True when set.
    bool Wait(int timeoutMs);

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool set_ = false;
};

// Sets its event when it goes out of scope, so that a thread waiting for a
// synchronous handler is released however the handler leaves. Lives on the
// transport thread for the duration of one handler.
class CEventRiser {
public:
    explicit CEventRiser(CSyncEvent* event) : event_(event) {}
    virtual ~CEventRiser() {
        if (event_)
            event_->Set();
    }
    CEventRiser(const CEventRiser&) = delete;
    CEventRiser& operator=(const CEventRiser&) = delete;

private:
    CSyncEvent* event_;
};

} // namespace NetEx
