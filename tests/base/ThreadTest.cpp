#include "base/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <new>
#include <vector>

namespace {

// Fails the whole binary instead of letting a hung thread block the run.
class Watchdog {
public:
    explicit Watchdog(int seconds) {
        thread_ = std::thread([this, seconds] {
            std::unique_lock<std::mutex> lock(mutex_);
            if (!cv_.wait_for(lock, std::chrono::seconds(seconds), [this] { return done_; })) {
                std::fprintf(stderr, "watchdog: test hung\n");
                std::abort();
            }
        });
    }
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool done_ = false;
    std::thread thread_;
};

// A body that waits until the test releases it.
class GatedThread : public CThread {
public:
    std::shared_future<void> gate;
    std::atomic<bool> ran{false};
    void Run() override {
        gate.wait();
        ran = true;
    }
};

TEST(Thread, StopWithoutThreadAndStartTwice) {
    Watchdog dog(60);
    GatedThread t;
    EXPECT_TRUE(t.Stop(0)); // idle

    std::promise<void> release;
    t.gate = release.get_future().share();
    ASSERT_TRUE(t.Start());
    EXPECT_FALSE(t.Start()); // a thread exists
    release.set_value();
    // Stop(-1) waits for the body, however long it takes.
    EXPECT_TRUE(t.Stop(-1));
    EXPECT_TRUE(t.ran);

    // A finished but not yet stopped thread still blocks a new start.
    ASSERT_TRUE(t.Start());
    while (!t.ran)
        std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(t.Start());
    EXPECT_TRUE(t.Stop(-1));
}

TEST(Thread, StopThatTimesOutReportsTermination) {
    Watchdog dog(60);
    GatedThread t;
    std::promise<void> release;
    t.gate = release.get_future().share();
    ASSERT_TRUE(t.Start());
    EXPECT_FALSE(t.Stop(10)); // overstayed: detached, reported as terminated
    // The detached body still runs on the object: no second body may start,
    // and a later stop waits for it again.
    EXPECT_TRUE(t.HasThread());
    EXPECT_FALSE(t.Start());
    EXPECT_FALSE(t.Stop(10));
    release.set_value(); // the detached body still ends by itself
    EXPECT_TRUE(t.Stop(-1));
    EXPECT_TRUE(t.ran);
    EXPECT_FALSE(t.HasThread());
    EXPECT_TRUE(t.Start()); // a new body once the old one has ended
    EXPECT_TRUE(t.Stop(-1));
}

// A body that keeps writing into its own object after a stall, as a worker
// on a stalled disk does: the object must outlive it.
class StallingThread : public CThread {
public:
    std::shared_future<void> gate;
    std::vector<int> results; // heap memory the body writes after the stall
    ~StallingThread() override { Stop(-1); }
    void Run() override {
        gate.wait();
        results.assign(1000, 7);
    }
};

TEST(Thread, DetachedThreadKeepsItsObjectAlive) {
    Watchdog dog(60);
    auto thread = std::make_unique<StallingThread>();
    std::promise<void> release;
    thread->gate = release.get_future().share();
    ASSERT_TRUE(thread->Start());
    EXPECT_FALSE(thread->Stop(10)); // the owner gives up waiting, as uninit does
    // The stall ends while the owner destroys the object: the destruction
    // waits for the body instead of freeing what it writes.
    std::thread releaser([&release] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        release.set_value();
    });
    thread.reset();
    releaser.join();
}

// A body that fails with an exception, as an allocation failure does.
class ThrowingThread : public CThread {
public:
    std::atomic<int> failures{0};
    void Run() override { throw std::bad_alloc(); }
    void OnRunFailure() override { ++failures; }
};

TEST(Thread, FailureInTheBodyReachesTheOwnerNotTheProcess) {
    Watchdog dog(60);
    ThrowingThread t;
    ASSERT_TRUE(t.Start());
    EXPECT_TRUE(t.Stop(-1));
    EXPECT_EQ(t.failures, 1);
}

// A window thread whose window creation can be made to fail.
class TestWindowThread : public CWindowThread {
public:
    bool failWindow = false;
    std::atomic<int> loopEnds{0};
    std::atomic<bool> lastEndNormal{false};
    bool CreateThreadWindow() override {
        if (failWindow)
            return false;
        return CreateMessageWindow(L"TestWindowThread") && CWindowThread::CreateThreadWindow();
    }
    void OnLoopEnd(bool normalEnd) override {
        lastEndNormal = normalEnd;
        ++loopEnds;
        CWindowThread::OnLoopEnd(normalEnd);
    }
};

plat::LRESULT Twice(void* context, plat::WPARAM wParam, plat::LPARAM) {
    ++*static_cast<int*>(context);
    return static_cast<plat::LRESULT>(wParam * 2);
}

TEST(WindowThread, HandlersRunOnTheThreadAndQuitEndsTheLoop) {
    Watchdog dog(60);
    TestWindowThread t;
    int calls = 0;
    t.SetHandler(plat::WM_USER + 1, &Twice, &calls);
    t.SetHandler(plat::WM_USER + 2, &Twice, nullptr); // no context: handled, 0
    ASSERT_TRUE(t.Start(10000));
    EXPECT_TRUE(t.IsRunning());
    EXPECT_FALSE(t.Start(10000));

    plat::LRESULT result = -1;
    ASSERT_TRUE(plat::SendMessageTimeout(t.Window(), plat::WM_USER + 1, 21, 0, 10000, &result));
    EXPECT_EQ(result, 42);
    EXPECT_EQ(calls, 1);
    ASSERT_TRUE(plat::SendMessageTimeout(t.Window(), plat::WM_USER + 2, 21, 0, 10000, &result));
    EXPECT_EQ(result, 0);
    ASSERT_TRUE(plat::SendMessageTimeout(t.Window(), plat::WM_USER + 3, 21, 0, 10000, &result));
    EXPECT_EQ(result, 0);

    t.PostQuit();
    EXPECT_TRUE(t.Stop(10000));
    EXPECT_EQ(t.loopEnds, 1);
    EXPECT_TRUE(t.lastEndNormal);
    EXPECT_FALSE(t.IsRunning());
}

TEST(WindowThread, FailedWindowEndsStartPromptly) {
    // The ready event is signalled on failure too, so Start does not wait
    // out its (here ten-minute) time-out; the watchdog catches a wait.
    Watchdog dog(60);
    TestWindowThread t;
    t.failWindow = true;
    EXPECT_FALSE(t.Start(600000));
    EXPECT_FALSE(t.IsRunning());
    EXPECT_TRUE(t.Stop(10000));
    EXPECT_EQ(t.loopEnds, 0);
}

} // namespace
