// The window table of the Windows message layer.

#include "platform/win32/WindowTable.h"

#include <algorithm>

namespace plat::win {

HWND ToPlatformWindow(::HWND window, std::uint32_t processId) {
    if (!window)
        return 0;
    const auto low = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window));
    return static_cast<HWND>(processId) << 32 | low;
}

::HWND ToSystemWindow(HWND window) {
    const auto low = static_cast<std::int32_t>(static_cast<std::uint32_t>(window));
    return reinterpret_cast<::HWND>(static_cast<std::intptr_t>(low));
}

WindowTable& WindowTable::Instance() {
    // Never destroyed: threads that end after main returns still consult it.
    static WindowTable* table = new WindowTable();
    return *table;
}

void WindowTable::Add(::HWND window, const WindowRecord& record) {
    std::lock_guard<std::mutex> lock(mutex_);
    windows_[window] = record;
    order_.push_back(window);
}

bool WindowTable::Lookup(::HWND window, WindowRecord* record) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = windows_.find(window);
    if (found == windows_.end())
        return false;
    if (record)
        *record = found->second;
    return true;
}

bool WindowTable::BeginDestroy(::HWND window) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = windows_.find(window);
    if (found == windows_.end() || found->second.destroying)
        return false;
    found->second.destroying = true;
    return true;
}

void WindowTable::SetShowCommand(::HWND window, int showCommand) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = windows_.find(window);
    if (found != windows_.end())
        found->second.showCommand = showCommand;
}

std::vector<OwnedPost> WindowTable::Remove(::HWND window) {
    std::vector<OwnedPost> posts;
    std::lock_guard<std::mutex> lock(mutex_);
    windows_.erase(window);
    std::erase(order_, window);
    for (auto it = owned_.begin(); it != owned_.end();) {
        if (it->second.window == window) {
            posts.push_back(it->second);
            it = owned_.erase(it);
        } else {
            ++it;
        }
    }
    return posts;
}

std::vector<::HWND> WindowTable::RemoveThread(DWORD thread, std::vector<OwnedPost>* posts) {
    std::vector<::HWND> removed;
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = windows_.begin(); it != windows_.end();) {
        if (it->second.thread == thread) {
            removed.push_back(it->first);
            it = windows_.erase(it);
        } else {
            ++it;
        }
    }
    std::erase_if(order_, [&](::HWND w) {
        return std::find(removed.begin(), removed.end(), w) != removed.end();
    });
    for (auto it = owned_.begin(); it != owned_.end();) {
        if (std::find(removed.begin(), removed.end(), it->second.window) != removed.end()) {
            posts->push_back(it->second);
            it = owned_.erase(it);
        } else {
            ++it;
        }
    }
    return removed;
}

std::vector<::HWND> WindowTable::Windows() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return order_;
}

std::uint64_t WindowTable::AddOwnedPost(const OwnedPost& post) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::uint64_t token = nextToken_++;
    owned_[token] = post;
    return token;
}

bool WindowTable::TakeOwnedPost(std::uint64_t token, OwnedPost* post) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = owned_.find(token);
    if (found == owned_.end())
        return false;
    *post = found->second;
    owned_.erase(found);
    return true;
}

void WindowTable::DropOwnedPost(std::uint64_t token) {
    std::lock_guard<std::mutex> lock(mutex_);
    owned_.erase(token);
}

void DiscardOwnedPosts(const std::vector<OwnedPost>& posts) {
    for (const OwnedPost& post : posts) {
        if (post.discard)
            post.discard(post.wParam, post.lParam);
    }
}

UINT OwnedPostMessage() {
    static const UINT message = ::RegisterWindowMessageW(L"LauncherOwnedPost");
    return message;
}

} // namespace plat::win
