#pragma once
// The wake-up of an internet handle's owner. A small thread of its own waits
// on the sockets and the time-out the owner last handed over, and when one of
// them fires posts the owner's chosen message to the owner's window, once:
// the next wait begins only when the owner hands over a new set after it has
// pumped. It never touches libcurl. Private to the POSIX backend.

#include "platform/Window.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace plat::posix {

// Posts the owner's pump message when its sockets or time-out fire; made
// and fed by the owner thread, waits on a thread of its own.
class InternetWaker {
public:
    struct Watch {
        int fd = -1;
        short events = 0; // POLLIN / POLLOUT
        bool operator==(const Watch&) const = default;
    };

    InternetWaker(HWND window, std::uint32_t message, std::uint64_t wParam);
    ~InternetWaker();
    InternetWaker(const InternetWaker&) = delete;
    InternetWaker& operator=(const InternetWaker&) = delete;

    bool Started() const { return wakeFd_ >= 0; }
    // Owner: watch these sockets for up to timeoutMs (-1: no time limit, 0:
    // post at once). Replaces what was watched before; a wait already armed
    // on the same sockets that ends no later goes on undisturbed.
    void Arm(std::vector<Watch> watches, int timeoutMs);
    // Owner: watch nothing until the next Arm.
    void Disarm();

private:
    void Run();
    void Interrupt();

    HWND window_;
    std::uint32_t message_;
    std::uint64_t wParam_;
    int wakeFd_ = -1; // eventfd that cuts a poll short when the watch set changes

    std::mutex mutex_;
    std::condition_variable changed_;
    using Clock = std::chrono::steady_clock;
    std::vector<Watch> watches_;
    bool timed_ = false;           // a time limit applies,
    Clock::time_point deadline_;   // and this is when it runs out
    std::uint64_t generation_ = 0; // counts Arm and Disarm calls
    bool armed_ = false;
    bool polling_ = false; // inside poll: a change must cut the wait short
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace plat::posix
