#pragma once
// A manual-reset event: once set it stays set and lets every waiter through.
// Shared between the checker thread, which waits on it, and the launcher
// window thread, which sets it; any thread may call any member.

#include <condition_variable>
#include <mutex>

namespace update {

class CWaitEvent {
public:
    void Set();
    void Reset();
    // Returns once the event is set.
    void Wait();
    bool IsSet() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool set_ = false;
};

} // namespace update
