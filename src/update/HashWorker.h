#pragma once
// SHA-256 of a byte stream computed on a thread of its own, so that a
// download's writer does not wait for it: each piece handed over is copied
// into one of a few slots and hashed while the writer goes on; the writer
// waits only when every slot is still full (memory stays bounded at
// kSlots x kSlotBytes). The owner's thread calls every member; the worker
// thread lives from the first piece to the owner's destruction.

#include "config/Sha256.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace update {

class CHashWorker {
public:
    static constexpr std::size_t kSlots = 8;
    static constexpr std::size_t kSlotBytes = 1u << 20;

    CHashWorker() = default;
    ~CHashWorker();
    CHashWorker(const CHashWorker&) = delete;
    CHashWorker& operator=(const CHashWorker&) = delete;

    // The stream starts again (waits for the pieces still being hashed).
    void Reset();
    void Update(const void* data, std::size_t size);
    // The digest of everything since the start, once every piece is hashed;
    // the stream starts again.
    config::Sha256Digest Finish();

private:
    void Run();
    // Waits until the worker has hashed every piece handed over.
    void Drain(std::unique_lock<std::mutex>& lock);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> pending_; // pieces not yet hashed, in order
    std::vector<std::string> spare_;  // emptied slots for reuse
    bool busy_ = false;               // the worker hashes a piece it took
    bool stop_ = false;
    config::CSha256 hash_; // the worker's while it runs, the owner's when drained
    std::thread thread_;
};

} // namespace update
