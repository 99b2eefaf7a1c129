#pragma once
// The part every presenter's surface shares: the kept picture, the area
// waiting to be painted, and the one WM_PAINT posted while that area is not
// empty. Used by the presenters only; the surface's thread.

#include "platform/Presenter.h"

namespace plat {

class SurfacePicture {
public:
    // A transparent picture of that size for the window's paint messages.
    SurfacePicture(HWND window, Size size);

    Bitmap& Picture() { return picture_; }
    const Bitmap& Picture() const { return picture_; }
    bool IsEmpty() const { return picture_.IsEmpty(); }

    // Adds the area (null: all) to the update area, posting WM_PAINT when
    // none is pending.
    void Invalidate(const Rect* area);
    // Hands the update area out with a canvas clipped to it; the area is
    // empty afterwards.
    void BeginPaint(PaintStruct* paint);
    // A new size keeps the top-left part of the picture and invalidates all.
    bool Resize(Size size);

private:
    HWND window_;
    Bitmap picture_;
    Region update_;
    bool paintPosted_ = false;
};

} // namespace plat
