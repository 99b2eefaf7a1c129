#include "support/WindowShot.h"

#include "platform/Canvas.h"
#include "platform/PngFile.h"
#include "platform/Unicode.h"

#include <filesystem>

namespace testsupport {

bool SaveWindowShot(plat::HeadlessPresenter& presenter, plat::HWND window,
                    const std::string& path) {
    plat::HeadlessSurface* surface = presenter.FindSurface(window);
    if (!surface || !surface->IsVisible())
        return false;
    plat::Bitmap screen;
    if (!presenter.CaptureScreen(&screen))
        return false;
    const plat::Rect bounds = surface->Bounds();
    plat::Bitmap shot;
    if (!shot.Create(bounds.Width() + 32, bounds.Height() + 32))
        return false;
    plat::Canvas canvas(&shot);
    plat::BitBlt(canvas, 0, 0, shot.Width(), shot.Height(), screen, bounds.left - 16,
                 bounds.top - 16);
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    return plat::SavePng(shot, plat::Utf8ToWide(path));
}

} // namespace testsupport
