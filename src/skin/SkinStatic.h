#pragma once
// The static controls: a line of text (CSkinText), a picture (CSkinSprite),
// a bar sweeping back and forth over a track (CSkinSpriteRange, the waiting
// animation) and a progress bar (CSkinProgress). Window thread only.

#include "skin/FontSet.h"
#include "skin/SkinControl.h"

#include <string>

namespace skin {

// "text": one line in its own font and colour, optionally over a picture
// or a background colour, aligned left, centred or right and at the top or
// centred vertically.
class CSkinText : public CSkinControl {
public:
    explicit CSkinText(CSkinTheme* theme) : CSkinControl(theme, kTypeText) {}
    bool Init(const tinyxml2::XMLElement* element, const tinyxml2::XMLElement* profiles) override;
    void PaintWindow(plat::Canvas& canvas) override;

    const std::wstring& Label() const { return label_; }
    const CFontSet& Font() const { return font_; }
    // The width the label takes in the current language's font.
    int LabelWidth() const;
    // The room the label has: the client width, less the left margin for a
    // left-aligned label.
    int LabelRoom() const;

protected:
    plat::LRESULT WindowProc(std::uint32_t message, plat::WPARAM wParam,
                             plat::LPARAM lParam) override;

private:
    CFontSet font_;
    std::wstring label_;
    bool transparentBg_ = false;
    std::string align_;
    std::string alignVertical_;
    plat::COLORREF fontColor_ = plat::RGB(255, 255, 255);
    plat::COLORREF bgColor_ = plat::RGB(0, 0, 0);
    plat::Point borderLR_;
    bool bgClip_ = false;
    plat::Bitmap imgBg_;
};

// "sprite": a picture at its own size; pictures that differ by language are
// read again when the language changes.
class CSkinSprite : public CSkinControl {
public:
    explicit CSkinSprite(CSkinTheme* theme) : CSkinControl(theme, kTypeSprite) {}
    bool Init(const tinyxml2::XMLElement* element, const tinyxml2::XMLElement* profiles) override;
    void ReloadImages() override;
    void PaintWindow(plat::Canvas& canvas) override;
    const plat::Bitmap& Image() const { return image_; }

private:
    void LoadImage();

    const tinyxml2::XMLElement* element_ = nullptr;
    plat::Bitmap image_;
};

// "spriteRange": a bar sweeping over a track, driven by the dialog's
// animation position.
class CSkinSpriteRange : public CSkinControl {
public:
    explicit CSkinSpriteRange(CSkinTheme* theme) : CSkinControl(theme, kTypeSpriteRange) {}
    bool Init(const tinyxml2::XMLElement* element, const tinyxml2::XMLElement* profiles) override;
    void PaintWindow(plat::Canvas& canvas) override;

    // The travel range: the track's width less the bar's.
    int Range() const { return range_; }
    void SetPosition(int position) { position_ = position; }
    int Position() const { return position_; }
    // Where the bar starts for a position: it sweeps 0 .. range and back.
    static int BarOffset(int position, int range);

private:
    plat::Bitmap imgBg_;
    plat::Bitmap imgBar_;
    int range_ = 0;
    int position_ = 0;
};

// "progress": a track and, over its left part, the bar (position 0..100).
class CSkinProgress : public CSkinControl {
public:
    explicit CSkinProgress(CSkinTheme* theme) : CSkinControl(theme, kTypeProgress) {}
    bool Init(const tinyxml2::XMLElement* element, const tinyxml2::XMLElement* profiles) override;
    void PaintWindow(plat::Canvas& canvas) override;

    // Clamped to 0..100; the caller repaints.
    void SetPos(int position);
    int GetPos() const { return position_; }
    // The bar's width in pixels for the position.
    int BarWidth() const { return position_ * imgBar_.Width() / 100; }

private:
    plat::Bitmap imgBg_;
    plat::Bitmap imgBar_;
    int position_ = 0;
};

} // namespace skin
