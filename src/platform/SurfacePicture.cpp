#include "platform/SurfacePicture.h"

#include <algorithm>

namespace plat {

SurfacePicture::SurfacePicture(HWND window, Size size) : window_(window) {
    picture_.Create(size.cx, size.cy);
}

void SurfacePicture::Invalidate(const Rect* area) {
    const Rect whole = picture_.Bounds();
    update_ = update_.Union(Region(area ? area->Intersect(whole) : whole));
    if (!update_.IsEmpty() && !paintPosted_) {
        paintPosted_ = true;
        PostMessage(window_, WM_PAINT, 0, 0);
    }
}

void SurfacePicture::BeginPaint(PaintStruct* paint) {
    paintPosted_ = false;
    paint->update = std::move(update_);
    update_ = Region();
    paint->bounds = paint->update.Bounds();
    paint->canvas = std::make_unique<Canvas>(&picture_);
    paint->canvas->SetClip(&paint->update);
}

bool SurfacePicture::Resize(Size size) {
    if (size.cx == picture_.Width() && size.cy == picture_.Height())
        return true;
    Bitmap resized;
    if (!resized.Create(size.cx, size.cy))
        return false;
    Canvas canvas(&resized);
    BitBlt(canvas, 0, 0, std::min(size.cx, picture_.Width()), std::min(size.cy, picture_.Height()),
           picture_, 0, 0);
    picture_ = std::move(resized);
    update_ = Region();
    Invalidate(nullptr);
    return true;
}

} // namespace plat
