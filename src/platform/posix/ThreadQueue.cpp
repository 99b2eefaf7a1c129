// The per-thread message queue: a mutex-guarded state and an eventfd that the
// owner sleeps on in poll().

#include "platform/posix/ThreadQueue.h"

#include "platform/posix/ErrnoMap.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace plat::posix {

namespace {

// Owns the calling thread's queue and closes it as the thread ends.
struct QueueHolder {
    std::shared_ptr<ThreadQueue> queue;
    ~QueueHolder() {
        if (queue) {
            ForgetWindowsOf(queue.get());
            queue->Close();
        }
    }
};

thread_local QueueHolder tHolder;

// Frees what dropped messages own; called outside the queue's lock, since a
// destructor may post again.
void DiscardAll(std::deque<Msg>& messages) {
    for (Msg& msg : messages)
        DiscardMessage(msg);
}

} // namespace

void PendingSend::Complete(bool delivered, LRESULT result) {
    Completion completion = std::move(completion_);
    completion_ = nullptr;
    if (completion)
        completion(delivered, result);
}

ThreadQueue::ThreadQueue() : owner_(std::this_thread::get_id()) {
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

ThreadQueue::~ThreadQueue() {
    DiscardAll(posted_);
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
}

std::shared_ptr<ThreadQueue> ThreadQueue::Current(bool create) {
    if (!tHolder.queue && create) {
        auto queue = std::make_shared<ThreadQueue>();
        if (queue->wakeFd_ < 0) {
            SetLastErrno(errno);
            return nullptr;
        }
        tHolder.queue = std::move(queue);
    }
    return tHolder.queue;
}

bool ThreadQueue::Post(const Msg& msg) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_)
            return false;
        posted_.push_back(msg);
    }
    Wake();
    return true;
}

bool ThreadQueue::QueueSend(const std::shared_ptr<PendingSend>& send) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_)
            return false;
        sends_.push_back(send);
    }
    Wake();
    return true;
}

void ThreadQueue::Signal(const std::function<void()>& change) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        change();
    }
    Wake();
}

void ThreadQueue::PostQuit(int exitCode) {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
    quitCode_ = exitCode;
}

void ThreadQueue::SetTimer(HWND window, std::uint64_t id, std::chrono::milliseconds elapse) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto due = Deadline::Clock::now() + elapse;
    for (Timer& timer : timers_) {
        if (timer.window == window && timer.id == id) {
            timer.elapse = elapse;
            timer.due = due;
            return;
        }
    }
    timers_.push_back(Timer{window, id, elapse, due});
}

bool ThreadQueue::KillTimer(HWND window, std::uint64_t id) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = std::find_if(timers_.begin(), timers_.end(), [&](const Timer& timer) {
        return timer.window == window && timer.id == id;
    });
    if (found == timers_.end())
        return false;
    timers_.erase(found);
    return true;
}

void ThreadQueue::DropWindow(HWND window) {
    std::vector<std::shared_ptr<PendingSend>> dropped;
    std::deque<Msg> discarded;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::erase_if(posted_, [&](Msg& msg) {
            if (msg.window != window)
                return false;
            discarded.push_back(std::move(msg));
            return true;
        });
        std::erase_if(timers_, [&](const Timer& timer) { return timer.window == window; });
        for (auto it = sends_.begin(); it != sends_.end();) {
            if ((*it)->Message().window == window) {
                dropped.push_back(std::move(*it));
                it = sends_.erase(it);
            } else {
                ++it;
            }
        }
    }
    DiscardAll(discarded);
    // The senders hear "undelivered" as `dropped` goes, outside the lock.
}

void ThreadQueue::Close() {
    std::deque<std::shared_ptr<PendingSend>> dropped;
    std::deque<Msg> discarded;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        discarded.swap(posted_);
        timers_.clear();
        dropped.swap(sends_);
    }
    DiscardAll(discarded);
}

int ThreadQueue::AddInputSource(int fd, std::function<void()> pump) {
    const int id = nextSourceId_++;
    sources_.push_back(InputSource{id, fd, std::move(pump)});
    return id;
}

void ThreadQueue::RemoveInputSource(int id) {
    std::erase_if(sources_, [id](const InputSource& source) { return source.id == id; });
}

void ThreadQueue::PumpInputSources() {
    // A pump may add or remove sources: walk a copy.
    if (sources_.empty())
        return;
    std::vector<InputSource> sources = sources_;
    for (const InputSource& source : sources)
        source.pump();
}

ThreadQueue::Fetch ThreadQueue::Next(Msg* msg, bool wait) {
    for (;;) {
        DrainWake();
        PumpInputSources();
        std::shared_ptr<PendingSend> send;
        Deadline wakeAt = Deadline::Never();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!sends_.empty()) {
                send = std::move(sends_.front());
                sends_.pop_front();
            } else if (!posted_.empty()) {
                *msg = std::move(posted_.front());
                posted_.pop_front();
                return msg->message == WM_QUIT ? Fetch::Quit : Fetch::Message;
            } else if (quit_) {
                quit_ = false;
                *msg = Msg{};
                msg->message = WM_QUIT;
                msg->wParam = static_cast<WPARAM>(quitCode_);
                return Fetch::Quit;
            } else if (Timer* timer = EarliestTimer()) {
                auto now = Deadline::Clock::now();
                if (timer->due <= now) {
                    *msg = Msg{};
                    msg->window = timer->window;
                    msg->message = WM_TIMER;
                    msg->wParam = timer->id;
                    timer->due = now + timer->elapse;
                    return Fetch::Message;
                }
                wakeAt = Deadline::At(timer->due);
            }
            if (!send && !wait)
                return Fetch::Empty;
        }
        if (send) {
            RunSendHere(*send);
            continue;
        }
        Sleep(-1, wakeAt, true);
    }
}

ThreadQueue::WaitResult ThreadQueue::WaitServing(const std::function<bool()>& done, int fd,
                                                 const Deadline& deadline) {
    for (;;) {
        DrainWake();
        std::shared_ptr<PendingSend> send;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (done && done())
                return WaitResult::Done;
            if (!sends_.empty()) {
                send = std::move(sends_.front());
                sends_.pop_front();
            }
        }
        if (send) {
            RunSendHere(*send);
            continue;
        }
        if (deadline.Passed())
            return WaitResult::TimedOut;
        if (Sleep(fd, deadline))
            return WaitResult::FdReadable;
    }
}

void ThreadQueue::Wake() {
    std::uint64_t one = 1;
    // A full counter (never in practice) still leaves the descriptor readable.
    while (::write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void ThreadQueue::DrainWake() {
    std::uint64_t count = 0;
    while (::read(wakeFd_, &count, sizeof count) < 0 && errno == EINTR) {
    }
}

ThreadQueue::Timer* ThreadQueue::EarliestTimer() {
    auto earliest = std::min_element(timers_.begin(), timers_.end(),
                                     [](const Timer& a, const Timer& b) { return a.due < b.due; });
    return earliest == timers_.end() ? nullptr : &*earliest;
}

bool ThreadQueue::Sleep(int fd, const Deadline& deadline, bool withSources) {
    std::vector<pollfd> fds{{wakeFd_, POLLIN, 0}, {fd, POLLIN, 0}};
    if (withSources)
        for (const InputSource& source : sources_)
            fds.push_back(pollfd{source.fd, POLLIN, 0});
    if (::poll(fds.data(), fds.size(), deadline.PollMs()) <= 0)
        return false; // timed out or interrupted: the caller looks again
    return fd >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

} // namespace plat::posix
