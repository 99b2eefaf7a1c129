#pragma once
// One step (page) of the dialog: its background picture, the window shape
// of each size variant (computed once, from the picture's alpha), the
// bottom strip redrawn at the bottom of a shortened window, and the
// controls the step holds, in document order. Window thread only.

#include "platform/Bitmap.h"
#include "skin/SkinControl.h"
#include "skin/SkinElement.h"
#include "skin/SkinTheme.h"

#include <memory>
#include <vector>

namespace skin {

class ISkinForm : public ISkinable {
public:
    virtual int GetNum() const = 0;
    virtual const plat::Bitmap& GetImage() const = 0;
    virtual int GetControlCount() const = 0;
    // Null for an index out of range.
    virtual CSkinControl* GetControl(int index) const = 0;
    // Takes the size and shape of variant `index`; nothing for an index
    // outside the variants.
    virtual void SetSize(int index) = 0;
    virtual const plat::Bitmap& GetImageDown() const = 0;
    virtual int GetDown() const = 0;
    virtual plat::Size GetSize() const = 0;
};

// Makes the control an element name names ("button", "text", ...); null for
// any other name.
std::unique_ptr<CSkinControl> MakeControl(const char* elementName, CSkinTheme* theme);

class CSkinForm : public ISkinForm {
public:
    explicit CSkinForm(CSkinTheme* theme);

    bool Init(const tinyxml2::XMLElement* element, const tinyxml2::XMLElement* profiles) override;
    plat::Rect GetRect() const override { return common_.rect; }
    CSkinWindow* GetWindow() override { return nullptr; }
    int GetType() const override { return kTypeForm; }
    const plat::Region& GetRegion() const override { return common_.region; }
    bool SetAlpha(std::uint8_t alpha) override;
    std::string GetName() const override { return common_.name; }
    bool IsVisible() const override { return common_.visible; }
    void SetVisible(bool visible) override { common_.visible = visible; }
    // Reads the background pictures again (language variants), then every
    // control's.
    void ReloadImages() override;

    int GetNum() const override { return num_; }
    const plat::Bitmap& GetImage() const override { return image_; }
    int GetControlCount() const override { return static_cast<int>(controls_.size()); }
    CSkinControl* GetControl(int index) const override;
    void SetSize(int index) override;
    const plat::Bitmap& GetImageDown() const override { return imageDown_; }
    int GetDown() const override { return down_; }
    plat::Size GetSize() const override { return size_; }

    int VariantCount() const { return static_cast<int>(variants_.size()); }
    plat::Size Variant(int index) const { return variants_[static_cast<std::size_t>(index)]; }
    const plat::Region& VariantRegion(int index) const {
        return variantRegions_[static_cast<std::size_t>(index)];
    }
    // Paints the background inside `update` (form coordinates).
    void Draw(plat::Canvas& canvas, const plat::Rect& update) const;

private:
    void LoadBackground();

    CSkinTheme* theme_;
    CSkinCommon common_;
    std::vector<plat::Size> variants_;
    std::vector<plat::Region> variantRegions_;
    plat::Bitmap image_;
    plat::Bitmap imageDown_;
    const tinyxml2::XMLElement* element_ = nullptr;
    int down_ = 0;
    int num_ = -1;
    plat::Size size_;
    std::vector<std::unique_ptr<CSkinControl>> controls_;
};

} // namespace skin
