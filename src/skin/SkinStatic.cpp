#include "skin/SkinStatic.h"

#include "platform/Unicode.h"
#include "skin/SkinMessages.h"
#include "skin/ThemeAttributes.h"

#include <tinyxml2.h>

#include <algorithm>

namespace skin {

// --- "text" ----------------------------------------------------------------

bool CSkinText::Init(const tinyxml2::XMLElement* element, const tinyxml2::XMLElement* profiles) {
    const CElementKeys keys(element, profiles);
    common_.ReadCommonAttributes(element);
    if (!font_.Load(element, keys.Profile()))
        return false;
    std::string text;
    keys.Text("text", &text);
    label_ = ApplyCase(plat::Utf8ToWide(text), font_.caseMode);
    keys.Bool("transparentBg", &transparentBg_);
    keys.Text("align", &align_);
    keys.Text("alignVertical", &alignVertical_);
    keys.Colour("fontColor", &fontColor_);
    keys.Colour("bgColor", &bgColor_);
    keys.Point("borderLR", &borderLR_);
    keys.Bool("bgClip", &bgClip_);
    if (const tinyxml2::XMLElement* holder = keys.Holder("imgBg"))
        if (theme_->LoadThemeImage(holder, "imgBg", &imgBg_))
            common_.rect = plat::Rect::FromSize(common_.rect.left, common_.rect.top, imgBg_.Width(),
                                                imgBg_.Height());
    return true;
}

int CSkinText::LabelWidth() const {
    std::shared_ptr<const plat::Font> font = FontOf(font_);
    return font ? font->TextExtent(label_).cx : 0;
}

int CSkinText::LabelRoom() const {
    const int width = common_.rect.Width();
    if (align_ == "center" || align_ == "right")
        return width;
    return width - borderLR_.x;
}

void CSkinText::PaintWindow(plat::Canvas& canvas) {
    const plat::Size client = ClientSize();
    std::shared_ptr<const plat::Font> font = FontOf(font_);
    if (!font)
        return;
    const plat::Size extent = font->TextExtent(label_);
    if (!imgBg_.IsEmpty()) {
        const int targetWidth = bgClip_ ? extent.cx + borderLR_.x + borderLR_.y : client.cx;
        const int width = std::min({imgBg_.Width(), targetWidth, client.cx});
        const int height = std::min(imgBg_.Height(), client.cy);
        if (width > 0 && height > 0)
            plat::BitBlt(canvas, 0, 0, width, height, imgBg_, 0, 0);
    }
    canvas.SelectFont(font);
    canvas.SetTextColor(fontColor_);
    canvas.SetBkColor(bgColor_);
    canvas.SetBkMode(transparentBg_ ? plat::TRANSPARENT : plat::OPAQUE);
    int x = borderLR_.x;
    if (align_ == "center")
        x = client.cx / 2 - extent.cx / 2;
    else if (align_ == "right")
        x = client.cx - extent.cx;
    const int y = alignVertical_ == "center" ? (client.cy - extent.cy) / 2 - 1 : 0;
    plat::Rect line = plat::Rect::FromSize(x, y, extent.cx, extent.cy);
    plat::DrawText(canvas, label_, &line, plat::DT_LEFT | plat::DT_SINGLELINE | plat::DT_NOPREFIX);
}

plat::LRESULT CSkinText::WindowProc(std::uint32_t message, plat::WPARAM wParam,
                                    plat::LPARAM lParam) {
    if (message == WM_SETTEXT) {
        label_ = ApplyCase(lParam ? *reinterpret_cast<const std::wstring*>(lParam) : std::wstring(),
                           font_.caseMode);
        DefWindowProc(message, wParam, lParam);
        return 1;
    }
    return DefWindowProc(message, wParam, lParam);
}

// --- "sprite" --------------------------------------------------------------

bool CSkinSprite::Init(const tinyxml2::XMLElement* element, const tinyxml2::XMLElement*) {
    element_ = element;
    common_.ReadCommonAttributes(element);
    LoadImage();
    return true;
}

void CSkinSprite::LoadImage() {
    if (!theme_->LoadThemeImage(element_, "img", &image_))
        return;
    common_.rect =
        plat::Rect::FromSize(common_.rect.left, common_.rect.top, image_.Width(), image_.Height());
}

void CSkinSprite::ReloadImages() {
    LoadImage();
    if (HasWindow()) {
        MoveWindow(common_.rect);
        InvalidateWindow();
    }
}

void CSkinSprite::PaintWindow(plat::Canvas& canvas) {
    DrawImage(canvas, image_, plat::Rect{0, 0, image_.Width(), image_.Height()});
}

// --- "spriteRange" ---------------------------------------------------------

bool CSkinSpriteRange::Init(const tinyxml2::XMLElement* element, const tinyxml2::XMLElement*) {
    common_.ReadCommonAttributes(element);
    if (!theme_->LoadThemeImage(element, "imgBg", &imgBg_) ||
        !theme_->LoadThemeImage(element, "imgBar", &imgBar_))
        return false;
    common_.rect =
        plat::Rect::FromSize(common_.rect.left, common_.rect.top, imgBg_.Width(), imgBg_.Height());
    range_ = imgBg_.Width() - imgBar_.Width();
    return true;
}

int CSkinSpriteRange::BarOffset(int position, int range) {
    if (range <= 0)
        return 0;
    const long long p =
        ((static_cast<long long>(position) % (2LL * range)) + 2LL * range) % (2LL * range);
    return static_cast<int>(p < range ? p : 2LL * range - p);
}

void CSkinSpriteRange::PaintWindow(plat::Canvas& canvas) {
    if (!common_.visible)
        return;
    const plat::BlendFunction opaque{255, true};
    plat::AlphaBlend(canvas, 0, 0, imgBg_.Width(), imgBg_.Height(), imgBg_, 0, 0, imgBg_.Width(),
                     imgBg_.Height(), opaque);
    plat::AlphaBlend(canvas, BarOffset(position_, range_), 0, imgBar_.Width(), imgBar_.Height(),
                     imgBar_, 0, 0, imgBar_.Width(), imgBar_.Height(), opaque);
}

// --- "progress" ------------------------------------------------------------

bool CSkinProgress::Init(const tinyxml2::XMLElement* element, const tinyxml2::XMLElement*) {
    common_.ReadCommonAttributes(element);
    if (!theme_->LoadThemeImage(element, "imgBg", &imgBg_) ||
        !theme_->LoadThemeImage(element, "imgBar", &imgBar_))
        return false;
    if (imgBg_.Width() != imgBar_.Width() || imgBg_.Height() != imgBar_.Height())
        return false;
    common_.rect =
        plat::Rect::FromSize(common_.rect.left, common_.rect.top, imgBg_.Width(), imgBg_.Height());
    return true;
}

void CSkinProgress::SetPos(int position) {
    position_ = std::clamp(position, 0, 100);
}

void CSkinProgress::PaintWindow(plat::Canvas& canvas) {
    if (!common_.visible)
        return;
    const plat::BlendFunction opaque{255, true};
    plat::AlphaBlend(canvas, 0, 0, imgBg_.Width(), imgBg_.Height(), imgBg_, 0, 0, imgBg_.Width(),
                     imgBg_.Height(), opaque);
    const int bar = BarWidth();
    if (bar > 0)
        plat::AlphaBlend(canvas, 0, 0, bar, imgBar_.Height(), imgBar_, 0, 0, bar, imgBar_.Height(),
                         opaque);
}

} // namespace skin
