#pragma once
// A manual-reset event: once set it stays set and lets every waiter through
// until it is reset. Any thread may call any member. The transport's
// synchronous operations and a client's detach wait on one, the file checker
// waits on one until the window thread releases it.

#include <condition_variable>
#include <mutex>

class CManualResetEvent {
public:
    void Set();
    void Reset();
    // Waits until set; timeoutMs -1 waits for ever. True when set.
    bool Wait(int timeoutMs = -1);
    bool IsSet() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool set_ = false;
};

// Sets its event when it goes out of scope, so that a thread waiting for a
// synchronous handler is released however the handler leaves. Lives on the
// handler's thread for the duration of one handler.
class CEventRiser {
public:
    explicit CEventRiser(CManualResetEvent* event) : event_(event) {}
    ~CEventRiser() {
        if (event_)
            event_->Set();
    }
    CEventRiser(const CEventRiser&) = delete;
    CEventRiser& operator=(const CEventRiser&) = delete;

private:
    CManualResetEvent* event_;
};
