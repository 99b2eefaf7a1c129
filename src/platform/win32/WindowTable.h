#pragma once
// The process's record of its message-layer windows on Windows: which system
// window belongs to which thread and handler, each window's last show
// command, and the messages posted with an object they own, keyed by a token
// that travels in the system queue in their place. Used from any thread;
// every member takes the table's lock.

#include "platform/win32/WinApi.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace plat::win {

// The platform handle of a system window: the owning process in the upper
// half, the system handle's low 32 bits in the lower half.
HWND ToPlatformWindow(::HWND window, std::uint32_t processId);
// The system handle a platform handle carries (it sign-extends back).
::HWND ToSystemWindow(HWND window);

struct WindowRecord {
    IWindowHandler* handler = nullptr;
    DWORD thread = 0;
    int showCommand = SW_HIDE;
    bool destroying = false;
};

// A message posted with PostOwnedMessage, waiting in a system queue.
struct OwnedPost {
    ::HWND window = nullptr;
    std::uint32_t message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    MessageDiscard discard = nullptr;
};

class WindowTable {
public:
    static WindowTable& Instance();

    void Add(::HWND window, const WindowRecord& record);
    bool Lookup(::HWND window, WindowRecord* record) const;
    bool Contains(::HWND window) const { return Lookup(window, nullptr); }
    // Marks the window as on its way out; false when it already is.
    bool BeginDestroy(::HWND window);
    void SetShowCommand(::HWND window, int showCommand);
    // Forgets the window and hands back its owned posts, to be discarded
    // outside the lock.
    std::vector<OwnedPost> Remove(::HWND window);
    // Forgets every window of the thread; returns them and their owned posts.
    std::vector<::HWND> RemoveThread(DWORD thread, std::vector<OwnedPost>* posts);
    // The process's windows in creation order.
    std::vector<::HWND> Windows() const;

    std::uint64_t AddOwnedPost(const OwnedPost& post);
    bool TakeOwnedPost(std::uint64_t token, OwnedPost* post);
    void DropOwnedPost(std::uint64_t token);

private:
    WindowTable() = default;

    mutable std::mutex mutex_;
    std::unordered_map<::HWND, WindowRecord> windows_;
    std::vector<::HWND> order_;
    std::unordered_map<std::uint64_t, OwnedPost> owned_;
    std::uint64_t nextToken_ = 1;
};

// Runs the discard functions of posts that will never be read.
void DiscardOwnedPosts(const std::vector<OwnedPost>& posts);

// The registered message that carries an owned post's token in wParam.
UINT OwnedPostMessage();

} // namespace plat::win
