#pragma once
// A tiny notification area for tests, on a display of the test's own: a
// window of its own along the top of the screen that owns the selection
// _NET_SYSTEM_TRAY_S0 (announced with a MANAGER message on the root), takes
// every SYSTEM_TRAY_REQUEST_DOCK by reparenting the icon window into
// itself, giving it a square slot and mapping it, and tells the icon with
// XEMBED_EMBEDDED_NOTIFY. It reads its own connection on a thread of its
// own, so it answers while the test's thread is busy in a message loop.

#include "platform/Geometry.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class TestTrayManager {
public:
    // Each docked icon gets a slot of this side, left to right.
    static constexpr int kSlot = 28;

    // `area`: where the tray's window lies on the screen. With
    // `alphaVisual` the tray asks its icons for a 32-bit visual with alpha
    // (_NET_SYSTEM_TRAY_VISUAL), as composing trays do.
    TestTrayManager(const std::string& display, plat::Rect area, bool alphaVisual = false);
    ~TestTrayManager();
    TestTrayManager(const TestTrayManager&) = delete;
    TestTrayManager& operator=(const TestTrayManager&) = delete;

    // Makes the tray's window and takes the selection; false when the
    // display does not answer, another tray holds the selection, or the
    // visual with alpha asked for is not to be had.
    bool Start();
    // Destroys the tray's window (the docked icons go with it) and so gives
    // up the selection, as a tray that ends does.
    void Stop();

    // The icon windows docked now, and every dock request seen so far.
    std::vector<std::uint64_t> Icons() const;
    int Requests() const { return requests_.load(); }
    std::uint64_t Window() const { return window_; }
    // The tray's background colour as the screen shows it (0xRRGGBB).
    static constexpr std::uint32_t kBackground = 0x30384A;

private:
    void Loop();
    void Handle(void* event);

    std::string display_;
    plat::Rect area_;
    bool alphaVisual_;
    void* connection_ = nullptr; // Display*
    std::uint64_t window_ = 0;
    std::atomic<int> requests_{0};
    mutable std::mutex mutex_;
    std::vector<std::uint64_t> icons_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace testsupport
