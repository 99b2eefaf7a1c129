// The headless presenter: surfaces in a stack in memory, scripted input
// turned into the same messages the X11 presenter posts, and screen
// captures composed from the surfaces' pictures and shapes.

#include "platform/HeadlessPresenter.h"

#include "platform/Error.h"
#include "platform/PngFile.h"

#include <algorithm>

namespace plat {

namespace {

// Copies the part of `picture` inside `area` (surface coordinates) onto the
// screen at `at`, opaque, as a display without an alpha channel shows it.
void ComposeOnto(Bitmap* screen, const Bitmap& picture, const Region& area, Point at) {
    Region onScreen = area;
    onScreen.Offset(at.x, at.y);
    onScreen = onScreen.Intersect(Region(screen->Bounds()));
    for (const Rect& r : onScreen.Rects()) {
        for (int y = r.top; y < r.bottom; ++y) {
            const std::uint32_t* from = picture.Row(y - at.y);
            std::uint32_t* to = screen->Row(y);
            for (int x = r.left; x < r.right; ++x)
                to[x] = from[x - at.x] | 0xFF000000u;
        }
    }
}

} // namespace

HeadlessSurface::HeadlessSurface(HeadlessPresenter* presenter, const SurfaceOptions& options,
                                 std::uint64_t id)
    : presenter_(presenter), options_(options), id_(id), bounds_(options.bounds),
      title_(options.title), topmost_(options.topmost),
      picture_(options.window, Size{options.bounds.Width(), options.bounds.Height()}) {}

HeadlessSurface::~HeadlessSurface() {
    if (presenter_)
        presenter_->Forget(this);
}

bool HeadlessSurface::SetBounds(const Rect& bounds) {
    if (bounds.Width() < 1 || bounds.Height() < 1) {
        SetLastError(kErrInvalidParameter);
        return false;
    }
    const bool moved = bounds.left != bounds_.left || bounds.top != bounds_.top;
    if (!picture_.Resize(Size{bounds.Width(), bounds.Height()}))
        return false;
    bounds_ = bounds;
    if (moved)
        PostMessage(options_.window, WM_MOVE, 0, MakePointParam(bounds.left, bounds.top));
    presenter_->UpdateHover();
    return true;
}

bool HeadlessSurface::Show(bool visible) {
    if (visible == visible_)
        return true;
    visible_ = visible;
    if (visible) {
        presenter_->Raise(this);
        if (options_.kind == SurfaceKind::Main)
            SetFocus();
        Invalidate(nullptr);
    } else {
        if (presenter_->focus_ == this) {
            presenter_->focus_ = nullptr;
            PostMessage(options_.window, WM_KILLFOCUS, 0, 0);
        }
        ReleaseCapture();
    }
    presenter_->UpdateHover();
    return true;
}

bool HeadlessSurface::SetTitle(const std::wstring& title) {
    title_ = title;
    return true;
}

bool HeadlessSurface::SetIcons(const Bitmap* large, const Bitmap* small) {
    hasLargeIcon_ = large && !large->IsEmpty();
    hasSmallIcon_ = small && !small->IsEmpty();
    largeIcon_ = hasLargeIcon_ ? *large : Bitmap();
    smallIcon_ = hasSmallIcon_ ? *small : Bitmap();
    return true;
}

bool HeadlessSurface::SetTopmost(bool topmost) {
    topmost_ = topmost;
    presenter_->Raise(this);
    return true;
}

bool HeadlessSurface::SetShape(const Region* shape) {
    hasShape_ = shape != nullptr;
    shape_ = shape ? *shape : Region();
    presenter_->UpdateHover();
    return true;
}

void HeadlessSurface::Invalidate(const Rect* area) {
    picture_.Invalidate(area);
}

void HeadlessSurface::BeginPaint(PaintStruct* paint) {
    picture_.BeginPaint(paint);
}

void HeadlessSurface::EndPaint(const PaintStruct& paint) {
    Present(paint.update);
}

void HeadlessSurface::Present(const Region& area) {
    presented_ = presented_.Union(area);
}

Region HeadlessSurface::TakePresented() {
    Region taken = std::move(presented_);
    presented_ = Region();
    return taken;
}

bool HeadlessSurface::Hits(Point screen) const {
    if (!visible_ || !bounds_.Contains(screen.x, screen.y))
        return false;
    return !hasShape_ || shape_.Contains(screen.x - bounds_.left, screen.y - bounds_.top);
}

bool HeadlessSurface::SetCapture() {
    if (presenter_->capture_ == this)
        return true;
    if (HeadlessSurface* previous = presenter_->capture_)
        PostMessage(previous->Window(), WM_CAPTURECHANGED, 0, 0);
    presenter_->capture_ = this;
    return true;
}

bool HeadlessSurface::ReleaseCapture() {
    if (presenter_->capture_ != this)
        return false;
    presenter_->capture_ = nullptr;
    PostMessage(options_.window, WM_CAPTURECHANGED, 0, 0);
    return true;
}

bool HeadlessSurface::HasCapture() const {
    return presenter_->capture_ == this;
}

bool HeadlessSurface::SetFocus() {
    if (presenter_->focus_ == this)
        return true;
    if (HeadlessSurface* previous = presenter_->focus_)
        PostMessage(previous->Window(), WM_KILLFOCUS, 0, 0);
    presenter_->focus_ = this;
    PostMessage(options_.window, WM_SETFOCUS, 0, 0);
    return true;
}

bool HeadlessSurface::BeginMoveDrag() {
    if (!(presenter_->buttons_ & MK_LBUTTON) || options_.kind != SurfaceKind::Main) {
        SetLastError(kErrInvalidParameter);
        return false;
    }
    ReleaseCapture();
    presenter_->dragging_ = this;
    presenter_->dragPointer_ = presenter_->pointer_;
    presenter_->dragOrigin_ = Point{bounds_.left, bounds_.top};
    PostMessage(options_.window, WM_ENTERSIZEMOVE, 0, 0);
    return true;
}

HeadlessPresenter::HeadlessPresenter(Size screen, COLORREF desktop)
    : screen_(screen), desktop_(desktop) {}

HeadlessPresenter::~HeadlessPresenter() {
    // Surfaces outliving the presenter must not call back into it.
    for (HeadlessSurface* surface : stack_)
        surface->presenter_ = nullptr;
}

std::wstring HeadlessPresenter::Description() const {
    std::wstring text =
        L"headless " + std::to_wstring(screen_.cx) + L"x" + std::to_wstring(screen_.cy);
    return reason_.empty() ? text : text + L" (" + reason_ + L")";
}

std::unique_ptr<ISurface> HeadlessPresenter::CreateSurface(const SurfaceOptions& options) {
    if (options.bounds.Width() < 1 || options.bounds.Height() < 1 || !IsWindow(options.window)) {
        SetLastError(kErrInvalidParameter);
        return nullptr;
    }
    auto surface = std::make_unique<HeadlessSurface>(this, options, nextId_++);
    if (surface->picture_.IsEmpty())
        return nullptr;
    stack_.push_back(surface.get());
    Raise(surface.get());
    return surface;
}

void HeadlessPresenter::Forget(HeadlessSurface* surface) {
    std::erase(stack_, surface);
    for (HeadlessSurface** slot : {&grab_, &capture_, &hover_, &focus_, &dragging_})
        if (*slot == surface)
            *slot = nullptr;
}

void HeadlessPresenter::Raise(HeadlessSurface* surface) {
    // Layers from the bottom: plain windows, topmost windows, popups.
    auto layer = [](const HeadlessSurface* s) {
        return s->Kind() == SurfaceKind::Popup ? 2 : (s->Topmost() ? 1 : 0);
    };
    std::erase(stack_, surface);
    auto at = std::find_if(stack_.begin(), stack_.end(),
                           [&](const HeadlessSurface* s) { return layer(s) > layer(surface); });
    stack_.insert(at, surface);
}

HeadlessSurface* HeadlessPresenter::FindSurface(HWND window) const {
    for (HeadlessSurface* surface : stack_)
        if (surface->Window() == window)
            return surface;
    return nullptr;
}

HeadlessSurface* HeadlessPresenter::SurfaceAt(Point screen) const {
    for (auto it = stack_.rbegin(); it != stack_.rend(); ++it)
        if ((*it)->Hits(screen))
            return *it;
    return nullptr;
}

HeadlessSurface* HeadlessPresenter::MouseTarget() const {
    if (capture_)
        return capture_;
    if (grab_)
        return grab_;
    return SurfaceAt(pointer_);
}

WPARAM HeadlessPresenter::KeyFlags() const {
    return buttons_ | (shift_ ? WPARAM{MK_SHIFT} : 0) | (control_ ? WPARAM{MK_CONTROL} : 0);
}

void HeadlessPresenter::PostMouse(HeadlessSurface* target, std::uint32_t message, WPARAM extra) {
    if (!target)
        return;
    const Rect bounds = target->Bounds();
    PostMessage(target->Window(), message, KeyFlags() | extra,
                MakePointParam(pointer_.x - bounds.left, pointer_.y - bounds.top));
}

void HeadlessPresenter::UpdateHover() {
    HeadlessSurface* now = SurfaceAt(pointer_);
    if (now == hover_)
        return;
    // While a button is held the pointer stays with its surface.
    if (grab_ && hover_ == grab_)
        return;
    if (hover_)
        PostMessage(hover_->Window(), WM_MOUSELEAVE, 0, 0);
    hover_ = now;
}

void HeadlessPresenter::MoveMouse(Point screen) {
    if (dragging_) {
        pointer_ = screen;
        Rect bounds = dragging_->Bounds();
        const int x = dragOrigin_.x + screen.x - dragPointer_.x;
        const int y = dragOrigin_.y + screen.y - dragPointer_.y;
        dragging_->SetBounds(Rect::FromSize(x, y, bounds.Width(), bounds.Height()));
        return;
    }
    pointer_ = screen;
    UpdateHover();
    PostMouse(MouseTarget(), WM_MOUSEMOVE);
}

void HeadlessPresenter::PressButton(int button) {
    static constexpr std::uint32_t kFlag[] = {MK_LBUTTON, MK_RBUTTON, MK_MBUTTON};
    static constexpr std::uint32_t kDown[] = {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
    if (button < 0 || button > 2)
        return;
    HeadlessSurface* target = MouseTarget();
    if (!grab_ && !capture_)
        grab_ = target;
    buttons_ |= kFlag[button];
    if (target && target->Kind() == SurfaceKind::Main && focus_ != target)
        target->SetFocus();
    PostMouse(target, kDown[button]);
}

void HeadlessPresenter::ReleaseButton(int button) {
    static constexpr std::uint32_t kFlag[] = {MK_LBUTTON, MK_RBUTTON, MK_MBUTTON};
    static constexpr std::uint32_t kUp[] = {WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP};
    if (button < 0 || button > 2)
        return;
    buttons_ &= ~kFlag[button];
    if (dragging_ && button == 0) {
        HeadlessSurface* moved = dragging_;
        dragging_ = nullptr;
        grab_ = nullptr;
        PostMessage(moved->Window(), WM_EXITSIZEMOVE, 0, 0);
        UpdateHover();
        return;
    }
    HeadlessSurface* target = MouseTarget();
    PostMouse(target, kUp[button]);
    if ((buttons_ & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) == 0) {
        grab_ = nullptr;
        UpdateHover();
    }
}

void HeadlessPresenter::Click(Point screen, int button) {
    MoveMouse(screen);
    PressButton(button);
    ReleaseButton(button);
}

void HeadlessPresenter::Drag(Point from, Point to, int steps) {
    MoveMouse(from);
    PressButton(0);
    steps = std::max(steps, 1);
    for (int i = 1; i <= steps; ++i)
        MoveMouse(
            Point{from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps});
    ReleaseButton(0);
}

void HeadlessPresenter::Wheel(int notches) {
    HeadlessSurface* target = MouseTarget();
    if (!target)
        return;
    const WPARAM delta = static_cast<std::uint16_t>(static_cast<std::int16_t>(notches * 120));
    PostMessage(target->Window(), WM_MOUSEWHEEL, KeyFlags() | delta << 16,
                MakePointParam(pointer_.x, pointer_.y));
}

void HeadlessPresenter::KeyDown(std::uint32_t virtualKey) {
    if (focus_)
        PostMessage(focus_->Window(), WM_KEYDOWN, virtualKey, 1);
}

void HeadlessPresenter::KeyUp(std::uint32_t virtualKey) {
    if (focus_)
        PostMessage(focus_->Window(), WM_KEYUP, virtualKey,
                    static_cast<LPARAM>(1 | 1u << 30 | 1u << 31));
}

void HeadlessPresenter::TypeText(const std::wstring& text) {
    for (wchar_t c : text) {
        std::uint32_t key = 0;
        if (c >= L'a' && c <= L'z')
            key = static_cast<std::uint32_t>(c - L'a' + L'A');
        else if ((c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L' ')
            key = static_cast<std::uint32_t>(c);
        else if (c == L'\r')
            key = VK_RETURN;
        else if (c == L'\b')
            key = VK_BACK;
        else if (c == L'\t')
            key = VK_TAB;
        else if (c == 0x1B)
            key = VK_ESCAPE;
        if (key)
            KeyDown(key);
        if (focus_)
            PostMessage(focus_->Window(), WM_CHAR, static_cast<WPARAM>(c), 1);
        if (key)
            KeyUp(key);
    }
}

void HeadlessPresenter::RequestClose(const ISurface& surface) {
    PostMessage(surface.Window(), WM_CLOSE, 0, 0);
}

void HeadlessPresenter::SetModifiers(bool shift, bool control) {
    shift_ = shift;
    control_ = control;
}

bool HeadlessPresenter::CaptureScreen(Bitmap* screen) {
    if (!screen || !screen->Create(screen_.cx, screen_.cy))
        return false;
    Canvas canvas(screen);
    FillRect(canvas, screen->Bounds(), desktop_);
    for (const HeadlessSurface* surface : stack_) {
        if (!surface->IsVisible())
            continue;
        const Rect bounds = surface->Bounds();
        const Region area =
            surface->Shape()
                ? surface->Shape()->Intersect(Region(surface->picture_.Picture().Bounds()))
                : Region(surface->picture_.Picture().Bounds());
        ComposeOnto(screen, surface->picture_.Picture(), area, Point{bounds.left, bounds.top});
    }
    return true;
}

bool HeadlessPresenter::SaveScreenshot(const std::wstring& path) {
    Bitmap screen;
    return CaptureScreen(&screen) && SavePng(screen, path);
}

} // namespace plat
