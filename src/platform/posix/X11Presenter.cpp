// The X11 presenter: the connection, the making of windows with their
// window-manager properties, screen captures, and the translation of X events
// into the launcher's window messages.

#include "platform/posix/X11Presenter.h"

#include "platform/Error.h"
#include "platform/Unicode.h"
#include "platform/posix/ThreadQueue.h"

#include <X11/Xatom.h>
#include <X11/extensions/shape.h>
#include <X11/keysym.h>

#include <algorithm>
#include <atomic>
#include <unistd.h>
#include <vector>

namespace plat::posix {

namespace {

// Protocol errors of requests on windows that went away meanwhile are
// expected; they must not end the process.
int IgnoreProtocolError(Display*, XErrorEvent*) {
    return 0;
}

// The connection failed: the presenter stops using it instead of the
// process exiting, as Xlib would by default.
void MarkBroken(Display*, void* flag) {
    static_cast<std::atomic<bool>*>(flag)->store(true);
}

struct BrokenFlags {
    std::unordered_map<Display*, std::unique_ptr<std::atomic<bool>>> flags;
};
BrokenFlags& BrokenTable() {
    static BrokenFlags flags;
    return flags;
}

// The character a key sym stands for, 0 when none.
char32_t KeySymToChar(KeySym sym) {
    if ((sym >= 0x20 && sym <= 0x7E) || (sym >= 0xA0 && sym <= 0xFF))
        return static_cast<char32_t>(sym);
    if (sym >= 0x01000100 && sym <= 0x0110FFFF)
        return static_cast<char32_t>(sym - 0x01000000);
    switch (sym) {
    case XK_Return:
    case XK_KP_Enter:
        return U'\r';
    case XK_BackSpace:
        return U'\b';
    case XK_Tab:
        return U'\t';
    case XK_Escape:
        return 0x1B;
    default:
        return 0;
    }
}

std::uint32_t VirtualKey(KeySym sym) {
    if (sym >= XK_a && sym <= XK_z)
        return static_cast<std::uint32_t>(sym - XK_a + 'A');
    if ((sym >= XK_A && sym <= XK_Z) || (sym >= XK_0 && sym <= XK_9))
        return static_cast<std::uint32_t>(sym);
    if (sym >= XK_F1 && sym <= XK_F12)
        return static_cast<std::uint32_t>(VK_F1 + (sym - XK_F1));
    switch (sym) {
    case XK_BackSpace:
        return VK_BACK;
    case XK_Tab:
    case XK_ISO_Left_Tab:
        return VK_TAB;
    case XK_Return:
    case XK_KP_Enter:
        return VK_RETURN;
    case XK_Shift_L:
    case XK_Shift_R:
        return VK_SHIFT;
    case XK_Control_L:
    case XK_Control_R:
        return VK_CONTROL;
    case XK_Alt_L:
    case XK_Alt_R:
        return VK_MENU;
    case XK_Escape:
        return VK_ESCAPE;
    case XK_space:
        return VK_SPACE;
    case XK_Prior:
    case XK_KP_Prior:
        return VK_PRIOR;
    case XK_Next:
    case XK_KP_Next:
        return VK_NEXT;
    case XK_End:
    case XK_KP_End:
        return VK_END;
    case XK_Home:
    case XK_KP_Home:
        return VK_HOME;
    case XK_Left:
    case XK_KP_Left:
        return VK_LEFT;
    case XK_Up:
    case XK_KP_Up:
        return VK_UP;
    case XK_Right:
    case XK_KP_Right:
        return VK_RIGHT;
    case XK_Down:
    case XK_KP_Down:
        return VK_DOWN;
    case XK_Insert:
    case XK_KP_Insert:
        return VK_INSERT;
    case XK_Delete:
    case XK_KP_Delete:
        return VK_DELETE;
    default:
        return 0;
    }
}

} // namespace

// --- the presenter ---------------------------------------------------------

std::unique_ptr<X11Presenter> X11Presenter::Open(const char* displayName, std::wstring* why) {
    auto say = [why](std::wstring text) {
        if (why)
            *why = std::move(text);
    };
    XInitThreads();
    std::string name =
        displayName ? displayName : (std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "");
    if (name.empty()) {
        say(L"DISPLAY is not set");
        return nullptr;
    }
    // A server still busy with the requests of a client that just went away
    // may turn a connection down now and then: a few tries, a moment apart.
    Display* display = nullptr;
    for (int attempt = 0; attempt < 3 && !display; ++attempt) {
        if (attempt > 0)
            ::usleep(100 * 1000);
        display = XOpenDisplay(name.c_str());
    }
    if (!display) {
        say(L"display " + Utf8ToWide(name) + L" does not answer");
        return nullptr;
    }
    int shapeEvent = 0, shapeError = 0;
    const int screen = DefaultScreen(display);
    Visual* visual = DefaultVisual(display, screen);
    const int depth = DefaultDepth(display, screen);
    if (!XShapeQueryExtension(display, &shapeEvent, &shapeError)) {
        XCloseDisplay(display);
        say(L"display " + Utf8ToWide(name) + L" has no SHAPE extension");
        return nullptr;
    }
    if ((depth != 24 && depth != 32) || visual->red_mask != 0xFF0000 ||
        visual->green_mask != 0xFF00 || visual->blue_mask != 0xFF) {
        XCloseDisplay(display);
        say(L"display " + Utf8ToWide(name) + L" has no 24-bit true-colour visual");
        return nullptr;
    }
    XSetErrorHandler(IgnoreProtocolError);
    auto& flag = BrokenTable().flags[display];
    flag = std::make_unique<std::atomic<bool>>(false);
    XSetIOErrorExitHandler(display, MarkBroken, flag.get());
    say(L"DISPLAY=" + Utf8ToWide(name));
    return std::unique_ptr<X11Presenter>(new X11Presenter(display, L"x11 " + Utf8ToWide(name)));
}

X11Presenter::X11Presenter(Display* display, std::wstring description)
    : display_(display), description_(std::move(description)) {
    screen_ = DefaultScreen(display_);
    visual_ = DefaultVisual(display_, screen_);
    depth_ = DefaultDepth(display_, screen_);
    gc_ = XCreateGC(display_, RootWindow(display_, screen_), 0, nullptr);
    // Typed text goes through an input method where one is at hand (so
    // compose sequences and layouts work), else through the key syms.
    if (XSupportsLocale()) {
        XSetLocaleModifiers("");
        inputMethod_ = XOpenIM(display_, nullptr, nullptr, nullptr);
        if (!inputMethod_) {
            XSetLocaleModifiers("@im=none");
            inputMethod_ = XOpenIM(display_, nullptr, nullptr, nullptr);
        }
    }
    queue_ = ThreadQueue::Current(true);
    if (queue_)
        sourceId_ = queue_->AddInputSource(ConnectionNumber(display_), [this] { Pump(); });
}

X11Presenter::~X11Presenter() {
    for (auto& [window, surface] : surfaces_)
        surface->presenter_ = nullptr;
    if (queue_ && sourceId_)
        queue_->RemoveInputSource(sourceId_);
    if (!Broken()) {
        if (inputMethod_)
            XCloseIM(inputMethod_);
        XFreeGC(display_, gc_);
    }
    XCloseDisplay(display_);
    BrokenTable().flags.erase(display_);
}

bool X11Presenter::Broken() const {
    auto found = BrokenTable().flags.find(display_);
    return found != BrokenTable().flags.end() && found->second->load();
}

::Atom X11Presenter::Intern(const char* name) {
    auto found = atoms_.find(name);
    if (found != atoms_.end())
        return found->second;
    ::Atom atom = XInternAtom(display_, name, False);
    atoms_.emplace(name, atom);
    return atom;
}

Size X11Presenter::ScreenSize() const {
    return Size{DisplayWidth(display_, screen_), DisplayHeight(display_, screen_)};
}

Point X11Presenter::CursorPosition() const {
    if (Broken())
        return Point{};
    ::Window root = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned mask = 0;
    XQueryPointer(display_, RootWindow(display_, screen_), &root, &child, &rootX, &rootY, &x, &y,
                  &mask);
    return Point{rootX, rootY};
}

std::unique_ptr<ISurface> X11Presenter::CreateSurface(const SurfaceOptions& options) {
    if (Broken() || options.bounds.Width() < 1 || options.bounds.Height() < 1 ||
        !IsWindow(options.window)) {
        SetLastError(kErrInvalidParameter);
        return nullptr;
    }
    const bool popup = options.kind == SurfaceKind::Popup;
    XSetWindowAttributes attributes{};
    attributes.background_pixmap = None;
    attributes.border_pixel = 0;
    attributes.override_redirect = popup ? True : False;
    attributes.event_mask = ExposureMask | StructureNotifyMask | ButtonPressMask |
                            ButtonReleaseMask | PointerMotionMask | EnterWindowMask |
                            LeaveWindowMask | KeyPressMask | KeyReleaseMask | FocusChangeMask;
    const Rect& b = options.bounds;
    ::Window window = XCreateWindow(
        display_, RootWindow(display_, screen_), b.left, b.top, static_cast<unsigned>(b.Width()),
        static_cast<unsigned>(b.Height()), 0, depth_, InputOutput, visual_,
        CWBackPixmap | CWBorderPixel | CWOverrideRedirect | CWEventMask, &attributes);
    if (!window) {
        SetLastError(kErrNotEnoughMemory);
        return nullptr;
    }
    auto surface = std::make_unique<X11Surface>(this, options, window);
    if (surface->picture_.IsEmpty() || !surface->MakeImage()) {
        SetLastError(kErrNotEnoughMemory);
        return nullptr;
    }
    surfaces_[window] = surface.get();

    // The taskbar identity, the close request, no decorations, our own
    // position and a fixed size.
    const std::string className = WideToUtf8(options.className);
    XClassHint hint{const_cast<char*>(className.c_str()), const_cast<char*>(className.c_str())};
    XSetClassHint(display_, window, &hint);
    ::Atom protocols[] = {Intern("WM_DELETE_WINDOW")};
    XSetWMProtocols(display_, window, protocols, 1);
    long motif[5] = {2 /* decorations */, 0, 0, 0, 0};
    XChangeProperty(display_, window, Intern("_MOTIF_WM_HINTS"), Intern("_MOTIF_WM_HINTS"), 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(motif), 5);
    surface->SetSizeHints(b);
    XWMHints wmHints{};
    wmHints.flags = InputHint | StateHint;
    wmHints.input = popup ? False : True;
    wmHints.initial_state = NormalState;
    XSetWMHints(display_, window, &wmHints);
    long pid = ::getpid();
    XChangeProperty(display_, window, Intern("_NET_WM_PID"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&pid), 1);
    ::Atom type =
        Intern(popup ? "_NET_WM_WINDOW_TYPE_DROPDOWN_MENU" : "_NET_WM_WINDOW_TYPE_NORMAL");
    XChangeProperty(display_, window, Intern("_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&type), 1);
    surface->SetTitle(options.title);
    surface->SetTopmost(options.topmost);
    if (inputMethod_ && !popup)
        surface->inputContext_ =
            XCreateIC(inputMethod_, XNInputStyle, XIMPreeditNothing | XIMStatusNothing,
                      XNClientWindow, window, XNFocusWindow, window, nullptr);
    XFlush(display_);
    return surface;
}

void X11Presenter::Forget(X11Surface* surface) {
    surfaces_.erase(surface->window_);
    if (capture_ == surface)
        capture_ = nullptr;
}

X11Surface* X11Presenter::SurfaceOf(::Window window) const {
    auto found = surfaces_.find(window);
    return found == surfaces_.end() ? nullptr : found->second;
}

bool X11Presenter::CaptureScreen(Bitmap* screen) {
    if (Broken() || !screen)
        return false;
    const Size size = ScreenSize();
    XImage* image =
        XGetImage(display_, RootWindow(display_, screen_), 0, 0, static_cast<unsigned>(size.cx),
                  static_cast<unsigned>(size.cy), AllPlanes, ZPixmap);
    if (!image)
        return false;
    bool done = screen->Create(size.cx, size.cy);
    for (int y = 0; done && y < size.cy; ++y) {
        std::uint32_t* row = screen->Row(y);
        for (int x = 0; x < size.cx; ++x)
            row[x] = static_cast<std::uint32_t>(XGetPixel(image, x, y)) | 0xFF000000u;
    }
    XDestroyImage(image);
    return done;
}

bool X11Presenter::ManagerMovesWindows() {
    ::Window root = RootWindow(display_, screen_);
    ::Atom actual = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, root, Intern("_NET_SUPPORTING_WM_CHECK"), 0, 1, False,
                           XA_WINDOW, &actual, &format, &count, &after, &data) != Success ||
        !data || count == 0) {
        if (data)
            XFree(data);
        return false;
    }
    XFree(data);
    data = nullptr;
    bool moves = false;
    if (XGetWindowProperty(display_, root, Intern("_NET_SUPPORTED"), 0, 4096, False, XA_ATOM,
                           &actual, &format, &count, &after, &data) == Success &&
        data) {
        const ::Atom wanted = Intern("_NET_WM_MOVERESIZE");
        const long* atoms = reinterpret_cast<const long*>(data);
        for (unsigned long i = 0; i < count && !moves; ++i)
            moves = static_cast<::Atom>(atoms[i]) == wanted;
        XFree(data);
    }
    return moves;
}

WPARAM X11Presenter::Flags(unsigned state) const {
    WPARAM flags = buttons_;
    if (state & ShiftMask)
        flags |= MK_SHIFT;
    if (state & ControlMask)
        flags |= MK_CONTROL;
    return flags;
}

void X11Presenter::Pump() {
    if (Broken())
        return;
    while (!Broken() && XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (XFilterEvent(&event, None))
            continue;
        Handle(event);
    }
}

void X11Presenter::Translate(X11Surface* surface, XKeyEvent& key, bool down) {
    KeySym sym = NoSymbol;
    char32_t typed[16];
    int typedCount = 0;
    if (down && surface->inputContext_) {
        char text[64];
        Status status = 0;
        int length =
            Xutf8LookupString(surface->inputContext_, &key, text, sizeof text - 1, &sym, &status);
        if (status == XLookupChars || status == XLookupBoth) {
            std::wstring chars = Utf8ToWide(std::string(text, static_cast<std::size_t>(length)));
            for (wchar_t c : chars)
                if (typedCount < 16)
                    typed[typedCount++] = static_cast<char32_t>(c);
        }
        if (status != XLookupKeySym && status != XLookupBoth)
            sym = XLookupKeysym(&key, 0);
    } else {
        char ignored[8];
        XLookupString(&key, ignored, sizeof ignored, &sym, nullptr);
        if (down) {
            if (char32_t c = KeySymToChar(sym))
                typed[typedCount++] = c;
        }
    }
    const std::uint32_t vk = VirtualKey(sym);
    if (vk)
        surface->Post(down ? WM_KEYDOWN : WM_KEYUP, vk,
                      down ? 1 : static_cast<LPARAM>(1 | 1u << 30 | 1u << 31));
    for (int i = 0; i < typedCount; ++i)
        if (typed[i] != 0x7F)
            surface->Post(WM_CHAR, typed[i], 1);
}

void X11Presenter::Handle(XEvent& event) {
    // A changed keyboard layout: the key lookups must see the new one.
    if (event.type == MappingNotify) {
        XRefreshKeyboardMapping(&event.xmapping);
        return;
    }
    X11Surface* surface = SurfaceOf(event.xany.window);
    if (!surface)
        return;
    switch (event.type) {
    case Expose: {
        const XExposeEvent& e = event.xexpose;
        surface->Present(Region(Rect::FromSize(e.x, e.y, e.width, e.height)));
        break;
    }
    case ConfigureNotify: {
        int x = event.xconfigure.x, y = event.xconfigure.y;
        if (!event.xconfigure.send_event) {
            ::Window child = 0;
            XTranslateCoordinates(display_, surface->window_, RootWindow(display_, screen_), 0, 0,
                                  &x, &y, &child);
        }
        if (x != surface->bounds_.left || y != surface->bounds_.top) {
            surface->bounds_ =
                Rect::FromSize(x, y, surface->bounds_.Width(), surface->bounds_.Height());
            surface->Post(WM_MOVE, 0, MakePointParam(x, y));
        }
        break;
    }
    case MapNotify:
        surface->visible_ = true;
        break;
    case UnmapNotify:
        surface->visible_ = false;
        break;
    case ButtonPress:
    case ButtonRelease: {
        const XButtonEvent& e = event.xbutton;
        const bool down = event.type == ButtonPress;
        if (surface->managerDrag_) {
            surface->managerDrag_ = false;
            surface->Post(WM_EXITSIZEMOVE, 0, 0);
        }
        if (e.button == Button4 || e.button == Button5) {
            if (down) {
                const WPARAM delta = static_cast<std::uint16_t>(
                    static_cast<std::int16_t>(e.button == Button4 ? 120 : -120));
                surface->Post(WM_MOUSEWHEEL, Flags(e.state) | delta << 16,
                              MakePointParam(e.x_root, e.y_root));
            }
            break;
        }
        std::uint32_t flag = 0, message = 0;
        switch (e.button) {
        case Button1:
            flag = MK_LBUTTON;
            message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
            break;
        case Button2:
            flag = MK_MBUTTON;
            message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
            break;
        case Button3:
            flag = MK_RBUTTON;
            message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
            break;
        default:
            return;
        }
        buttons_ = down ? (buttons_ | flag) : (buttons_ & ~flag);
        if (!down && surface->ownDrag_ && flag == MK_LBUTTON) {
            surface->ownDrag_ = false;
            XUngrabPointer(display_, e.time);
            surface->Post(WM_EXITSIZEMOVE, 0, 0);
            break;
        }
        if (down && surface->Kind() == SurfaceKind::Main)
            XSetInputFocus(display_, surface->window_, RevertToParent, e.time);
        surface->Post(message, Flags(e.state), MakePointParam(e.x, e.y));
        break;
    }
    case MotionNotify: {
        // Only the latest position of a burst matters.
        while (XCheckTypedWindowEvent(display_, surface->window_, MotionNotify, &event)) {
        }
        const XMotionEvent& e = event.xmotion;
        if (surface->managerDrag_) {
            surface->managerDrag_ = false;
            surface->Post(WM_EXITSIZEMOVE, 0, 0);
        }
        if (surface->ownDrag_) {
            const int x = surface->dragOrigin_.x + e.x_root - surface->dragPointer_.x;
            const int y = surface->dragOrigin_.y + e.y_root - surface->dragPointer_.y;
            XMoveWindow(display_, surface->window_, x, y);
            break;
        }
        surface->Post(WM_MOUSEMOVE, Flags(e.state), MakePointParam(e.x, e.y));
        break;
    }
    case EnterNotify:
        if (surface->managerDrag_) {
            surface->managerDrag_ = false;
            surface->Post(WM_EXITSIZEMOVE, 0, 0);
        }
        break;
    case LeaveNotify:
        if (event.xcrossing.mode == NotifyNormal && !surface->ownDrag_)
            surface->Post(WM_MOUSELEAVE, 0, 0);
        break;
    case KeyPress:
    case KeyRelease:
        Translate(surface, event.xkey, event.type == KeyPress);
        break;
    case FocusIn:
        if (event.xfocus.detail != NotifyPointer) {
            if (surface->inputContext_)
                XSetICFocus(surface->inputContext_);
            surface->Post(WM_SETFOCUS, 0, 0);
        }
        break;
    case FocusOut:
        if (event.xfocus.detail != NotifyPointer) {
            if (surface->inputContext_)
                XUnsetICFocus(surface->inputContext_);
            surface->Post(WM_KILLFOCUS, 0, 0);
        }
        break;
    case ClientMessage:
        if (event.xclient.message_type == Intern("WM_PROTOCOLS") &&
            static_cast<::Atom>(event.xclient.data.l[0]) == Intern("WM_DELETE_WINDOW"))
            surface->Post(WM_CLOSE, 0, 0);
        break;
    default:
        break;
    }
}

} // namespace plat::posix

namespace plat {

std::unique_ptr<IPresenter> CreateX11Presenter(const char* display, std::wstring* why) {
    return posix::X11Presenter::Open(display, why);
}

} // namespace plat
