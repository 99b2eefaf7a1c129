#pragma once
// The end of a bounded wait, or none for a wait without end. A value type used
// on whichever thread waits.

#include <algorithm>
#include <chrono>
#include <climits>

namespace plat::posix {

class Deadline {
public:
    using Clock = std::chrono::steady_clock;

    static Deadline Never() { return Deadline(); }
    // A negative time-out waits for ever.
    static Deadline In(int timeoutMs) {
        if (timeoutMs < 0)
            return Never();
        return At(Clock::now() + std::chrono::milliseconds(timeoutMs));
    }
    static Deadline At(Clock::time_point at) {
        Deadline deadline;
        deadline.never_ = false;
        deadline.at_ = at;
        return deadline;
    }

    bool IsNever() const { return never_; }
    Clock::time_point When() const { return at_; }
    bool Passed() const { return !never_ && Clock::now() >= at_; }
    // Milliseconds left as poll() takes them: -1 for no end, rounded up so
    // that a wait never ends before the deadline.
    int PollMs() const {
        if (never_)
            return -1;
        auto left = at_ - Clock::now();
        if (left <= Clock::duration::zero())
            return 0;
        auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
        return static_cast<int>(std::min<long long>(ms, INT_MAX));
    }

private:
    Deadline() = default;

    bool never_ = true;
    Clock::time_point at_{};
};

} // namespace plat::posix
