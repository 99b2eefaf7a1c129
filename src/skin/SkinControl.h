#pragma once
// The base of every skinned control: the element data (CSkinCommon), the
// control window (CSkinWindow) and the theme it was loaded from, with the
// drawing helpers all controls share. Window thread only.

#include "platform/Bitmap.h"
#include "platform/Canvas.h"
#include "skin/SkinElement.h"
#include "skin/SkinTheme.h"
#include "skin/SkinWindow.h"

#include <string>

namespace skin {

class CSkinControl : public ISkinable, public CSkinWindow {
public:
    CSkinControl(CSkinTheme* theme, int type);

    plat::Rect GetRect() const override { return common_.rect; }
    CSkinWindow* GetWindow() override { return this; }
    int GetType() const override { return common_.type; }
    const plat::Region& GetRegion() const override { return common_.region; }
    bool SetAlpha(std::uint8_t alpha) override;
    std::string GetName() const override { return common_.name; }
    bool IsVisible() const override { return common_.visible; }
    // Sets the visible flag; the dialog shows or hides the window when the
    // control is on the page shown now.
    void SetVisible(bool visible) override;

    // The window class and style bits of the control's window, by its type.
    std::wstring WindowClassName() const;
    std::uint32_t WindowStyle() const;
    // Creates the control's window at its rectangle with the id of its
    // function name.
    virtual bool CreateWindowIn(ISkinWindowHost* host);
    const CSkinTheme& Theme() const { return *theme_; }

protected:
    // Draws the picture over `target` (stretched when the sizes differ)
    // with its own alpha and the element's opacity.
    void DrawImage(plat::Canvas& canvas, const plat::Bitmap& image, const plat::Rect& target) const;
    // The font of the current language in the set.
    std::shared_ptr<const plat::Font> FontOf(const class CFontSet& set) const;

    CSkinTheme* theme_;
    CSkinCommon common_;
};

} // namespace skin
