#include "support/TestTrayManager.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <poll.h>

namespace testsupport {

namespace {

Display* Dpy(void* connection) {
    return static_cast<Display*>(connection);
}

} // namespace

TestTrayManager::TestTrayManager(const std::string& display, plat::Rect area, bool alphaVisual)
    : display_(display), area_(area), alphaVisual_(alphaVisual) {}

TestTrayManager::~TestTrayManager() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (connection_)
        XCloseDisplay(Dpy(connection_));
}

bool TestTrayManager::Start() {
    XInitThreads();
    if (!connection_) {
        connection_ = XOpenDisplay(display_.c_str());
        if (!connection_)
            return false;
        thread_ = std::thread([this] { Loop(); });
    }
    Display* display = Dpy(connection_);
    XLockDisplay(display);
    const ::Window root = DefaultRootWindow(display);
    const ::Atom selection = XInternAtom(display, "_NET_SYSTEM_TRAY_S0", False);
    if (XGetSelectionOwner(display, selection) != None) {
        XUnlockDisplay(display);
        return false;
    }
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = kBackground;
    attributes.event_mask = SubstructureNotifyMask;
    const ::Window window =
        XCreateWindow(display, root, area_.left, area_.top, static_cast<unsigned>(area_.Width()),
                      static_cast<unsigned>(area_.Height()), 0, CopyFromParent, InputOutput,
                      CopyFromParent, CWOverrideRedirect | CWBackPixel | CWEventMask, &attributes);
    if (alphaVisual_) {
        XVisualInfo info{};
        if (!XMatchVisualInfo(display, DefaultScreen(display), 32, TrueColor, &info)) {
            XDestroyWindow(display, window);
            XUnlockDisplay(display);
            return false;
        }
        long id = static_cast<long>(info.visualid);
        XChangeProperty(display, window, XInternAtom(display, "_NET_SYSTEM_TRAY_VISUAL", False),
                        XA_VISUALID, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&id), 1);
    }
    XMapWindow(display, window);
    XSetSelectionOwner(display, selection, window, CurrentTime);
    XEvent manager{};
    manager.xclient.type = ClientMessage;
    manager.xclient.window = root;
    manager.xclient.message_type = XInternAtom(display, "MANAGER", False);
    manager.xclient.format = 32;
    manager.xclient.data.l[0] = CurrentTime;
    manager.xclient.data.l[1] = static_cast<long>(selection);
    manager.xclient.data.l[2] = static_cast<long>(window);
    XSendEvent(display, root, False, StructureNotifyMask, &manager);
    XSync(display, False);
    window_ = window;
    XUnlockDisplay(display);
    return true;
}

void TestTrayManager::Stop() {
    if (!connection_ || !window_)
        return;
    Display* display = Dpy(connection_);
    XLockDisplay(display);
    XDestroyWindow(display, window_);
    XSync(display, False);
    window_ = 0;
    XUnlockDisplay(display);
    std::lock_guard<std::mutex> lock(mutex_);
    icons_.clear();
}

std::vector<std::uint64_t> TestTrayManager::Icons() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return icons_;
}

void TestTrayManager::Loop() {
    Display* display = Dpy(connection_);
    pollfd wait{ConnectionNumber(display), POLLIN, 0};
    while (!stop_) {
        ::poll(&wait, 1, 20);
        XLockDisplay(display);
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            Handle(&event);
        }
        XUnlockDisplay(display);
    }
}

void TestTrayManager::Handle(void* raw) {
    Display* display = Dpy(connection_);
    const XEvent& event = *static_cast<XEvent*>(raw);
    if (event.type == DestroyNotify) {
        std::lock_guard<std::mutex> lock(mutex_);
        std::erase(icons_, event.xdestroywindow.window);
        return;
    }
    if (event.type != ClientMessage || event.xclient.window != window_ ||
        event.xclient.message_type != XInternAtom(display, "_NET_SYSTEM_TRAY_OPCODE", False) ||
        event.xclient.data.l[1] != 0 /* SYSTEM_TRAY_REQUEST_DOCK */)
        return;
    ++requests_;
    const ::Window icon = static_cast<::Window>(event.xclient.data.l[2]);
    int slot = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        slot = static_cast<int>(icons_.size());
        icons_.push_back(icon);
    }
    // The slots fill from the tray's right end, as panels at the top-right
    // of a screen do.
    const int x = area_.Width() - (slot + 1) * kSlot - 2;
    const int y = (area_.Height() - kSlot) / 2;
    XSelectInput(display, icon, StructureNotifyMask);
    XReparentWindow(display, icon, window_, x, y);
    XResizeWindow(display, icon, kSlot, kSlot);
    XMapRaised(display, icon);
    XEvent notify{};
    notify.xclient.type = ClientMessage;
    notify.xclient.window = icon;
    notify.xclient.message_type = XInternAtom(display, "_XEMBED", False);
    notify.xclient.format = 32;
    notify.xclient.data.l[0] = CurrentTime;
    notify.xclient.data.l[1] = 0; // XEMBED_EMBEDDED_NOTIFY
    notify.xclient.data.l[3] = static_cast<long>(window_);
    XSendEvent(display, icon, False, NoEventMask, &notify);
    XFlush(display);
}

} // namespace testsupport
