// The notification-area icon on X11, through the freedesktop system tray
// protocol and XEmbed: the tray is whoever owns the selection
// _NET_SYSTEM_TRAY_S<screen>; the icon is a small window of our own that
// asks that owner to dock it (SYSTEM_TRAY_REQUEST_DOCK) and is then
// reparented into the tray. A tray that starts later announces itself with
// a MANAGER message on the root window; one that ends is seen by the
// DestroyNotify of its selection window. The dock reads its own display
// connection as an input source of its thread's queue.

#include "platform/posix/X11TrayDock.h"

#include "platform/Error.h"
#include "platform/Presenter.h"
#include "platform/Unicode.h"
#include "platform/posix/ThreadQueue.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>

namespace plat::posix {

namespace {

// SYSTEM_TRAY_REQUEST_DOCK, the opcode that asks the tray for a place.
constexpr long kRequestDock = 0;
// XEMBED_EMBEDDED_NOTIFY: the embedder has taken the window.
constexpr long kXEmbedEmbeddedNotify = 0;
// _XEMBED_INFO's flag that asks the embedder to map the window.
constexpr long kXEmbedMapped = 1;

int IgnoreProtocolError(Display*, XErrorEvent*) {
    // Requests on windows that went meanwhile (the tray ending) fail; that is
    // expected and must not end the process.
    return 0;
}

void MarkBroken(Display*, void* flag) {
    static_cast<std::atomic<bool>*>(flag)->store(true);
}

} // namespace

std::unique_ptr<X11TrayDock> X11TrayDock::Open(const char* displayName, std::wstring* why) {
    auto say = [why](std::wstring text) {
        if (why)
            *why = std::move(text);
    };
    XInitThreads();
    const char* fromEnvironment = std::getenv("DISPLAY");
    const std::string name = displayName ? displayName : (fromEnvironment ? fromEnvironment : "");
    if (name.empty()) {
        say(L"DISPLAY is not set");
        return nullptr;
    }
    Display* display = XOpenDisplay(name.c_str());
    if (!display) {
        say(L"display " + Utf8ToWide(name) + L" does not answer");
        return nullptr;
    }
    const int screen = DefaultScreen(display);
    const Visual* visual = DefaultVisual(display, screen);
    const int depth = DefaultDepth(display, screen);
    if ((depth != 24 && depth != 32) || visual->red_mask != 0xFF0000 ||
        visual->green_mask != 0xFF00 || visual->blue_mask != 0xFF) {
        XCloseDisplay(display);
        say(L"display " + Utf8ToWide(name) + L" has no 24-bit true-colour visual");
        return nullptr;
    }
    XSetErrorHandler(IgnoreProtocolError);
    say(L"DISPLAY=" + Utf8ToWide(name));
    return std::unique_ptr<X11TrayDock>(new X11TrayDock(display));
}

X11TrayDock::X11TrayDock(Display* display)
    : display_(display), screen_(DefaultScreen(display)), root_(RootWindow(display, screen_)) {
    XSetIOErrorExitHandler(display_, MarkBroken, &broken_);
    const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(screen_);
    selection_ = XInternAtom(display_, selection.c_str(), False);
    opcode_ = XInternAtom(display_, "_NET_SYSTEM_TRAY_OPCODE", False);
    manager_ = XInternAtom(display_, "MANAGER", False);
    xembed_ = XInternAtom(display_, "_XEMBED", False);
    xembedInfo_ = XInternAtom(display_, "_XEMBED_INFO", False);
    trayVisual_ = XInternAtom(display_, "_NET_SYSTEM_TRAY_VISUAL", False);
    // A tray that starts announces itself to the root window's structure
    // listeners.
    XSelectInput(display_, root_, StructureNotifyMask);
    XFlush(display_);
    queue_ = ThreadQueue::Current(true);
    if (queue_)
        sourceId_ = queue_->AddInputSource(ConnectionNumber(display_), [this] { Pump(); });
}

X11TrayDock::~X11TrayDock() {
    if (queue_ && sourceId_)
        queue_->RemoveInputSource(sourceId_);
    if (!Broken()) {
        if (icon_ != None)
            XDestroyWindow(display_, icon_);
        if (gc_)
            XFreeGC(display_, gc_);
        if (colormap_ != None)
            XFreeColormap(display_, colormap_);
        XFlush(display_);
    }
    XCloseDisplay(display_);
}

::Window X11TrayDock::FindTray() {
    if (Broken())
        return None;
    // The owner must not end between the question and the watch.
    XGrabServer(display_);
    const ::Window owner = XGetSelectionOwner(display_, selection_);
    if (owner != None)
        XSelectInput(display_, owner, StructureNotifyMask);
    XUngrabServer(display_);
    XFlush(display_);
    return owner;
}

bool X11TrayDock::AreaPresent() {
    if (tray_ != None)
        return true;
    return FindTray() != None;
}

bool X11TrayDock::Show(HWND window, const Bitmap& picture) {
    if (Broken()) {
        SetLastError(kErrInvalidHandle);
        return false;
    }
    target_ = window;
    picture_ = picture;
    wanted_ = true;
    if (icon_ != None)
        Paint();
    else
        Dock();
    return true;
}

void X11TrayDock::Hide() {
    wanted_ = false;
    Undock();
}

bool X11TrayDock::TrayAlphaVisual(Visual** visual) {
    ::Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    // One visual id, nothing more is read of the tray's property.
    if (XGetWindowProperty(display_, tray_, trayVisual_, 0, 1, False, XA_VISUALID, &actual, &format,
                           &count, &after, &data) != Success ||
        !data || count != 1 || format != 32) {
        if (data)
            XFree(data);
        return false;
    }
    XVisualInfo wanted{};
    wanted.visualid = static_cast<VisualID>(*reinterpret_cast<unsigned long*>(data));
    wanted.screen = screen_;
    XFree(data);
    int found = 0;
    XVisualInfo* infos = XGetVisualInfo(display_, VisualIDMask | VisualScreenMask, &wanted, &found);
    // Only the 32-bit layout our pictures have (B, G, R, A bytes) is taken.
    const bool usable = infos && found > 0 && infos[0].depth == 32 &&
                        infos[0].red_mask == 0xFF0000 && infos[0].green_mask == 0xFF00 &&
                        infos[0].blue_mask == 0xFF;
    if (usable)
        *visual = infos[0].visual;
    if (infos)
        XFree(infos);
    return usable;
}

void X11TrayDock::Dock() {
    if (!wanted_ || icon_ != None || Broken())
        return;
    tray_ = FindTray();
    if (tray_ == None)
        return; // waits for a MANAGER message
    XSetWindowAttributes attributes{};
    attributes.border_pixel = 0;
    attributes.event_mask = ExposureMask | StructureNotifyMask | ButtonPressMask |
                            PointerMotionMask | EnterWindowMask | LeaveWindowMask;
    unsigned long mask = CWBorderPixel | CWEventMask;
    Visual* alphaVisual = nullptr;
    if (TrayAlphaVisual(&alphaVisual)) {
        // The tray composes its icons: a window with alpha, transparent
        // until painted.
        colormap_ = XCreateColormap(display_, root_, alphaVisual, AllocNone);
        attributes.colormap = colormap_;
        attributes.background_pixel = 0;
        mask |= CWColormap | CWBackPixel;
        iconVisual_ = alphaVisual;
        iconDepth_ = 32;
    } else {
        // The tray's own background shows where the picture is transparent.
        attributes.background_pixmap = ParentRelative;
        mask |= CWBackPixmap;
        iconVisual_ = DefaultVisual(display_, screen_);
        iconDepth_ = DefaultDepth(display_, screen_);
    }
    icon_ = XCreateWindow(display_, root_, 0, 0, kInitialSide, kInitialSide, 0, iconDepth_,
                          InputOutput, iconVisual_, mask, &attributes);
    if (icon_ == None)
        return;
    // Drawing needs a context of the window's own depth.
    gc_ = XCreateGC(display_, icon_, 0, nullptr);
    size_ = Size{kInitialSide, kInitialSide};
    char name[] = "Launcher";
    XClassHint hint{name, name};
    XSetClassHint(display_, icon_, &hint);
    long info[2] = {0 /* XEmbed version */, kXEmbedMapped};
    XChangeProperty(display_, icon_, xembedInfo_, xembedInfo_, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(info), 2);
    XEvent request{};
    request.xclient.type = ClientMessage;
    request.xclient.window = tray_;
    request.xclient.message_type = opcode_;
    request.xclient.format = 32;
    request.xclient.data.l[0] = CurrentTime;
    request.xclient.data.l[1] = kRequestDock;
    request.xclient.data.l[2] = static_cast<long>(icon_);
    XSendEvent(display_, tray_, False, NoEventMask, &request);
    XFlush(display_);
}

void X11TrayDock::Undock() {
    if (icon_ != None && !Broken()) {
        XDestroyWindow(display_, icon_);
        XFlush(display_);
    }
    icon_ = None;
    if (!Broken()) {
        if (gc_)
            XFreeGC(display_, gc_);
        if (colormap_ != None)
            XFreeColormap(display_, colormap_);
    }
    gc_ = nullptr;
    colormap_ = None;
    if (pointerInside_) {
        pointerInside_ = false;
        Post(WM_MOUSELEAVE, 0);
    }
    SetDocked(false);
}

void X11TrayDock::SetDocked(bool docked) {
    if (docked == docked_)
        return;
    docked_ = docked;
    PostMessage(target_, WM_TRAYDOCKCHANGED, docked ? 1 : 0, 0);
}

Rect X11TrayDock::IconBounds() const {
    if (!docked_ || icon_ == None || Broken())
        return Rect{};
    int x = 0, y = 0;
    ::Window child = None;
    if (!XTranslateCoordinates(display_, icon_, root_, 0, 0, &x, &y, &child))
        return Rect{};
    return Rect::FromSize(x, y, size_.cx, size_.cy);
}

void X11TrayDock::Post(std::uint32_t message, LPARAM lParam) const {
    if (target_)
        PostMessage(target_, message, 0, lParam);
}

void X11TrayDock::Pump() {
    while (!Broken() && XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        Handle(event);
    }
}

void X11TrayDock::Handle(const XEvent& event) {
    switch (event.type) {
    case ClientMessage:
        if (event.xclient.window == root_ && event.xclient.message_type == manager_ &&
            static_cast<::Atom>(event.xclient.data.l[1]) == selection_) {
            // A tray started (or replaced the one we knew): dock there. The
            // announcement of the tray we already docked in changes nothing.
            const auto owner = static_cast<::Window>(event.xclient.data.l[2]);
            if (icon_ != None && owner == tray_)
                return;
            if (icon_ != None)
                Undock();
            tray_ = None;
            Dock();
        } else if (event.xclient.window == icon_ && event.xclient.message_type == xembed_ &&
                   event.xclient.data.l[1] == kXEmbedEmbeddedNotify) {
            SetDocked(true);
        }
        return;
    case DestroyNotify:
        if (event.xdestroywindow.window == tray_ && tray_ != None) {
            // The tray ended; our window went with it or came back to the
            // root. Wait for the next tray.
            tray_ = None;
            Undock();
            Dock();
        } else if (event.xdestroywindow.window == icon_ && icon_ != None) {
            icon_ = None;
            Undock();
        }
        return;
    default:
        break;
    }
    if (icon_ == None || event.xany.window != icon_)
        return;
    switch (event.type) {
    case ReparentNotify:
        // Taken into the tray's window: docked. Put back on the root, the
        // tray let it go: the window goes rather than stand alone on the
        // desktop, and the icon waits for the next tray.
        if (event.xreparent.parent == root_)
            Undock();
        else
            SetDocked(true);
        break;
    case ConfigureNotify: {
        const Size size{event.xconfigure.width, event.xconfigure.height};
        if (size.cx != size_.cx || size.cy != size_.cy) {
            size_ = size;
            Paint();
        }
        break;
    }
    case Expose:
        if (event.xexpose.count == 0)
            Paint();
        break;
    case ButtonPress:
        if (event.xbutton.button == Button1)
            Post(WM_LBUTTONDOWN, MakePointParam(event.xbutton.x_root, event.xbutton.y_root));
        else if (event.xbutton.button == Button3)
            Post(WM_RBUTTONDOWN, MakePointParam(event.xbutton.x_root, event.xbutton.y_root));
        break;
    case EnterNotify:
    case MotionNotify: {
        pointerInside_ = true;
        const int x = event.type == EnterNotify ? event.xcrossing.x_root : event.xmotion.x_root;
        const int y = event.type == EnterNotify ? event.xcrossing.y_root : event.xmotion.y_root;
        Post(WM_MOUSEMOVE, MakePointParam(x, y));
        break;
    }
    case LeaveNotify:
        if (pointerInside_ && event.xcrossing.detail != NotifyInferior) {
            pointerInside_ = false;
            Post(WM_MOUSELEAVE, 0);
        }
        break;
    default:
        break;
    }
}

} // namespace plat::posix

namespace plat {

std::unique_ptr<ITrayDock> CreateTrayDock(const char* display, std::wstring* why) {
    return posix::X11TrayDock::Open(display, why);
}

} // namespace plat
