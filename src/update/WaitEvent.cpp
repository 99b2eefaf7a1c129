#include "update/WaitEvent.h"

namespace update {

void CWaitEvent::Set() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        set_ = true;
    }
    changed_.notify_all();
}

void CWaitEvent::Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = false;
}

void CWaitEvent::Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return set_; });
}

bool CWaitEvent::IsSet() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return set_;
}

} // namespace update
