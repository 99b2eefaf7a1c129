#pragma once
// "listbox": a list of single-line text items (the terms, the message-box
// text, the results) with a vertical scroll bar of its own
// (CSkinScrollBar, the "scroll" child) that shows only while the items do
// not fit. The list keeps a top index moved by the scroll bar, the keys and
// the wheel; a click selects an item. Window thread only.

#include "skin/FontSet.h"
#include "skin/SkinControl.h"

#include <array>
#include <string>
#include <vector>

namespace skin {

class CSkinListBox;

class CSkinScrollBar : public CSkinControl {
public:
    enum Part : int { kNone = 0, kUp, kDown, kThumb, kPageUp, kPageDown };
    // The auto-repeat timer of a held button or track.
    static constexpr std::uint64_t kRepeatTimer = 1000;
    static constexpr unsigned kRepeatMs = 100;

    CSkinScrollBar(CSkinTheme* theme, CSkinListBox* list)
        : CSkinControl(theme, kTypeScrollBar), list_(list) {}
    bool Init(const tinyxml2::XMLElement* element, const tinyxml2::XMLElement* profiles) override;
    void PaintWindow(plat::Canvas& canvas) override;

    // SetScrollInfo: the range and position (position clamped into it).
    void SetRange(int minimum, int maximum, bool redraw);
    void SetPos(int position, bool redraw);
    int GetPos() const { return position_; }
    int Minimum() const { return minimum_; }
    int Maximum() const { return maximum_; }

    // Geometry in the bar's own coordinates.
    plat::Rect UpButton() const;
    plat::Rect Track() const;
    plat::Rect DownButton() const;
    // The thumb at the current position (empty when it cannot move).
    plat::Rect Thumb() const;
    int Travel() const;
    int ThumbTopFor(int position) const;
    int PositionForThumbTop(int top) const;
    Part HeldPart() const { return held_; }
    std::size_t PieceCount() const { return pieceCount_; }

protected:
    plat::LRESULT WindowProc(std::uint32_t message, plat::WPARAM wParam,
                             plat::LPARAM lParam) override;

private:
    void Command(int code, int position = 0);
    void OnLButtonDown(plat::Point point);
    void OnMouseMove(plat::Point point);
    void OnLButtonUp();
    void OnRepeat();

    CSkinListBox* list_;
    // Up N, H, P; down N, H, P; track; thumb.
    std::array<plat::Bitmap, 8> images_;
    std::size_t pieceCount_ = 0;
    int minimum_ = 0;
    int maximum_ = 0;
    int position_ = 0;
    Part held_ = kNone;
    int dragOffset_ = 0;
    int dragTop_ = 0;
    plat::Point lastPoint_;
};

class CSkinListBox : public CSkinControl {
public:
    explicit CSkinListBox(CSkinTheme* theme) : CSkinControl(theme, kTypeListBox) {}
    ~CSkinListBox() override;
    bool Init(const tinyxml2::XMLElement* element, const tinyxml2::XMLElement* profiles) override;
    bool CreateWindowIn(ISkinWindowHost* host) override;
    void PaintWindow(plat::Canvas& canvas) override;

    void AddItem(const std::wstring& text);
    void DeleteAllItems();
    int GetItemCount() const { return static_cast<int>(items_.size()); }
    const std::wstring& GetItem(int index) const { return items_[static_cast<std::size_t>(index)]; }
    int GetTopIndex() const { return top_; }
    int GetSelected() const { return selected_; }
    int RowHeight() const { return rowHeight_; }
    int RowsPerPage() const;
    int MaxCharsInLine() const { return maxCharsInLine_; }
    const CFontSet& Font() const { return font_; }
    // The room of an item's text, in pixels.
    int TextRoom() const;
    CSkinScrollBar* ScrollBar() const { return scroll_.get(); }

    // A command of the scroll bar (SB_...); the position for the thumb ones.
    void OnScrollCommand(int code, int position);

    // The text margin left and right of an item.
    static constexpr int kTextMargin = 4;

protected:
    plat::LRESULT WindowProc(std::uint32_t message, plat::WPARAM wParam,
                             plat::LPARAM lParam) override;
    void OnShowWindow(bool shown) override;

private:
    // The scroll bar after the items changed: hidden while everything fits,
    // else shown with the new range and the list back at the top.
    void ItemsChanged();
    void SetTop(int top, bool moveBar);
    int MaxTop() const;
    bool BarNeeded() const { return RowsPerPage() < GetItemCount(); }
    bool OnKeyDown(plat::WPARAM key);

    CFontSet font_;
    plat::Bitmap imgItemH_;
    plat::COLORREF fontColor_ = plat::RGB(0, 0, 0);
    plat::COLORREF fontColorH_ = plat::RGB(0, 0, 0);
    std::string align_;
    int maxCharsInLine_ = 0;
    int rowHeight_ = 16;
    std::unique_ptr<CSkinScrollBar> scroll_;
    std::vector<std::wstring> items_;
    int top_ = 0;
    int selected_ = -1;
};

} // namespace skin
