#pragma once
// The presenter without a display: surfaces live in memory, input is
// scripted (pointer moves, button presses, clicks, drags, the wheel, keys and
// typed text, close requests), and the screen can be captured and saved as a
// PNG. It behaves like the X11 presenter where the launcher can tell: while a
// button is held the surface it went down on keeps the pointer, a captured
// surface gets every mouse message, leaving a surface posts WM_MOUSELEAVE,
// and a move drag follows the pointer until the button comes up.
// Used by tests, the headless demo and every run without a display. One
// thread: the thread of the windows it serves.

#include "platform/Presenter.h"
#include "platform/SurfacePicture.h"

#include <string>
#include <vector>

namespace plat {

class HeadlessPresenter;

// One surface of the headless presenter, with everything it was told.
class HeadlessSurface final : public ISurface {
public:
    HeadlessSurface(HeadlessPresenter* presenter, const SurfaceOptions& options, std::uint64_t id);
    ~HeadlessSurface() override;

    HWND Window() const override { return options_.window; }
    SurfaceKind Kind() const override { return options_.kind; }
    std::uint64_t NativeId() const override { return id_; }
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

    const std::wstring& Title() const { return title_; }
    const std::wstring& ClassName() const { return options_.className; }
    bool Topmost() const { return topmost_; }
    bool HasIcons() const { return hasLargeIcon_ || hasSmallIcon_; }
    const Bitmap& LargeIcon() const { return largeIcon_; }
    const Bitmap& SmallIcon() const { return smallIcon_; }
    // Everything shown since the last call (EndPaint and Present areas).
    Region TakePresented();
    // Whether the point (screen) hits the surface: visible, inside, in shape.
    bool Hits(Point screen) const;

private:
    friend class HeadlessPresenter;

    HeadlessPresenter* presenter_;
    SurfaceOptions options_;
    std::uint64_t id_;
    Rect bounds_;
    bool visible_ = false;
    std::wstring title_;
    bool topmost_;
    bool hasShape_ = false;
    Region shape_;
    SurfacePicture picture_;
    Region presented_;
    Bitmap largeIcon_, smallIcon_;
    bool hasLargeIcon_ = false, hasSmallIcon_ = false;
};

class HeadlessPresenter final : public IPresenter {
public:
    // A screen of that size, its desktop painted in `desktop`.
    explicit HeadlessPresenter(Size screen = Size{1024, 768}, COLORREF desktop = RGB(0, 0, 0));
    ~HeadlessPresenter() override;

    const char* Name() const override { return "headless"; }
    std::wstring Description() const override;
    Size ScreenSize() const override { return screen_; }
    Point CursorPosition() const override { return pointer_; }
    std::unique_ptr<ISurface> CreateSurface(const SurfaceOptions& options) override;
    bool CaptureScreen(Bitmap* screen) override;
    bool SaveScreenshot(const std::wstring& path);
    // The reason given to the log when this presenter was chosen.
    void SetReason(std::wstring reason) { reason_ = std::move(reason); }

    // Surfaces from the bottom of the stack to the top.
    const std::vector<HeadlessSurface*>& Surfaces() const { return stack_; }
    HeadlessSurface* FindSurface(HWND window) const;
    // The visible surface on top at the screen point, if any.
    HeadlessSurface* SurfaceAt(Point screen) const;

    // Scripted input, in screen coordinates. Buttons: 0 left, 1 right,
    // 2 middle.
    void MoveMouse(Point screen);
    void PressButton(int button = 0);
    void ReleaseButton(int button = 0);
    void Click(Point screen, int button = 0);
    // Press at `from`, move in `steps` even steps to `to`, release.
    void Drag(Point from, Point to, int steps = 4);
    // Notches away from the user are positive.
    void Wheel(int notches);
    void KeyDown(std::uint32_t virtualKey);
    void KeyUp(std::uint32_t virtualKey);
    // Each character as its key (where it has one) and WM_CHAR.
    void TypeText(const std::wstring& text);
    // The window manager's close request (WM_CLOSE).
    void RequestClose(const ISurface& surface);
    void SetModifiers(bool shift, bool control);

private:
    friend class HeadlessSurface;

    void Forget(HeadlessSurface* surface);
    void Raise(HeadlessSurface* surface);
    HeadlessSurface* MouseTarget() const;
    void PostMouse(HeadlessSurface* target, std::uint32_t message, WPARAM extra = 0);
    WPARAM KeyFlags() const;
    void UpdateHover();

    Size screen_;
    COLORREF desktop_;
    std::wstring reason_;
    std::uint64_t nextId_ = 1;
    std::vector<HeadlessSurface*> stack_;
    Point pointer_;
    unsigned buttons_ = 0; // MK_ button bits held
    bool shift_ = false, control_ = false;
    HeadlessSurface* grab_ = nullptr; // where the held buttons went down
    HeadlessSurface* capture_ = nullptr;
    HeadlessSurface* hover_ = nullptr;
    HeadlessSurface* focus_ = nullptr;
    HeadlessSurface* dragging_ = nullptr; // a move drag in progress
    Point dragPointer_;
    Point dragOrigin_;
};

} // namespace plat
