#pragma once
// The notification-area dock of the X11 backend (see platform/TrayDock.h):
// the system tray protocol in X11TrayDock.cpp, the icon's painting in
// X11TrayPaint.cpp. Private to the POSIX backend.

#include "platform/TrayDock.h"

#include <X11/Xlib.h>

#include <atomic>
#include <memory>
#include <string>

namespace plat::posix {

class ThreadQueue;

// The X11 dock: the tray's selection window being watched, the icon window
// while it exists, and what was asked of the dock. Lives on the thread that
// made it, whose queue reads its connection.
class X11TrayDock final : public ITrayDock {
public:
    // The size the icon window starts with, until the tray gives it its own.
    static constexpr int kInitialSide = 24;
    // A tray never gives an icon more than this; a larger size is not painted.
    static constexpr int kLargestSide = 512;

    static std::unique_ptr<X11TrayDock> Open(const char* displayName, std::wstring* why);
    ~X11TrayDock() override;

    bool AreaPresent() override;
    bool Show(HWND window, const Bitmap& picture) override;
    void Hide() override;
    bool IsDocked() const override { return docked_; }
    Rect IconBounds() const override;
    std::uint64_t NativeId() const override { return icon_; }

private:
    explicit X11TrayDock(Display* display);
    bool Broken() const { return broken_.load(); }
    // The tray's selection window, watched for its end; None when no tray runs.
    ::Window FindTray();
    // The 32-bit visual with alpha the tray asks its icons to use
    // (_NET_SYSTEM_TRAY_VISUAL), if it names one.
    bool TrayAlphaVisual(Visual** visual);
    // Makes the icon window and asks the tray to take it, when a tray runs.
    void Dock();
    // Destroys the icon window (when still there) and reports the loss.
    void Undock();
    void SetDocked(bool docked);
    void Pump();
    void Handle(const XEvent& event);
    // Draws the picture over the tray's background, scaled to the window.
    void Paint();
    void Post(std::uint32_t message, LPARAM lParam) const;

    Display* display_;
    int screen_;
    ::Window root_;
    ::Atom selection_, opcode_, manager_, xembed_, xembedInfo_, trayVisual_;
    std::atomic<bool> broken_{false};
    std::shared_ptr<ThreadQueue> queue_;
    int sourceId_ = 0;
    GC gc_ = nullptr;

    ::Window tray_ = None;
    ::Window icon_ = None;
    // The icon window's visual: the tray's with alpha, or the screen's with
    // the tray's background behind the picture.
    Visual* iconVisual_ = nullptr;
    int iconDepth_ = 0;
    Colormap colormap_ = None;
    Size size_{kInitialSide, kInitialSide};
    bool wanted_ = false;
    bool docked_ = false;
    bool pointerInside_ = false;
    HWND target_ = 0;
    Bitmap picture_;
};

// Scales `source` to a square of `side` pixels, averaging the source pixels
// under each target pixel.
bool ScaleTrayPicture(const Bitmap& source, int side, Bitmap* target);

} // namespace plat::posix
