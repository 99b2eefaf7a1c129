#include "update/HashWorker.h"

#include <algorithm>

namespace update {

CHashWorker::~CHashWorker() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void CHashWorker::Drain(std::unique_lock<std::mutex>& lock) {
    changed_.wait(lock, [this] { return pending_.empty() && !busy_; });
}

void CHashWorker::Reset() {
    std::unique_lock<std::mutex> lock(mutex_);
    Drain(lock);
    hash_.Reset();
}

void CHashWorker::Update(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    std::unique_lock<std::mutex> lock(mutex_);
    if (!thread_.joinable())
        thread_ = std::thread([this] { Run(); });
    while (size > 0) {
        // A full set of slots holds the writer until one is hashed.
        changed_.wait(lock, [this] { return pending_.size() + (busy_ ? 1 : 0) < kSlots; });
        const std::size_t take = std::min(size, kSlotBytes);
        std::string slot;
        if (!spare_.empty()) {
            slot = std::move(spare_.back());
            spare_.pop_back();
        }
        slot.assign(bytes, take);
        pending_.push_back(std::move(slot));
        bytes += take;
        size -= take;
        changed_.notify_all();
    }
}

config::Sha256Digest CHashWorker::Finish() {
    std::unique_lock<std::mutex> lock(mutex_);
    Drain(lock);
    return hash_.Finish();
}

void CHashWorker::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stop_ || !pending_.empty(); });
        if (stop_)
            return;
        std::string piece = std::move(pending_.front());
        pending_.pop_front();
        busy_ = true;
        lock.unlock();
        hash_.Update(piece.data(), piece.size());
        lock.lock();
        busy_ = false;
        spare_.push_back(std::move(piece));
        changed_.notify_all();
    }
}

} // namespace update
