// A surface of the X11 presenter: its window's geometry, shape, icons and
// state, the picture put with XPutImage for the areas shown, the pointer
// capture and the move by the pointer.

#include "platform/posix/X11Presenter.h"

#include "platform/Error.h"
#include "platform/SurfacePicture.h"
#include "platform/Unicode.h"

#include <X11/Xatom.h>
#include <X11/extensions/shape.h>

#include <algorithm>
#include <vector>

namespace plat::posix {

X11Surface::X11Surface(X11Presenter* presenter, const SurfaceOptions& options, ::Window window)
    : presenter_(presenter), options_(options), window_(window), bounds_(options.bounds),
      topmost_(false),
      picture_(options.window, Size{options.bounds.Width(), options.bounds.Height()}) {}

X11Surface::~X11Surface() {
    if (image_) {
        image_->data = nullptr; // the pixels are the picture's
        XDestroyImage(image_);
    }
    if (!presenter_)
        return;
    presenter_->Forget(this);
    if (presenter_->Broken())
        return;
    if (inputContext_)
        XDestroyIC(inputContext_);
    XDestroyWindow(presenter_->display_, window_);
    XFlush(presenter_->display_);
}

void X11Surface::Post(std::uint32_t message, WPARAM wParam, LPARAM lParam) const {
    PostMessage(options_.window, message, wParam, lParam);
}

bool X11Surface::MakeImage() {
    if (image_) {
        image_->data = nullptr;
        XDestroyImage(image_);
        image_ = nullptr;
    }
    if (picture_.IsEmpty())
        return false;
    image_ = XCreateImage(presenter_->display_, presenter_->visual_,
                          static_cast<unsigned>(presenter_->depth_), ZPixmap, 0,
                          reinterpret_cast<char*>(Picture().Bits()),
                          static_cast<unsigned>(Picture().Width()),
                          static_cast<unsigned>(Picture().Height()), 32, Picture().Stride());
    if (!image_)
        return false;
    image_->byte_order = LSBFirst; // the picture's B, G, R, A bytes
    image_->bitmap_bit_order = LSBFirst;
    return true;
}

void X11Surface::SetSizeHints(const Rect& bounds) {
    XSizeHints* hints = XAllocSizeHints();
    if (!hints)
        return;
    hints->flags = USPosition | PPosition | PMinSize | PMaxSize;
    hints->x = bounds.left;
    hints->y = bounds.top;
    hints->min_width = hints->max_width = bounds.Width();
    hints->min_height = hints->max_height = bounds.Height();
    XSetWMNormalHints(presenter_->display_, window_, hints);
    XFree(hints);
}

bool X11Surface::SetBounds(const Rect& bounds) {
    if (!presenter_ || presenter_->Broken() || bounds.Width() < 1 || bounds.Height() < 1) {
        SetLastError(kErrInvalidParameter);
        return false;
    }
    Display* display = presenter_->display_;
    if (bounds.Width() != bounds_.Width() || bounds.Height() != bounds_.Height()) {
        if (!picture_.Resize(Size{bounds.Width(), bounds.Height()}) || !MakeImage())
            return false;
        SetSizeHints(bounds);
    }
    bounds_ = bounds;
    XMoveResizeWindow(display, window_, bounds.left, bounds.top,
                      static_cast<unsigned>(bounds.Width()),
                      static_cast<unsigned>(bounds.Height()));
    XFlush(display);
    return true;
}

bool X11Surface::Show(bool visible) {
    if (!presenter_ || presenter_->Broken())
        return false;
    Display* display = presenter_->display_;
    if (visible) {
        XMapRaised(display, window_);
        // Without a window manager the window stands where it was put.
        XMoveWindow(display, window_, bounds_.left, bounds_.top);
        Invalidate(nullptr);
    } else {
        ReleaseCapture();
        XUnmapWindow(display, window_);
    }
    visible_ = visible;
    XFlush(display);
    return true;
}

bool X11Surface::SetTitle(const std::wstring& title) {
    if (!presenter_ || presenter_->Broken())
        return false;
    const std::string text = WideToUtf8(title);
    Display* display = presenter_->display_;
    XStoreName(display, window_, text.c_str());
    XChangeProperty(display, window_, presenter_->Intern("_NET_WM_NAME"),
                    presenter_->Intern("UTF8_STRING"), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(text.data()),
                    static_cast<int>(text.size()));
    return true;
}

bool X11Surface::SetIcons(const Bitmap* large, const Bitmap* small) {
    if (!presenter_ || presenter_->Broken())
        return false;
    // _NET_WM_ICON: width, height, then straight ARGB pixels, per icon.
    std::vector<long> data;
    for (const Bitmap* icon : {large, small}) {
        if (!icon || icon->IsEmpty())
            continue;
        data.push_back(icon->Width());
        data.push_back(icon->Height());
        for (int y = 0; y < icon->Height(); ++y)
            for (int x = 0; x < icon->Width(); ++x) {
                // The pixel's bytes read as a number are the ARGB asked for.
                data.push_back(static_cast<long>(StraightPixel(icon->Pixel(x, y))));
            }
    }
    Display* display = presenter_->display_;
    if (data.empty())
        XDeleteProperty(display, window_, presenter_->Intern("_NET_WM_ICON"));
    else
        XChangeProperty(display, window_, presenter_->Intern("_NET_WM_ICON"), XA_CARDINAL, 32,
                        PropModeReplace, reinterpret_cast<unsigned char*>(data.data()),
                        static_cast<int>(data.size()));
    XFlush(display);
    return true;
}

bool X11Surface::SetTopmost(bool topmost) {
    if (!presenter_ || presenter_->Broken())
        return false;
    Display* display = presenter_->display_;
    const ::Atom state = presenter_->Intern("_NET_WM_STATE");
    const ::Atom above = presenter_->Intern("_NET_WM_STATE_ABOVE");
    topmost_ = topmost;
    if (!visible_) {
        // Read by the window manager when the window is mapped.
        if (topmost)
            XChangeProperty(display, window_, state, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(&above), 1);
        else
            XDeleteProperty(display, window_, state);
        return true;
    }
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window_;
    event.xclient.message_type = state;
    event.xclient.format = 32;
    event.xclient.data.l[0] = topmost ? 1 : 0; // add or remove
    event.xclient.data.l[1] = static_cast<long>(above);
    event.xclient.data.l[3] = 1;
    XSendEvent(display, RootWindow(display, presenter_->screen_), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    if (topmost)
        XRaiseWindow(display, window_);
    XFlush(display);
    return true;
}

bool X11Surface::SetShape(const Region* shape) {
    if (!presenter_ || presenter_->Broken())
        return false;
    Display* display = presenter_->display_;
    hasShape_ = shape != nullptr;
    shape_ = shape ? *shape : Region();
    if (!shape) {
        XShapeCombineMask(display, window_, ShapeBounding, 0, 0, None, ShapeSet);
        XShapeCombineMask(display, window_, ShapeInput, 0, 0, None, ShapeSet);
    } else {
        std::vector<XRectangle> rects;
        rects.reserve(shape->Rects().size());
        for (const Rect& r : shape->Rects())
            rects.push_back(XRectangle{static_cast<short>(r.left), static_cast<short>(r.top),
                                       static_cast<unsigned short>(r.Width()),
                                       static_cast<unsigned short>(r.Height())});
        for (int kind : {ShapeBounding, ShapeInput})
            XShapeCombineRectangles(display, window_, kind, 0, 0, rects.data(),
                                    static_cast<int>(rects.size()), ShapeSet, YXBanded);
    }
    XFlush(display);
    return true;
}

void X11Surface::Invalidate(const Rect* area) {
    picture_.Invalidate(area);
}

void X11Surface::BeginPaint(PaintStruct* paint) {
    picture_.BeginPaint(paint);
}

void X11Surface::EndPaint(const PaintStruct& paint) {
    Present(paint.update);
}

void X11Surface::Present(const Region& area) {
    if (!presenter_ || presenter_->Broken() || !image_ || !visible_)
        return;
    Display* display = presenter_->display_;
    const Region shown = area.Intersect(Region(Picture().Bounds()));
    for (const Rect& r : shown.Rects())
        XPutImage(display, window_, presenter_->gc_, image_, r.left, r.top, r.left, r.top,
                  static_cast<unsigned>(r.Width()), static_cast<unsigned>(r.Height()));
    XFlush(display);
}

bool X11Surface::SetCapture() {
    if (!presenter_ || presenter_->Broken())
        return false;
    if (presenter_->capture_ == this)
        return true;
    Display* display = presenter_->display_;
    const unsigned mask =
        ButtonPressMask | ButtonReleaseMask | PointerMotionMask | EnterWindowMask | LeaveWindowMask;
    if (XGrabPointer(display, window_, False, mask, GrabModeAsync, GrabModeAsync, None, None,
                     CurrentTime) != GrabSuccess) {
        SetLastError(kErrAccessDenied);
        return false;
    }
    if (X11Surface* previous = presenter_->capture_)
        previous->Post(WM_CAPTURECHANGED, 0, 0);
    presenter_->capture_ = this;
    return true;
}

bool X11Surface::ReleaseCapture() {
    if (!presenter_ || presenter_->capture_ != this)
        return false;
    presenter_->capture_ = nullptr;
    if (!presenter_->Broken()) {
        XUngrabPointer(presenter_->display_, CurrentTime);
        XFlush(presenter_->display_);
    }
    Post(WM_CAPTURECHANGED, 0, 0);
    return true;
}

bool X11Surface::HasCapture() const {
    return presenter_ && presenter_->capture_ == this;
}

bool X11Surface::SetFocus() {
    if (!presenter_ || presenter_->Broken() || !visible_)
        return false;
    XSetInputFocus(presenter_->display_, window_, RevertToParent, CurrentTime);
    XFlush(presenter_->display_);
    return true;
}

bool X11Surface::BeginMoveDrag() {
    if (!presenter_ || presenter_->Broken() || options_.kind != SurfaceKind::Main ||
        !(presenter_->buttons_ & MK_LBUTTON)) {
        SetLastError(kErrInvalidParameter);
        return false;
    }
    Display* display = presenter_->display_;
    const Point pointer = presenter_->CursorPosition();
    if (presenter_->capture_ == this)
        ReleaseCapture();
    Post(WM_ENTERSIZEMOVE, 0, 0);
    if (presenter_->ManagerMovesWindows()) {
        // The window manager takes the pointer and moves the frame.
        XUngrabPointer(display, CurrentTime);
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window_;
        event.xclient.message_type = presenter_->Intern("_NET_WM_MOVERESIZE");
        event.xclient.format = 32;
        event.xclient.data.l[0] = pointer.x;
        event.xclient.data.l[1] = pointer.y;
        event.xclient.data.l[2] = 8; // move
        event.xclient.data.l[3] = Button1;
        event.xclient.data.l[4] = 1; // a normal application
        XSendEvent(display, RootWindow(display, presenter_->screen_), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &event);
        presenter_->buttons_ &= ~MK_LBUTTON;
        managerDrag_ = true;
    } else {
        // No window manager: follow the pointer ourselves until release.
        const unsigned mask = ButtonReleaseMask | PointerMotionMask;
        XGrabPointer(display, window_, False, mask, GrabModeAsync, GrabModeAsync, None, None,
                     CurrentTime);
        ownDrag_ = true;
        dragPointer_ = pointer;
        dragOrigin_ = Point{bounds_.left, bounds_.top};
    }
    XFlush(display);
    return true;
}

} // namespace plat::posix
