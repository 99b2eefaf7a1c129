#pragma once
// The Windows presenter: each surface is a borderless popup window of the
// desktop, shaped with a window region, whose pixels are kept in a 32-bit
// DIB section that the system's own paint requests are answered from. The
// surface's window procedure turns the system's input into the launcher's
// messages, posted to the message-layer window the surface serves. Lives on
// the thread of those windows, whose loop dispatches the surfaces' messages.

#include "platform/Presenter.h"
#include "platform/SurfacePicture.h"
#include "platform/win32/GdiPicture.h"
#include "platform/win32/WinApi.h"

#include <memory>
#include <string>

namespace plat::win {

class Win32Presenter;

class Win32Surface final : public ISurface {
public:
    Win32Surface(Win32Presenter* presenter, const SurfaceOptions& options);
    ~Win32Surface() override;

    // Makes the system window; false with the last error set.
    bool Open();

    HWND Window() const override { return options_.window; }
    SurfaceKind Kind() const override { return options_.kind; }
    std::uint64_t NativeId() const override {
        return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(system_));
    }
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

    ::HWND SystemWindow() const { return system_; }
    // What the window shows now, read back through the system (the window
    // prints itself into a context of ours).
    bool ReadBack(Bitmap* shown) const;

    // The window procedure of the surfaces' class.
    static ::LRESULT CALLBACK WindowProcEntry(::HWND window, UINT message, ::WPARAM wParam,
                                              ::LPARAM lParam);

private:
    ::LRESULT Handle(UINT message, ::WPARAM wParam, ::LPARAM lParam);
    void Post(std::uint32_t message, WPARAM wParam, LPARAM lParam) const;
    void PaintSystem(HDC dc, const RECT& area) const;
    void OnMouse(UINT message, ::WPARAM wParam, ::LPARAM lParam);

    Win32Presenter* presenter_;
    SurfaceOptions options_;
    ::HWND system_ = nullptr;
    Rect bounds_;
    bool visible_ = false;
    bool topmost_ = false;
    bool hasShape_ = false;
    Region shape_;
    SurfacePicture picture_;
    DibSection shown_;
    HICON largeIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
    bool tracking_ = false;        // a mouse-leave notice is requested
    bool implicitCapture_ = false; // taken because a button went down
    bool dragging_ = false;        // a move by the pointer in progress
    Point dragPointer_;
    Point dragOrigin_;
    wchar_t highSurrogate_ = 0;
};

class Win32Presenter final : public IPresenter {
public:
    explicit Win32Presenter(std::wstring description);

    const char* Name() const override { return "win32"; }
    std::wstring Description() const override { return description_; }
    Size ScreenSize() const override;
    Point CursorPosition() const override;
    std::unique_ptr<ISurface> CreateSurface(const SurfaceOptions& options) override;
    bool CaptureScreen(Bitmap* screen) override;

    // The window class of every surface.
    static const wchar_t* SurfaceClass();

private:
    std::wstring description_;
};

// Whether this process can put windows on a desktop a person sees; the
// reason either way.
bool DesktopUsable(std::wstring* why);

} // namespace plat::win
