#pragma once
// The X11 presenter: one display connection read on the thread that made
// it (an input source of that thread's message queue), borderless windows
// shaped with the SHAPE extension for what shows and what takes the mouse,
// pictures put with XPutImage for the painted areas only, and X events
// turned into the Windows messages the launcher's windows expect. Private
// to the POSIX backend.

#include "platform/Presenter.h"
#include "platform/SurfacePicture.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>
#include <string>
#include <unordered_map>

namespace plat::posix {

class ThreadQueue;
class X11Presenter;

class X11Surface final : public ISurface {
public:
    X11Surface(X11Presenter* presenter, const SurfaceOptions& options, ::Window window);
    ~X11Surface() override;

    HWND Window() const override { return options_.window; }
    SurfaceKind Kind() const override { return options_.kind; }
    std::uint64_t NativeId() const override { return window_; }
    Rect Bounds() const override { return bounds_; }
    bool SetBounds(const Rect& bounds) override;
    bool Show(bool visible) override;
    bool IsVisible() const override { return visible_; }
    bool SetTitle(const std::wstring& title) override;
    bool SetIcons(const Bitmap* large, const Bitmap* small) override;
    bool SetTopmost(bool topmost) override;
    bool SetShape(const Region* shape) override;
    const Region* Shape() const override { return hasShape_ ? &shape_ : nullptr; }
    Bitmap& Picture() override { return picture_.Picture(); }
    void Invalidate(const Rect* area) override;
    void BeginPaint(PaintStruct* paint) override;
    void EndPaint(const PaintStruct& paint) override;
    void Present(const Region& area) override;
    bool SetCapture() override;
    bool ReleaseCapture() override;
    bool HasCapture() const override;
    bool SetFocus() override;
    bool BeginMoveDrag() override;

private:
    friend class X11Presenter;

    void Post(std::uint32_t message, WPARAM wParam, LPARAM lParam) const;
    bool MakeImage();
    // The window manager's size hints: our position, this size and no other.
    void SetSizeHints(const Rect& bounds);

    X11Presenter* presenter_;
    SurfaceOptions options_;
    ::Window window_;
    Rect bounds_;
    bool visible_ = false;
    bool topmost_;
    bool hasShape_ = false;
    Region shape_;
    SurfacePicture picture_;
    XImage* image_ = nullptr; // over the picture's pixels
    // A move by the pointer in progress: by the window manager (ends with
    // the next pointer event we see) or by us (follows motion until release).
    bool managerDrag_ = false;
    bool ownDrag_ = false;
    Point dragPointer_;
    Point dragOrigin_;
    XIC inputContext_ = nullptr;
};

class X11Presenter final : public IPresenter {
public:
    // Null with the reason in `why` when the display does not answer or
    // cannot show our pixels.
    static std::unique_ptr<X11Presenter> Open(const char* displayName, std::wstring* why);
    ~X11Presenter() override;

    const char* Name() const override { return "x11"; }
    std::wstring Description() const override { return description_; }
    Size ScreenSize() const override;
    Point CursorPosition() const override;
    std::unique_ptr<ISurface> CreateSurface(const SurfaceOptions& options) override;
    bool CaptureScreen(Bitmap* screen) override;

    Display* Connection() const { return display_; }
    bool Broken() const;
    // Reads and handles every event waiting, without blocking.
    void Pump();

private:
    friend class X11Surface;

    X11Presenter(Display* display, std::wstring description);
    void Handle(XEvent& event);
    X11Surface* SurfaceOf(::Window window) const;
    void Forget(X11Surface* surface);
    bool ManagerMovesWindows();
    void Translate(X11Surface* surface, XKeyEvent& key, bool down);
    WPARAM Flags(unsigned state) const;
    ::Atom Intern(const char* name);

    Display* display_;
    std::wstring description_;
    int screen_ = 0;
    Visual* visual_ = nullptr;
    int depth_ = 0;
    GC gc_ = nullptr;
    std::shared_ptr<ThreadQueue> queue_; // whose waits read the connection
    int sourceId_ = 0;
    XIM inputMethod_ = nullptr;
    std::unordered_map<::Window, X11Surface*> surfaces_;
    std::unordered_map<std::string, ::Atom> atoms_;
    X11Surface* capture_ = nullptr;
    unsigned buttons_ = 0; // MK_ button bits held
};

} // namespace plat::posix
