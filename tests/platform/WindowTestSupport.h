#pragma once
// Shared pieces of the window-layer tests: a handler that records what it
// gets, worker threads with their own window, the watchdog every event-loop
// test carries, and the fixture that gives the test program one private
// runtime folder (the process's window socket stays where it was first made).

#include "platform/Error.h"
#include "platform/Window.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace windowtest {

// Generous bound for anything a test waits for; only a broken layer reaches it.
constexpr int kWatchdogMs = 30000;
constexpr std::uint32_t kWatchdogMessage = plat::WM_APP + 0x3FF;

// One message as a handler saw it.
struct Received {
    plat::HWND window = 0;
    std::uint32_t message = 0;
    plat::WPARAM wParam = 0;
    plat::LPARAM lParam = 0;
    bool hadCopyData = false;
    plat::CopyData copyData;
    std::thread::id thread;
};

// Records every message and answers through `reply` (0 when unset). Runs on
// the window's thread; the test reads the record from its own.
class RecordingHandler : public plat::IWindowHandler {
public:
    std::function<plat::LRESULT(const Received&)> reply;

    plat::LRESULT HandleWindowMessage(plat::HWND window, std::uint32_t message, plat::WPARAM wParam,
                                      plat::LPARAM lParam,
                                      const plat::CopyData* copyData) override {
        Received got{window,
                     message,
                     wParam,
                     lParam,
                     copyData != nullptr,
                     copyData ? *copyData : plat::CopyData{},
                     std::this_thread::get_id()};
        {
            std::lock_guard<std::mutex> lock(mutex_);
            received_.push_back(got);
        }
        return reply ? reply(got) : 0;
    }

    std::vector<Received> Of(std::uint32_t message) const {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<Received> matching;
        for (const Received& got : received_) {
            if (got.message == message)
                matching.push_back(got);
        }
        return matching;
    }
    std::size_t Count(std::uint32_t message) const { return Of(message).size(); }
    std::vector<Received> All() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return received_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Received> received_;
};

// Ends a hung test: after the time-out it posts kWatchdogMessage to the
// test's window so that PumpUntil gives up, and when nothing moves for a
// further while it aborts the program. Runs its own thread.
class Watchdog {
public:
    explicit Watchdog(plat::HWND window, int timeoutMs = kWatchdogMs)
        : thread_([this, window, timeoutMs] { Guard(window, timeoutMs); }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            disarmed_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

private:
    void Guard(plat::HWND window, int timeoutMs) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (wake_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return disarmed_; }))
            return;
        if (window != 0)
            plat::PostMessage(window, kWatchdogMessage, 0, 0);
        if (wake_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return disarmed_; }))
            return;
        std::fprintf(stderr, "window test hung: watchdog abort\n");
        std::abort();
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    bool disarmed_ = false;
    std::thread thread_;
};

// A count-down latch on a mutex and condition variable. std::latch waits on
// the atomic wait table, which loses wake-ups with the MinGW runtime.
class Latch {
public:
    explicit Latch(int count) : count_(count) {}
    void count_down() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (count_ > 0 && --count_ == 0)
            zero_.notify_all();
    }
    void wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        zero_.wait(lock, [this] { return count_ == 0; });
    }
    void arrive_and_wait() {
        count_down();
        wait();
    }

private:
    std::mutex mutex_;
    std::condition_variable zero_;
    int count_;
};

// Runs the calling thread's loop until `done` holds; false when the loop
// ended or the watchdog fired first.
inline bool PumpUntil(const std::function<bool()>& done) {
    plat::Msg msg;
    while (!done()) {
        if (plat::GetMessage(&msg) <= 0)
            return done();
        if (msg.message == kWatchdogMessage) {
            ADD_FAILURE() << "watchdog: the awaited messages did not arrive";
            return false;
        }
        plat::DispatchMessage(msg);
    }
    return true;
}

// A worker thread owning one window. A pumping worker runs a message loop
// until its window gets WM_CLOSE; an idle one never looks at its queue and
// waits until Finish. Made and finished on the test's thread.
class WindowThread {
public:
    enum class Mode { Pump, Idle };

    explicit WindowThread(plat::IWindowHandler* handler, Mode mode = Mode::Pump)
        : mode_(mode), released_(release_.get_future()) {
        std::promise<plat::HWND> ready;
        std::future<plat::HWND> window = ready.get_future();
        thread_ = std::thread([this, handler, ready = std::move(ready)]() mutable {
            plat::HWND own = plat::CreateWindow(L"LauncherTestWorker", L"", handler, true);
            ready.set_value(own);
            if (mode_ == Mode::Idle) {
                released_.wait();
                return;
            }
            plat::Msg msg;
            while (plat::GetMessage(&msg) > 0) {
                if (msg.message == plat::WM_CLOSE && msg.window == own) {
                    plat::DestroyWindow(own);
                    break;
                }
                plat::DispatchMessage(msg);
            }
        });
        window_ = window.get();
    }
    ~WindowThread() { Finish(); }
    WindowThread(const WindowThread&) = delete;
    WindowThread& operator=(const WindowThread&) = delete;

    plat::HWND Window() const { return window_; }
    std::thread::id Id() const { return thread_.get_id(); }
    void Finish() {
        if (!thread_.joinable())
            return;
        if (mode_ == Mode::Idle)
            release_.set_value();
        else
            plat::PostMessage(window_, plat::WM_CLOSE, 0, 0);
        thread_.join();
    }

private:
    Mode mode_;
    std::promise<void> release_;
    std::shared_future<void> released_;
    std::thread thread_;
    plat::HWND window_ = 0;
};

// Main-thread fixture. Points the runtime folder at one private folder for
// the whole test program, made on first use, and gives each test a main-thread window with
// a watchdog. Windows made through MakeWindow go at the end of the test (give
// them handlers from NewHandler), and the main thread's queue is emptied so
// nothing leaks into the next test.
class WindowTest : public ::testing::Test {
protected:
    static const std::string& RuntimeFolder() {
        static const testsupport::TempDir folder;
        static const std::string path = folder.NarrowPath();
        return path;
    }

    void SetUp() override {
        main_ = MakeWindow(L"LauncherTestMain", &mainHandler_);
        ASSERT_NE(main_, 0u);
        watchdog_ = std::make_unique<Watchdog>(main_);
    }
    void TearDown() override {
        watchdog_.reset();
        // The answers may refer to the test's locals, gone by now.
        mainHandler_.reply = nullptr;
        for (RecordingHandler& handler : handlers_)
            handler.reply = nullptr;
        for (plat::HWND window : windows_)
            plat::DestroyWindow(window);
        plat::Msg msg;
        while (plat::PeekMessage(&msg)) {
        }
    }

    plat::HWND MakeWindow(const std::wstring& className, plat::IWindowHandler* handler,
                          bool messageOnly = false, const std::wstring& title = L"") {
        plat::HWND window = plat::CreateWindow(className, title, handler, messageOnly);
        windows_.push_back(window);
        return window;
    }

    // A handler that outlives the windows MakeWindow made.
    RecordingHandler& NewHandler() { return handlers_.emplace_back(); }

    testsupport::ScopedEnv runtime_{"XDG_RUNTIME_DIR", RuntimeFolder()};
    std::deque<RecordingHandler> handlers_;
    RecordingHandler mainHandler_;
    plat::HWND main_ = 0;
    std::vector<plat::HWND> windows_;
    std::unique_ptr<Watchdog> watchdog_;
};

} // namespace windowtest
