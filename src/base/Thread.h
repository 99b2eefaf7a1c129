#pragma once
// Worker-thread bases. CThread runs its virtual Run on a new thread and can be
// stopped with a time-out; CWindowThread gives its thread a message-only
// window and a message loop whose messages go through a table of handlers.
// Start and Stop are called from the owning thread; Run and the handlers run
// on the new thread.

#include "platform/Window.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class CThread {
public:
    explicit CThread(std::string name = {});
    // Waits without time-out for a thread that still exists, a detached one
    // included: a derived class makes its body return and calls Stop(-1) in
    // its own destructor, so that nothing the body uses is freed under it.
    virtual ~CThread();
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    // The thread body; the base does nothing. A failure that escapes it as
    // an exception ends the body and goes to OnRunFailure.
    virtual void Run() {}
    // False when a thread exists (even one that has finished but was not
    // stopped yet, or one that overstayed its stop and still runs), and
    // when no thread can be made. Never throws.
    virtual bool Start();
    // No thread: true. Waits up to timeoutMs (-1 for ever). A thread that
    // overstays is detached, never cancelled, and the result is false, as a
    // forced termination reports it; a later Stop waits for it again, and
    // until it ends the object counts as having a thread.
    virtual bool Stop(int timeoutMs);

    bool HasThread() const;
    // A thread exists and its body has not returned yet.
    bool IsActive() const { return HasThread() && !IsFinished(); }
    const std::string& Name() const { return name_; }

protected:
    // True once the body has returned.
    bool IsFinished() const;
    // On the thread, after Run ended with an exception (an allocation that
    // failed, say): the body's owner learns that the work failed. The base
    // does nothing.
    virtual void OnRunFailure() {}

private:
    // Shared with the thread so that a detached thread can still report its end.
    struct Completion {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
    };
    static void Entry(CThread* self, std::shared_ptr<Completion> completion);

    // Waits up to timeoutMs (-1 for ever) for the body's end.
    bool WaitFinished(int timeoutMs) const;

    std::string name_;
    std::thread thread_;
    std::shared_ptr<Completion> completion_; // kept while a detached thread runs
};

class CWindowThread : public CThread, public plat::IWindowHandler {
public:
    using Handler = plat::LRESULT (*)(void* context, plat::WPARAM wParam, plat::LPARAM lParam);

    explicit CWindowThread(std::string name = {});
    ~CWindowThread() override;

    void Run() override;
    // Starts the thread and waits up to timeoutMs for its window. A thread
    // whose window creation failed ends at once and Start returns false
    // without waiting out the time-out.
    virtual bool Start(int timeoutMs);
    bool Stop(int timeoutMs) override;
    // True when the message was consumed before translation and dispatch.
    virtual bool PreTranslate(const plat::Msg& msg);
    // Base: true when the window exists. Derived classes create the window
    // (CreateMessageWindow) and then call the base.
    virtual bool CreateThreadWindow();
    virtual void OnLoopEnd(bool normalEnd);
    // Ends the loop when it runs.
    virtual void PostQuit();
    // Looks the message up in the handler table; false when it has no entry.
    // An entry without callback or context gives 0.
    virtual bool HandleMessage(std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam,
                               plat::LRESULT* result);

    // Fill before Start; read only by the thread afterwards.
    void SetHandler(std::uint32_t message, Handler callback, void* context);
    // Enters a member function of the thread object, taking (wParam,
    // lParam), as the handler of a message.
    template <auto Method, typename Self> void SetMemberHandler(std::uint32_t message, Self* self) {
        SetHandler(
            message,
            [](void* context, plat::WPARAM wParam, plat::LPARAM lParam) -> plat::LRESULT {
                return (static_cast<Self*>(context)->*Method)(wParam, lParam);
            },
            self);
    }

    plat::HWND Window() const { return window_; }
    bool IsRunning() const { return running_; }

    plat::LRESULT HandleWindowMessage(plat::HWND window, std::uint32_t message, plat::WPARAM wParam,
                                      plat::LPARAM lParam, const plat::CopyData* copyData) override;

protected:
    // Creates the thread's message-only window with this object as handler.
    bool CreateMessageWindow(const std::wstring& className);
    void DestroyThreadWindow();

private:
    using CThread::Start;

    struct HandlerEntry {
        Handler callback = nullptr;
        void* context = nullptr;
    };

    plat::HWND window_ = 0;
    std::mutex readyMutex_;
    std::condition_variable readyChanged_;
    bool ready_ = false;
    std::atomic<bool> running_{false};
    std::map<std::uint32_t, HandlerEntry> handlers_;
};
