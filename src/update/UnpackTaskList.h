#pragma once
// The unpacker's first-in first-out list of tasks. The window thread appends,
// the unpacker thread reads the head and removes it only once it has been
// processed. Not locked itself: the unpacker's lock guards every call.

#include <cstdint>
#include <deque>
#include <string>

namespace update {

struct UnpackTask {
    std::wstring tempPath;   // the downloaded temporary file
    std::wstring targetName; // file tasks: name under the installation folder
    bool isPackage = false;  // a package to unpack, else a file to copy
    std::uint64_t size = 0;  // the verified bytes at the start of the file
};

class CUnpackTaskList {
public:
    void Add(UnpackTask task) { tasks_.push_back({std::move(task), nextId_++}); }
    // A copy of the head and its ticket; false when the list is empty.
    bool Head(UnpackTask* task, std::uint64_t* ticket) const {
        if (tasks_.empty())
            return false;
        *task = tasks_.front().task;
        *ticket = tasks_.front().ticket;
        return true;
    }
    // Removes the head when it is still the task of this ticket (the list
    // may have been emptied and refilled meanwhile).
    void RemoveHead(std::uint64_t ticket) {
        if (!tasks_.empty() && tasks_.front().ticket == ticket)
            tasks_.pop_front();
    }
    void Clear() { tasks_.clear(); }
    bool Empty() const { return tasks_.empty(); }

private:
    struct Queued {
        UnpackTask task;
        std::uint64_t ticket = 0;
    };
    std::deque<Queued> tasks_;
    std::uint64_t nextId_ = 1;
};

} // namespace update
