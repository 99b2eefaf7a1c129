#include "platform/posix/InternetWaker.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace plat::posix {

InternetWaker::InternetWaker(HWND window, std::uint32_t message, std::uint64_t wParam)
    : window_(window), message_(message), wParam_(wParam) {
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ >= 0)
        thread_ = std::thread([this] { Run(); });
}

InternetWaker::~InternetWaker() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    Interrupt();
    if (thread_.joinable())
        thread_.join();
    if (wakeFd_ >= 0)
        close(wakeFd_);
}

void InternetWaker::Arm(std::vector<Watch> watches, int timeoutMs) {
    bool timed = timeoutMs >= 0;
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    bool interrupt = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // Each pump re-arms, and so does each read or data query; waking the
        // watcher only to wait on the same sockets again would cost a thread
        // switch each time.
        if (armed_ && watches == watches_ && (timed ? timed_ && deadline_ <= deadline : !timed_))
            return;
        watches_ = std::move(watches);
        timed_ = timed;
        deadline_ = deadline;
        armed_ = true;
        ++generation_;
        interrupt = polling_;
    }
    changed_.notify_all();
    if (interrupt)
        Interrupt();
}

void InternetWaker::Disarm() {
    bool interrupt = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        armed_ = false;
        ++generation_;
        interrupt = polling_;
    }
    if (interrupt)
        Interrupt();
}

void InternetWaker::Interrupt() {
    if (wakeFd_ < 0)
        return;
    std::uint64_t one = 1;
    ssize_t written = write(wakeFd_, &one, sizeof one);
    (void)written; // a full counter already wakes the poll
}

void InternetWaker::Run() {
    std::vector<pollfd> fds;
    for (;;) {
        std::uint64_t generation = 0;
        int timeoutMs = -1;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || armed_; });
            if (stopping_)
                return;
            generation = generation_;
            if (timed_) {
                auto left =
                    std::chrono::ceil<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
                timeoutMs = static_cast<int>(std::clamp<std::int64_t>(left, 0, 1 << 30));
            }
            fds.clear();
            for (const Watch& watch : watches_)
                fds.push_back(pollfd{watch.fd, watch.events, 0});
            polling_ = true;
        }
        fds.push_back(pollfd{wakeFd_, POLLIN, 0});
        int ready = poll(fds.data(), fds.size(), timeoutMs);
        if (ready < 0 && errno != EINTR)
            ready = 0; // treat like a time-out: the owner pumps and re-arms
        if (fds.back().revents != 0) {
            std::uint64_t count = 0;
            ssize_t drained = read(wakeFd_, &count, sizeof count);
            (void)drained;
        }
        bool socketReady = ready > (fds.back().revents != 0 ? 1 : 0);
        bool timedOut = ready == 0;
        std::lock_guard<std::mutex> lock(mutex_);
        polling_ = false;
        if (stopping_)
            return;
        if (!socketReady && !timedOut)
            continue; // interrupted: look at the (possibly new) watch set
        if (!armed_ || generation != generation_)
            continue;
        armed_ = false;
        PostMessage(window_, message_, wParam_, 0);
    }
}

} // namespace plat::posix
