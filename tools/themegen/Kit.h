#pragma once
// The look both generated themes share: the palette, the fonts, the
// control textures (buttons, check boxes, the combo box, scroll bars,
// progress bars, icons, toggles), panels and the landscape art, and the
// profiles every control refers to. Build-time only.

#include "Paint.h"
#include "XmlOut.h"

#include <map>
#include <string>
#include <vector>

namespace themegen {

// The palette.
namespace palette {
constexpr Colour kWindow = Rgb(19, 22, 31);
constexpr Colour kHeader = Rgb(15, 17, 25);
constexpr Colour kFooter = Rgb(15, 17, 24);
constexpr Colour kDivider = Rgb(39, 44, 60);
constexpr Colour kPanel = Rgb(27, 31, 43);
constexpr Colour kPanelEdge = Rgb(46, 52, 71);
constexpr Colour kField = Rgb(13, 15, 22);
constexpr Colour kText = Rgb(236, 239, 245);
constexpr Colour kBody = Rgb(203, 209, 222);
constexpr Colour kMuted = Rgb(138, 148, 170);
constexpr Colour kFaint = Rgb(96, 104, 124);
constexpr Colour kAccent = Rgb(255, 178, 62);
constexpr Colour kAccentDeep = Rgb(240, 128, 32);
constexpr Colour kOnAccent = Rgb(34, 22, 8);
constexpr Colour kDanger = Rgb(226, 78, 80);
} // namespace palette

// The colour as a theme attribute ("r,g,b").
std::string ThemeColour(Colour c);

enum class ButtonKind { Primary, Secondary, Danger };

// The files of one theme: paths ("\"-separated, relative to the theme
// folder) and their bytes.
struct ThemeFiles {
    std::map<std::string, std::string> files;
    void AddPng(const std::string& path, const plat::Bitmap& bitmap);
    void AddText(const std::string& path, const std::string& text) { files[path] = text; }
};

// Fonts the generator draws with (the themes name the same faces).
const std::shared_ptr<const plat::Font>& GenFont(int emPixels, bool bold);

// Button looks and textures.
plat::Bitmap ButtonLook(ButtonKind kind, int state, int width, int height);
plat::Bitmap ButtonTexture(ButtonKind kind, int height);
// A round button (help "?") of that diameter: 4 pieces.
plat::Bitmap RoundButtonTexture(int diameter);
// A segmented toggle with its label drawn in (the language buttons): 4
// pieces, the pressed one doubling as the checked look.
plat::Bitmap ToggleTexture(const std::wstring& label, int width, int height);
// The close button's pictures over the background it sits on (N, H, P).
std::vector<plat::Bitmap> CloseImages(const plat::Bitmap& background, int x, int y, int side);
// Check box: 8 pieces of `side` pixels.
plat::Bitmap CheckBoxTexture(int side);
// Combo box: closed box looks and the list items (6 pieces).
plat::Bitmap ComboTexture(int width, int height, int itemHeight);
// The language badges of the combo box (one piece per icon index).
plat::Bitmap LanguageBadges(const std::vector<std::wstring>& codes, int width, int height);
// Scroll bar: 8 pieces for a track `trackHeight` high.
plat::Bitmap ScrollTexture(int width, int trackHeight);
// Progress track and bar of one size.
plat::Bitmap ProgressTrack(int width, int height);
plat::Bitmap ProgressBar(int width, int height);
// The waiting animation's track and sweeping bar.
plat::Bitmap RangeTrack(int width, int height);
plat::Bitmap RangeBar(int width, int height);
// Icons for icon buttons, one piece per state: a folder, a play triangle.
plat::Bitmap FolderIconTexture(int side);
plat::Bitmap PlayIconTexture(int side);
// A panel surface (list frames, cards, fields).
plat::Bitmap Panel(int width, int height, int radius, Colour fill, Colour edge);
// A field drawn over the part of the background it covers, so it is
// opaque everywhere (a text's background picture is copied, not blended).
plat::Bitmap FieldOver(const plat::Bitmap& background, int x, int y, int width, int height);
// The warning sign of error boxes.
plat::Bitmap WarningSign(int side);
// The step-number pill.
plat::Bitmap StepPill(int width, int height);
// The selection highlight of list items.
plat::Bitmap ListHighlight(int width, int height);

// The landscape art: a dusk sky, a sun with its glow, stars and three
// mountain ranges, painted over the rectangle.
void PaintLandscape(plat::Bitmap& bitmap, int x, int y, int width, int height, int horizon,
                    double sunX, unsigned seed);
// The emblem of the caption line.
void PaintEmblem(plat::Bitmap& bitmap, int x, int y, int side);
// Rounds the corners of the whole bitmap (alpha), as the window shape.
void RoundWindow(plat::Bitmap& bitmap, int radius);
// A tagline picture in the language: one or two lines, the font shrunk
// until the widest line fits.
plat::Bitmap Tagline(const std::vector<std::wstring>& lines, int width, int height, int em);

// The profiles both themes use.
XmlElement Profiles();

} // namespace themegen
