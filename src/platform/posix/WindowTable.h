#pragma once
// The windows of this process. Private to the POSIX backend.

#include "platform/Window.h"
#include "platform/posix/ThreadQueue.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace plat::posix {

// What the table knows of one window. Lookups hand out copies.
struct WindowRecord {
    HWND handle = 0;
    std::shared_ptr<ThreadQueue> queue; // the owning thread's
    std::wstring className;
    std::wstring title;
    IWindowHandler* handler = nullptr;
    bool messageOnly = false;
    bool destroying = false;   // WM_DESTROY is being handled
    int showCommand = SW_HIDE; // the last WM_SHOWWINDOW queued for it
};

// Maps this process's window handles to their records. Used from every
// thread and from the listener for other processes. Lock order: the table's
// lock before a queue's, never the other way, so a post either reaches the
// queue before a destroy empties it or finds the window gone.
class WindowTable {
public:
    // The process's table; it lives until the process ends.
    static WindowTable& Instance();

    // 0 when the process has used up its window numbers (numbers are never
    // reused, so an old handle never names a new window).
    HWND Add(std::shared_ptr<ThreadQueue> queue, const std::wstring& className,
             const std::wstring& title, IWindowHandler* handler, bool messageOnly);
    bool Lookup(HWND window, WindowRecord* record) const;
    // Marks the window as being destroyed; false when it is unknown or
    // already on its way out.
    bool BeginDestroy(HWND window);
    void Remove(HWND window);
    void RemoveAllOf(const ThreadQueue* queue);

    // Hand the message to the window's queue; false when there is no such
    // window (or its thread has ended). A WM_SHOWWINDOW becomes the window's
    // show state as it is queued.
    bool Post(HWND window, const Msg& msg);
    bool QueueSend(HWND window, const std::shared_ptr<PendingSend>& send);

    bool SetTitle(HWND window, const std::wstring& title);
    // Windows that FindWindowsByClass may list, in creation order.
    std::vector<WindowRecord> TopLevelOfClass(const std::wstring& className) const;

private:
    WindowTable() = default;

    mutable std::mutex mutex_;
    std::unordered_map<HWND, WindowRecord> windows_;
    std::uint32_t nextNumber_ = 1;
};

// Class names compare as Windows compares them: ASCII letters ignore case.
bool SameClassName(const std::wstring& a, const std::wstring& b);

} // namespace plat::posix
