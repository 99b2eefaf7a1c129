#include "skin/SkinPopup.h"

namespace skin {

CSkinPopup::~CSkinPopup() {
    surface_.reset();
    if (window_)
        plat::DestroyWindow(window_);
}

bool CSkinPopup::Create(PaintHandler paint, MessageHandler messages) {
    if (window_)
        return true;
    paint_ = std::move(paint);
    messages_ = std::move(messages);
    window_ = plat::CreateWindow(L"SkinPopup", std::wstring(), this, true);
    return window_ != 0;
}

bool CSkinPopup::Show(plat::IPresenter* presenter, const plat::Rect& bounds) {
    if (!window_ || !presenter)
        return false;
    if (!surface_ || presenter != presenter_) {
        plat::SurfaceOptions options;
        options.kind = plat::SurfaceKind::Popup;
        options.window = window_;
        options.className = L"SkinPopup";
        options.bounds = bounds;
        options.topmost = true;
        surface_ = presenter->CreateSurface(options);
        presenter_ = presenter;
        if (!surface_)
            return false;
    } else if (!surface_->SetBounds(bounds)) {
        return false;
    }
    surface_->Show(true);
    surface_->Invalidate(nullptr);
    return true;
}

void CSkinPopup::Hide() {
    if (!surface_)
        return;
    surface_->ReleaseCapture();
    surface_->Show(false);
}

void CSkinPopup::Invalidate() {
    if (surface_ && surface_->IsVisible())
        surface_->Invalidate(nullptr);
}

void CSkinPopup::ReleaseCapture() {
    if (surface_)
        surface_->ReleaseCapture();
}

plat::LRESULT CSkinPopup::HandleWindowMessage(plat::HWND, std::uint32_t message,
                                              plat::WPARAM wParam, plat::LPARAM lParam,
                                              const plat::CopyData*) {
    if (message == plat::WM_PAINT) {
        if (!surface_)
            return 0;
        plat::PaintStruct paint;
        surface_->BeginPaint(&paint);
        if (paint.canvas && !paint.update.IsEmpty() && paint_)
            paint_(*paint.canvas);
        surface_->EndPaint(paint);
        return 0;
    }
    if (messages_)
        messages_(message, wParam, lParam);
    return 0;
}

} // namespace skin
