#include "skin/SkinForm.h"

#include "skin/SkinButton.h"
#include "skin/SkinComboBox.h"
#include "skin/SkinEdit.h"
#include "skin/SkinImage.h"
#include "skin/SkinListBox.h"
#include "skin/SkinStatic.h"
#include "skin/ThemeAttributes.h"

#include <tinyxml2.h>

#include <cstring>
#include <string>

namespace skin {

std::unique_ptr<CSkinControl> MakeControl(const char* name, CSkinTheme* theme) {
    auto is = [&](const char* candidate) { return std::strcmp(name, candidate) == 0; };
    if (is("button"))
        return std::make_unique<CSkinButton>(theme);
    if (is("buttontext"))
        return std::make_unique<CSkinButtonText>(theme);
    if (is("buttoncheck"))
        return std::make_unique<CSkinButtonCheck>(theme);
    if (is("combobox"))
        return std::make_unique<CSkinComboBox>(theme);
    if (is("checkbox"))
        return std::make_unique<CSkinCheckBox>(theme);
    if (is("buttonicontext"))
        return std::make_unique<CSkinIconButtonText>(theme);
    if (is("edit"))
        return std::make_unique<CSkinEdit>(theme);
    if (is("text"))
        return std::make_unique<CSkinText>(theme);
    if (is("sprite"))
        return std::make_unique<CSkinSprite>(theme);
    if (is("spriteRange"))
        return std::make_unique<CSkinSpriteRange>(theme);
    if (is("progress"))
        return std::make_unique<CSkinProgress>(theme);
    if (is("listbox"))
        return std::make_unique<CSkinListBox>(theme);
    return nullptr;
}

CSkinForm::CSkinForm(CSkinTheme* theme) : theme_(theme) {
    common_.type = kTypeForm;
}

bool CSkinForm::SetAlpha(std::uint8_t alpha) {
    if (alpha == common_.opacity)
        return false;
    common_.opacity = alpha;
    return true;
}

CSkinControl* CSkinForm::GetControl(int index) const {
    if (index < 0 || index >= GetControlCount())
        return nullptr;
    return controls_[static_cast<std::size_t>(index)].get();
}

void CSkinForm::LoadBackground() {
    theme_->LoadThemeImage(element_, "img", &image_, false);
    theme_->LoadThemeImage(element_, "imgDown", &imageDown_, false);
}

bool CSkinForm::Init(const tinyxml2::XMLElement* element, const tinyxml2::XMLElement* profiles) {
    element_ = element;
    common_.ReadCommonAttributes(element);
    if (!ReadInt(element, "num", &num_)) {
        num_ = -1;
        return false;
    }
    if (theme_->LoadThemeImage(element, "img", &image_, false)) {
        const int width = image_.Width(), height = image_.Height();
        size_ = plat::Size{width, height};
        theme_->LoadThemeImage(element, "imgDown", &imageDown_, false);
        ReadSizeInt(element, "down", &down_);
        for (int index = 0;; ++index) {
            // A side below 1 skips the variant; only a missing or malformed
            // pair ends the list.
            plat::Point pair;
            const std::string name = "size" + std::to_string(index);
            if (!ReadPoint(element, name.c_str(), &pair))
                break;
            const plat::Size variant{pair.x, pair.y};
            if (variant.cx > width || variant.cy > height || variant.cx < 1 || variant.cy < 1)
                continue;
            variants_.push_back(variant);
        }
        plat::Region shape;
        if (!theme_->useAlpha || RegionFromAlpha(image_, theme_->alphaSense, &shape)) {
            for (const plat::Size& variant : variants_) {
                plat::Region moved = shape;
                moved.Offset(0, -(height - variant.cy));
                plat::Region region = shape.Intersect(moved);
                if (variant.cx != width) {
                    plat::Region left = region;
                    left.Offset(-(width - variant.cx), 0);
                    region = region.Intersect(left);
                }
                variantRegions_.push_back(std::move(region));
            }
        } else {
            variants_.clear();
        }
        common_.rect.right = common_.rect.left + width;
        common_.rect.bottom = common_.rect.top + height;
    }
    for (const tinyxml2::XMLElement* child = element->FirstChildElement(); child;
         child = child->NextSiblingElement()) {
        std::unique_ptr<CSkinControl> control = MakeControl(child->Name(), theme_);
        if (control && control->Init(child, profiles))
            controls_.push_back(std::move(control));
    }
    return true;
}

void CSkinForm::ReloadImages() {
    LoadBackground();
    for (const auto& control : controls_)
        control->ReloadImages();
}

void CSkinForm::SetSize(int index) {
    if (index < 0 || index >= VariantCount())
        return;
    size_ = variants_[static_cast<std::size_t>(index)];
    common_.rect.right = size_.cx;
    common_.rect.bottom = size_.cy;
    common_.region = variantRegions_[static_cast<std::size_t>(index)];
}

void CSkinForm::Draw(plat::Canvas& canvas, const plat::Rect& update) const {
    if (image_.IsEmpty())
        return;
    const plat::Rect part = image_.Bounds().Intersect(update);
    if (!part.IsEmpty())
        plat::BitBlt(canvas, part.left, part.top, part.Width(), part.Height(), image_, part.left,
                     part.top);
    if (down_ > 0 && down_ <= image_.Height())
        plat::BitBlt(canvas, 0, size_.cy - down_, image_.Width(), down_, image_, 0,
                     image_.Height() - down_);
}

} // namespace skin
