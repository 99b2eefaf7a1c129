#include "platform/posix/InternetWaker.h"

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
    {
        std::lock_guard<std::mutex> lock(mutex_);
        watches_ = std::move(watches);
        timeoutMs_ = timeoutMs;
        armed_ = true;
        ++generation_;
    }
    changed_.notify_all();
    Interrupt();
}

void InternetWaker::Disarm() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        armed_ = false;
        ++generation_;
    }
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
            timeoutMs = timeoutMs_;
            fds.clear();
            for (const Watch& watch : watches_)
                fds.push_back(pollfd{watch.fd, watch.events, 0});
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
        if (!socketReady && !timedOut)
            continue; // interrupted: look at the (possibly new) watch set
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_)
            return;
        if (!armed_ || generation != generation_)
            continue;
        armed_ = false;
        PostMessage(window_, message_, wParam_, 0);
    }
}

} // namespace plat::posix
