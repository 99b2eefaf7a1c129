#include "skin/SkinControl.h"

#include "skin/FontSet.h"
#include "skin/SkinMessages.h"

namespace skin {

CSkinControl::CSkinControl(CSkinTheme* theme, int type) : theme_(theme) {
    common_.type = type;
}

bool CSkinControl::SetAlpha(std::uint8_t alpha) {
    if (alpha == common_.opacity)
        return false;
    common_.opacity = alpha;
    InvalidateWindow();
    return true;
}

void CSkinControl::SetVisible(bool visible) {
    common_.visible = visible;
    if (Host())
        Host()->OnVisibleFlagChanged(this, visible);
}

std::wstring CSkinControl::WindowClassName() const {
    switch (common_.type) {
    case kTypeButton:
        return L"BUTTON";
    case kTypeScrollBar:
        return L"SCROLLBAR";
    case kTypeEdit:
        return L"EDIT";
    case kTypeListBox:
        return L"SysListView32";
    case kTypeComboBox:
        return L"COMBOBOX";
    default:
        return L"STATIC";
    }
}

std::uint32_t CSkinControl::WindowStyle() const {
    const std::uint32_t base = WS_CHILD | WS_VISIBLE;
    switch (common_.type) {
    case kTypeButton:
        return base | WS_TABSTOP | BS_OWNERDRAW;
    case kTypeSprite:
    case kTypeText:
    case kTypeSpriteRange:
    case kTypeListBox:
        return base;
    case kTypeScrollBar:
        return base | WS_GROUP | SBS_VERT;
    case kTypeEdit:
        return base | WS_TABSTOP | ES_WANTRETURN | ES_AUTOHSCROLL;
    case kTypeComboBox:
        return base | CBS_HASSTRINGS | CBS_OWNERDRAWVARIABLE | CBS_DROPDOWNLIST;
    default:
        return base | SS_CENTER;
    }
}

bool CSkinControl::CreateWindowIn(ISkinWindowHost* host) {
    return CreateControlWindow(host, WindowClassName(), ControlIdFromName(common_.name),
                               common_.rect, WindowStyle());
}

void CSkinControl::DrawImage(plat::Canvas& canvas, const plat::Bitmap& image,
                             const plat::Rect& target) const {
    if (image.IsEmpty() || target.Width() <= 0 || target.Height() <= 0)
        return;
    plat::AlphaBlend(canvas, target.left, target.top, target.Width(), target.Height(), image, 0, 0,
                     image.Width(), image.Height(), plat::BlendFunction{common_.opacity, true});
}

std::shared_ptr<const plat::Font> CSkinControl::FontOf(const CFontSet& set) const {
    return set.Get(theme_->FontIndex());
}

} // namespace skin
