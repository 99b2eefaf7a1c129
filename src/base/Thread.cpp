#include "base/Thread.h"

#include <chrono>

CThread::CThread(std::string name) : name_(std::move(name)) {}

CThread::~CThread() {
    // A thread detached by an earlier Stop still uses the object: wait for it.
    Stop(-1);
}

void CThread::Entry(CThread* self, std::shared_ptr<Completion> completion) {
    try {
        self->Run();
    } catch (...) {
        try {
            self->OnRunFailure();
        } catch (...) {
        }
    }
    std::lock_guard<std::mutex> lock(completion->mutex);
    completion->finished = true;
    completion->done.notify_all();
}

bool CThread::Start() {
    if (HasThread())
        return false;
    try {
        auto completion = std::make_shared<Completion>();
        thread_ = std::thread(&CThread::Entry, this, completion);
        completion_ = std::move(completion);
    } catch (...) {
        // No memory or no thread to be had: a false result, nothing left.
        return false;
    }
    return true;
}

bool CThread::IsFinished() const {
    if (!completion_)
        return true;
    std::lock_guard<std::mutex> lock(completion_->mutex);
    return completion_->finished;
}

bool CThread::HasThread() const {
    return thread_.joinable() || !IsFinished();
}

bool CThread::WaitFinished(int timeoutMs) const {
    std::unique_lock<std::mutex> lock(completion_->mutex);
    if (timeoutMs < 0) {
        completion_->done.wait(lock, [this] { return completion_->finished; });
        return true;
    }
    return completion_->done.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                      [this] { return completion_->finished; });
}

bool CThread::Stop(int timeoutMs) {
    if (!HasThread())
        return true;
    if (!WaitFinished(timeoutMs)) {
        // Never cancelled: the thread goes on alone and the handle is closed;
        // the completion stays, so the object still knows it runs.
        if (thread_.joinable())
            thread_.detach();
        return false;
    }
    if (thread_.joinable())
        thread_.join();
    completion_.reset();
    return true;
}

CWindowThread::CWindowThread(std::string name) : CThread(std::move(name)) {}

CWindowThread::~CWindowThread() {
    handlers_.clear();
}

void CWindowThread::Run() {
    running_ = CreateThreadWindow();
    {
        std::lock_guard<std::mutex> lock(readyMutex_);
        ready_ = true;
        readyChanged_.notify_all();
    }
    if (!running_)
        return;
    plat::Msg msg;
    while (plat::GetMessage(&msg) > 0) {
        if (!PreTranslate(msg)) {
            plat::TranslateMessage(msg);
            plat::DispatchMessage(msg);
        }
    }
    DestroyThreadWindow();
    OnLoopEnd(true);
}

bool CWindowThread::Start(int timeoutMs) {
    if (running_ || HasThread())
        return false;
    {
        std::lock_guard<std::mutex> lock(readyMutex_);
        ready_ = false;
    }
    if (!CThread::Start())
        return false;
    bool signalled;
    {
        std::unique_lock<std::mutex> lock(readyMutex_);
        signalled =
            readyChanged_.wait_for(lock, std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs),
                                   [this] { return ready_; });
    }
    if (!signalled) {
        CThread::Stop(0);
        OnLoopEnd(false);
    }
    {
        std::lock_guard<std::mutex> lock(readyMutex_);
        ready_ = false;
    }
    return running_;
}

bool CWindowThread::Stop(int timeoutMs) {
    bool wasRunning = running_;
    bool ended = CThread::Stop(timeoutMs);
    if (!ended && wasRunning)
        OnLoopEnd(false);
    return ended;
}

bool CWindowThread::PreTranslate(const plat::Msg&) {
    return false;
}

bool CWindowThread::CreateThreadWindow() {
    return window_ != 0;
}

void CWindowThread::OnLoopEnd(bool) {
    running_ = false;
}

void CWindowThread::PostQuit() {
    if (running_)
        plat::PostMessage(window_, plat::WM_QUIT, 0, 0);
}

bool CWindowThread::HandleMessage(std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam,
                                  plat::LRESULT* result) {
    auto it = handlers_.find(message);
    if (it == handlers_.end())
        return false;
    const HandlerEntry& entry = it->second;
    *result = entry.callback && entry.context ? entry.callback(entry.context, wParam, lParam) : 0;
    return true;
}

void CWindowThread::SetHandler(std::uint32_t message, Handler callback, void* context) {
    handlers_[message] = HandlerEntry{callback, context};
}

plat::LRESULT CWindowThread::HandleWindowMessage(plat::HWND, std::uint32_t message,
                                                 plat::WPARAM wParam, plat::LPARAM lParam,
                                                 const plat::CopyData*) {
    plat::LRESULT result = 0;
    return HandleMessage(message, wParam, lParam, &result) ? result : 0;
}

bool CWindowThread::CreateMessageWindow(const std::wstring& className) {
    window_ = plat::CreateWindow(className, std::wstring(), this, true);
    return window_ != 0;
}

void CWindowThread::DestroyThreadWindow() {
    if (window_) {
        plat::DestroyWindow(window_);
        window_ = 0;
    }
}
