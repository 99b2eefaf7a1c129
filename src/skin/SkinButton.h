#pragma once
// The button family: the shared implementation (CSkinButtonTextCommon) of
// buttons drawn from a texture or four state pictures with a text label in
// the font of each state, and its members: the picture-label button, the
// text button, the toggle button, the check box and the icon button.
// Each keeps four looks (normal, hover, pressed, disabled) chosen from its
// enabled, hover and pressed flags and the platform button's pushed state,
// and takes clicks only inside its shape (transparent pixels let the click
// through to the dialog, which then moves the window). Window thread only.

#include "skin/FontSet.h"
#include "skin/SkinControl.h"
#include "skin/SkinMessages.h"
#include "skin/ThemeAttributes.h"

#include <array>
#include <vector>

namespace skin {

enum ButtonState : int { kStateNormal = 0, kStateHover = 1, kStatePressed = 2, kStateDisabled = 3 };

class CSkinButtonTextCommon : public CSkinControl {
public:
    explicit CSkinButtonTextCommon(CSkinTheme* theme);

    bool Init(const tinyxml2::XMLElement* element, const tinyxml2::XMLElement* profiles) override;

    // Reads the common attributes, the four state fonts and the text
    // offset; false when the disabled font is missing and there is no
    // profile to take it from.
    virtual bool LoadFonts(const CElementKeys& keys);
    // A texture (4 or 36 pieces) with "size", or the state pictures imgN
    // (required), imgH, imgP, imgD; the shape comes from the normal look.
    virtual bool LoadImages(const CElementKeys& keys);
    virtual void DrawItem(const DrawItemRecord& record);
    virtual void DrawBackground(int index, plat::Canvas& canvas, const plat::Rect& rect,
                                bool skipLabel);
    virtual void DrawLabel(int state, plat::Canvas& canvas, const plat::Rect& rect);
    // Selects the state's font and colour (any other state: the normal font,
    // colour unchanged).
    void SelectStateFont(plat::Canvas& canvas, int state) const;

    // Operations of the launcher.
    void SetEnabled(bool enabled);
    bool IsEnabled() const { return enabled_; }
    const std::wstring& Label() const { return label_; }

    // State read by tests and the theme check.
    bool IsPressed() const { return pressed_; }
    bool IsHover() const { return hover_; }
    bool IsPushed() const { return pushed_; }
    bool HasNoImage() const { return noImage_; }
    std::size_t PieceCount() const { return pieces_.size(); }
    const CFontSet& StateFont(int state) const { return fonts_[Slot(state)]; }
    plat::Point TextOffset() const { return textOffset_; }
    // The state drawn now.
    int CurrentState() const;
    // The width of the label in a state's font.
    int LabelWidth(int state) const;

    void PaintWindow(plat::Canvas& canvas) override;

protected:
    plat::LRESULT WindowProc(std::uint32_t message, plat::WPARAM wParam,
                             plat::LPARAM lParam) override;

    virtual void OnLButtonDown();
    virtual void OnLButtonUp();
    virtual void OnMouseMove(plat::Point point);
    virtual void OnMouseLeave();
    virtual void OnKillFocus();
    virtual void OnSetFocus();
    virtual void OnSetText(const std::wstring& text);
    // True: the point (client) takes the mouse; false: transparent.
    virtual bool OnNcHitTest(plat::Point point) const;

    // Sizes a control without pictures to its label.
    void FitToText();
    // Reads "texture" and slices it; false (logged) when it is missing or
    // has another piece count than `counts` allow.
    bool LoadTexture(const CElementKeys& keys, const char* attribute,
                     std::initializer_list<std::size_t> counts, std::vector<plat::Bitmap>* pieces);
    // The control's region from its normal look over transparent black.
    void BuildRegionFromLook();
    // Draws the label text in the state's font, single line, in `rect`.
    void DrawText(plat::Canvas& canvas, int state, plat::Rect rect, unsigned format) const;
    void Redraw() { InvalidateWindow(); }

    // While held with the capture, the pushed state follows the pointer;
    // true when it changed (the paint then waits for the next one).
    bool SyncPushedWithPointer();
    // The look a paint shows: disabled, pressed (the platform's pushed
    // state in the record), hover or normal.
    int StateOf(const DrawItemRecord& record) const;

    // The platform button: press, capture, pushed state and the click.
    void PlatformButtonDown();
    void PlatformButtonUp();
    void PlatformMouseMove();
    bool CursorOverControl() const;

    // Fonts are kept in the order H, D, N, P (the theme's order).
    static std::size_t Slot(int state);

    bool pressed_ = false;
    bool hover_ = false;
    bool enabled_ = true;
    bool pushed_ = false;
    bool tracking_ = false;
    plat::Point textOffset_{0, -1};
    std::array<plat::Bitmap, 4> images_; // N, H, P, D
    std::vector<plat::Bitmap> pieces_;
    bool ignoreText_ = false;
    std::wstring label_;
    std::array<CFontSet, 4> fonts_; // H, D, N, P
    int caseMode_ = kCaseNone;
    plat::Size size_;
    plat::Size textureSize_;
    bool noImage_ = false;
};

// "button": a picture button whose label is a picture too (its "text"
// texture, one piece per state); no fonts.
class CSkinButton : public CSkinButtonTextCommon {
public:
    using CSkinButtonTextCommon::CSkinButtonTextCommon;
    bool Init(const tinyxml2::XMLElement* element, const tinyxml2::XMLElement* profiles) override;
    void DrawLabel(int state, plat::Canvas& canvas, const plat::Rect& rect) override;

protected:
    void OnSetText(const std::wstring& text) override;

private:
    std::vector<plat::Bitmap> labelPieces_;
};

// "buttontext": the label centred in the state's font.
class CSkinButtonText : public CSkinButtonTextCommon {
public:
    using CSkinButtonTextCommon::CSkinButtonTextCommon;
    void DrawLabel(int state, plat::Canvas& canvas, const plat::Rect& rect) override;
};

// The two buttons with a checked flag, which the launcher reads, sets or
// toggles (each change repaints).
class CSkinCheckedButton : public CSkinButtonTextCommon {
public:
    using CSkinButtonTextCommon::CSkinButtonTextCommon;
    bool IsChecked() const { return checked_; }
    void SetChecked(bool checked);
    void Toggle() { SetChecked(!checked_); }

protected:
    plat::LRESULT WindowProc(std::uint32_t message, plat::WPARAM wParam,
                             plat::LPARAM lParam) override;

    bool checked_ = false;
};

// "buttoncheck": a toggle button drawn from a 4-piece texture, pressed
// while checked; no label.
class CSkinButtonCheck : public CSkinCheckedButton {
public:
    using CSkinCheckedButton::CSkinCheckedButton;
    void DrawItem(const DrawItemRecord& record) override;
};

// "checkbox": a box picture (8 pieces: each state unchecked and checked)
// with the label beside it.
class CSkinCheckBox : public CSkinCheckedButton {
public:
    using CSkinCheckedButton::CSkinCheckedButton;
    bool Init(const tinyxml2::XMLElement* element, const tinyxml2::XMLElement* profiles) override;
    void DrawItem(const DrawItemRecord& record) override;
    // The state font of the label: normal uses P checked and D unchecked,
    // pressed H, hover P, disabled D.
    int LabelFontState(int state) const;

protected:
    void OnSetText(const std::wstring& text) override;
};

// "buttonicontext": a text button with an icon (one piece per state) beside
// the label, or stretched over the width with "iconAlign".
class CSkinIconButtonText : public CSkinButtonTextCommon {
public:
    using CSkinButtonTextCommon::CSkinButtonTextCommon;
    bool Init(const tinyxml2::XMLElement* element, const tinyxml2::XMLElement* profiles) override;
    void DrawLabel(int state, plat::Canvas& canvas, const plat::Rect& rect) override;

    // Where the icon and the label go in a state (client coordinates).
    struct Layout {
        plat::Rect icon;
        plat::Rect label;
    };
    Layout LayoutFor(int state, const plat::Rect& rect) const;

private:
    std::vector<plat::Bitmap> iconPieces_;
    int iconBorder_ = 0;
    std::string textAlign_;
    std::string iconAlign_;
};

} // namespace skin
