#pragma once
// A popup window of the dialog: a message-only window with a popup surface
// of the presenter (drop-down lists, tooltips), placed in screen
// coordinates, painted by its owner through the paint callback. Window
// thread only.

#include "platform/Presenter.h"
#include "platform/Window.h"

#include <functional>
#include <memory>

namespace skin {

class CSkinPopup : public plat::IWindowHandler {
public:
    // Paints the popup's picture (surface coordinates).
    using PaintHandler = std::function<void(plat::Canvas& canvas)>;
    // Any other message of the popup (mouse input while it has the capture,
    // timers).
    using MessageHandler =
        std::function<void(std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam)>;

    CSkinPopup() = default;
    ~CSkinPopup() override;
    CSkinPopup(const CSkinPopup&) = delete;
    CSkinPopup& operator=(const CSkinPopup&) = delete;

    // Makes the window (once); false when the message layer refuses it.
    bool Create(PaintHandler paint, MessageHandler messages);
    plat::HWND Handle() const { return window_; }

    // Shows the popup at `bounds` (screen) through the presenter, or hides it.
    bool Show(plat::IPresenter* presenter, const plat::Rect& bounds);
    void Hide();
    bool IsShown() const { return surface_ && surface_->IsVisible(); }
    plat::Rect Bounds() const { return surface_ ? surface_->Bounds() : plat::Rect{}; }
    void Invalidate();
    // Every mouse message goes to the popup while it has the capture.
    bool SetCapture() { return surface_ && surface_->SetCapture(); }
    void ReleaseCapture();
    bool HasCapture() const { return surface_ && surface_->HasCapture(); }
    plat::ISurface* Surface() const { return surface_.get(); }

    plat::LRESULT HandleWindowMessage(plat::HWND window, std::uint32_t message, plat::WPARAM wParam,
                                      plat::LPARAM lParam, const plat::CopyData* copyData) override;

private:
    plat::HWND window_ = 0;
    std::unique_ptr<plat::ISurface> surface_;
    plat::IPresenter* presenter_ = nullptr;
    PaintHandler paint_;
    MessageHandler messages_;
};

} // namespace skin
