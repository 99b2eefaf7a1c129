#pragma once
// "edit": a one-line input field (the message box's address entry). The
// platform's edit field is emulated here: a text with a caret and a
// selection, typing, Backspace and Delete, the arrows, Home and End (with
// Shift to select), Ctrl+A, selection with the mouse, and the text scrolled
// sideways to keep the caret in view. Its colours come from the dialog's
// colour request, which the dialog hands back to the edit. Window thread
// only.

#include "skin/FontSet.h"
#include "skin/SkinControl.h"

#include <string>

namespace skin {

class CSkinEdit : public CSkinControl {
public:
    explicit CSkinEdit(CSkinTheme* theme) : CSkinControl(theme, kTypeEdit) {}
    bool Init(const tinyxml2::XMLElement* element, const tinyxml2::XMLElement* profiles) override;
    void PaintWindow(plat::Canvas& canvas) override;

    const std::wstring& Text() const { return WindowText(); }
    // The selection as character positions (start <= end); equal when
    // nothing is selected; the caret is at `caret`.
    int SelectionStart() const { return std::min(anchor_, caret_); }
    int SelectionEnd() const { return std::max(anchor_, caret_); }
    int Caret() const { return caret_; }
    // Pixels of text scrolled out on the left.
    int ScrollOffset() const { return scroll_; }
    void SetSelection(int anchor, int caret);
    std::wstring SelectedText() const;
    plat::COLORREF TextColour() const { return fontColor_; }
    plat::COLORREF BackgroundColour() const { return bgColor_; }

    // The left margin of the text, in pixels.
    static constexpr int kMargin = 3;

protected:
    plat::LRESULT WindowProc(std::uint32_t message, plat::WPARAM wParam,
                             plat::LPARAM lParam) override;

private:
    std::shared_ptr<const plat::Font> EditFont() const;
    void ReplaceSelection(const std::wstring& text);
    void MoveCaret(int position, bool extend);
    // The character boundary nearest to x (client).
    int PositionAt(int x) const;
    int PixelOffset(int position) const;
    void KeepCaretVisible();
    void OnKeyDown(plat::WPARAM key);
    void OnChar(wchar_t c);

    CFontSet font_;
    plat::COLORREF bgColor_ = plat::RGB(255, 255, 255);
    plat::COLORREF fontColor_ = plat::RGB(0, 0, 0);
    int caret_ = 0;
    int anchor_ = 0;
    int scroll_ = 0; // pixels of text hidden on the left
    bool shift_ = false;
    bool control_ = false;
    bool focused_ = false;
};

} // namespace skin
