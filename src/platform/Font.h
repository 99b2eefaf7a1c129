#pragma once
// Fonts and text, standing in for the platform's font objects and text
// calls. A font is described as Windows describes one (height, weight,
// italic, underline, face name) and resolved once, when it is made: fonts
// this process registered privately come first, then the face name mapped
// onto an installed font that keeps its metrics (Arial -> Liberation Sans,
// Times New Roman -> Liberation Serif, Courier New -> Liberation Mono,
// Verdana -> DejaVu Sans, ...), then the name as it stands, then DejaVu
// Sans, then whatever the system's font matching offers. Heights follow the
// Windows rules: a negative height is the em height in pixels, a positive
// one the cell height (ascent plus descent), 0 a default cell height of 16
// pixels. A weight or slant the face lacks is synthesised. Text is one line:
// no line breaks, no kerning, each character advancing by its rounded
// width, as the Windows calls lay out a line.
// Fonts may be made and used on any thread; one font object serialises its
// own use.

#include "platform/Canvas.h"
#include "platform/Geometry.h"

#include <cstdint>
#include <memory>
#include <string>

namespace plat {

// The LOGFONTW fields the launcher sets.
struct LogFont {
    int height = 0;
    int weight = 0; // 0 means normal (400); 700 is bold
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    std::wstring faceName;
};

// The TEXTMETRICW fields the launcher reads.
struct TextMetrics {
    int height = 0; // ascent + descent
    int ascent = 0;
    int descent = 0;
    int internalLeading = 0; // height - em height
    int averageCharWidth = 0;
    int weight = 0;
    bool italic = false;
};

class Font {
public:
    // CreateFontIndirectW. Null (last error 2) only when no font at all can
    // be found on the system.
    static std::shared_ptr<const Font> Create(const LogFont& description);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    const LogFont& Description() const;
    // The family and file the description resolved to (for logs and tests).
    std::string FamilyName() const;
    std::string FilePath() const;
    TextMetrics Metrics() const;
    // GetTextExtentPoint32W: width of the line, height of the font's cell.
    Size TextExtent(const std::wstring& text) const;

    class Impl;
    explicit Font(std::unique_ptr<Impl> impl);
    Impl& Internal() const { return *impl_; }

private:
    std::unique_ptr<Impl> impl_;
};

// DrawTextW format flags (the ones a single line uses).
enum DrawTextFormat : unsigned {
    DT_LEFT = 0x0,
    DT_TOP = 0x0,
    DT_CENTER = 0x1,
    DT_RIGHT = 0x2,
    DT_VCENTER = 0x4,
    DT_BOTTOM = 0x8,
    DT_SINGLELINE = 0x20,
    DT_NOCLIP = 0x100,
    DT_CALCRECT = 0x400,
    DT_NOPREFIX = 0x800,
    DT_END_ELLIPSIS = 0x8000,
};

// GetTextExtentPoint32W with the canvas's selected font (the default font
// when none is selected).
Size GetTextExtent(const Canvas& canvas, const std::wstring& text);
bool GetTextMetrics(const Canvas& canvas, TextMetrics* metrics);
// DrawTextW for one line: aligned in `rect` by the format, clipped to it
// unless DT_NOCLIP; with DT_END_ELLIPSIS a line wider than the rectangle is
// cut at a character and ends in "..." so that it fits; with DT_CALCRECT
// nothing is drawn and the rectangle's right and bottom are set to the
// line's extent. The text colour, background mode and colour of the canvas
// apply (an opaque background fills the line's box). Returns the line's
// height, 0 on failure.
int DrawText(Canvas& canvas, const std::wstring& text, Rect* rect, unsigned format);
// ExtTextOutW without options: the line at (x, y) placed by the canvas's
// text alignment.
bool TextOut(Canvas& canvas, int x, int y, const std::wstring& text);
// The text as DT_END_ELLIPSIS would show it within `width` pixels.
std::wstring EllipsizeText(const Font& font, const std::wstring& text, int width);

// AddFontResourceExW with FR_PRIVATE | FR_NOT_ENUM: the faces of the file
// become available to this process's fonts (nobody else sees them). Returns
// the number of faces added; 0 on failure (last error set: 2 missing file,
// 13 not a font).
int AddPrivateFont(const std::wstring& path);
// RemoveFontResourceExW: fonts made afterwards no longer find the file's
// faces (fonts already made keep theirs). False (2) when it was not added.
bool RemovePrivateFont(const std::wstring& path);

// The font used when a canvas has none selected (the dialog font, Tahoma 8
// points mapped like any other).
std::shared_ptr<const Font> DefaultFont();

} // namespace plat
