// The window table: one map under one mutex.

#include "platform/posix/WindowTable.h"

#include "platform/TextCase.h"

#include <algorithm>
#include <unistd.h>

namespace plat::posix {

bool SameClassName(const std::wstring& a, const std::wstring& b) {
    return EqualsNoCase(a, b);
}

WindowTable& WindowTable::Instance() {
    // Never destroyed: the listener thread and threads ending during exit
    // may still look windows up.
    static WindowTable* table = new WindowTable();
    return *table;
}

HWND WindowTable::Add(std::shared_ptr<ThreadQueue> queue, const std::wstring& className,
                      const std::wstring& title, IWindowHandler* handler, bool messageOnly) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (nextNumber_ == 0)
        return 0;
    HWND handle = (static_cast<HWND>(static_cast<std::uint32_t>(::getpid())) << 32) | nextNumber_;
    ++nextNumber_;
    WindowRecord record;
    record.handle = handle;
    record.queue = std::move(queue);
    record.className = className;
    record.title = title;
    record.handler = handler;
    record.messageOnly = messageOnly;
    windows_.emplace(handle, std::move(record));
    return handle;
}

bool WindowTable::Lookup(HWND window, WindowRecord* record) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = windows_.find(window);
    if (found == windows_.end())
        return false;
    if (record)
        *record = found->second;
    return true;
}

bool WindowTable::BeginDestroy(HWND window) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = windows_.find(window);
    if (found == windows_.end() || found->second.destroying)
        return false;
    found->second.destroying = true;
    return true;
}

void WindowTable::Remove(HWND window) {
    WindowRecord removed; // its queue reference goes outside the lock
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = windows_.find(window);
    if (found != windows_.end()) {
        removed = std::move(found->second);
        windows_.erase(found);
    }
}

void WindowTable::RemoveAllOf(const ThreadQueue* queue) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::erase_if(windows_, [&](const auto& entry) { return entry.second.queue.get() == queue; });
}

bool WindowTable::Post(HWND window, const Msg& msg) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = windows_.find(window);
    if (found == windows_.end() || !found->second.queue->Post(msg))
        return false;
    if (msg.message == WM_SHOWWINDOW)
        found->second.showCommand = static_cast<int>(msg.wParam);
    return true;
}

bool WindowTable::QueueSend(HWND window, const std::shared_ptr<PendingSend>& send) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = windows_.find(window);
    return found != windows_.end() && found->second.queue->QueueSend(send);
}

bool WindowTable::SetTitle(HWND window, const std::wstring& title) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = windows_.find(window);
    if (found == windows_.end())
        return false;
    found->second.title = title;
    return true;
}

std::vector<WindowRecord> WindowTable::TopLevelOfClass(const std::wstring& className) const {
    std::vector<WindowRecord> windows;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& [handle, record] : windows_) {
            if (!record.messageOnly && SameClassName(record.className, className))
                windows.push_back(record);
        }
    }
    std::sort(windows.begin(), windows.end(),
              [](const WindowRecord& a, const WindowRecord& b) { return a.handle < b.handle; });
    return windows;
}

void ForgetWindowsOf(const ThreadQueue* queue) {
    WindowTable::Instance().RemoveAllOf(queue);
}

} // namespace plat::posix
