#pragma once
// "combobox": the owner-drawn drop-down list of the language choice. The
// closed box shows the selected item's icon and text over one of four
// looks (normal, hover, open, disabled); a press opens the list in a popup
// below it, where the item under the pointer or reached with the arrows is
// highlighted and a click selects it. A changed selection notifies the
// dialog (CBN_SELCHANGE). Window thread only.

#include "skin/FontSet.h"
#include "skin/SkinControl.h"
#include "skin/SkinPopup.h"

#include <array>
#include <string>
#include <vector>

namespace skin {

class CSkinComboBox : public CSkinControl {
public:
    struct Item {
        std::wstring text;
        int icon = 0;
        int font = -1; // negative: the current language's font index
    };

    // The most items the open list shows at once.
    static constexpr int kMaxVisibleItems = 8;
    // The width of the open list's border.
    static constexpr int kBorder = 1;

    explicit CSkinComboBox(CSkinTheme* theme) : CSkinControl(theme, kTypeComboBox) {}
    ~CSkinComboBox() override;
    bool Init(const tinyxml2::XMLElement* element, const tinyxml2::XMLElement* profiles) override;
    void PaintWindow(plat::Canvas& canvas) override;

    int AddItem(const std::wstring& text, int icon, int font);
    void ResetContent();
    int GetCount() const { return static_cast<int>(items_.size()); }
    const Item& GetItem(int index) const { return items_[static_cast<std::size_t>(index)]; }
    int GetCurSel() const { return selected_; }
    // Selects without notifying (as CB_SETCURSEL); -1 clears.
    void SetCurSel(int index);
    void SetEnabled(bool enabled);
    bool IsEnabled() const { return enabled_; }

    bool IsDroppedDown() const { return popup_.IsShown(); }
    void ShowDropDown(bool show);
    // The item the open list highlights.
    int HighlightedItem() const { return highlighted_; }
    // The open list's area on the screen (empty while closed).
    plat::Rect DropDownBounds() const { return popup_.Bounds(); }
    // The look drawn now: 0 normal, 1 hover, 2 open, 3 disabled.
    int CurrentLook() const;
    std::size_t PieceCount() const { return pieces_.size(); }
    // The font of a slot: 0 N, 1 H, 2 P, 3 D.
    const CFontSet& SlotFont(int slot) const { return fonts_[static_cast<std::size_t>(slot & 3)]; }
    // Where the closed box draws its text.
    plat::Rect TextRect() const;
    int ItemHeight() const;

protected:
    plat::LRESULT WindowProc(std::uint32_t message, plat::WPARAM wParam,
                             plat::LPARAM lParam) override;
    void OnShowWindow(bool shown) override;

private:
    void PaintList(plat::Canvas& canvas);
    void OnListMessage(std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam);
    // The item at a point of the open list (popup coordinates), -1 for none.
    int ItemAtListPoint(plat::Point point) const;
    void SelectAndNotify(int index);
    void EnsureHighlightVisible();

    plat::Point textOffset_{5, 0};
    plat::Point iconOffsetItem_;
    plat::Point iconOffsetMain_;
    plat::COLORREF borderColor_ = 0;
    std::array<CFontSet, 4> fonts_; // N, H, P, D
    std::vector<plat::Bitmap> iconItem_;
    std::vector<plat::Bitmap> iconMain_;
    std::vector<plat::Bitmap> pieces_;
    std::vector<Item> items_;
    int selected_ = -1;
    int highlighted_ = -1;
    int firstVisible_ = 0;
    bool enabled_ = true;
    bool hover_ = false;
    bool tracking_ = false;
    bool pressedLook_ = false;
    CSkinPopup popup_;
};

} // namespace skin
