#pragma once
// The two themes the launcher ships: the multi-page wizard (theme_default)
// and the single install page (theme_single). Each is a document and its
// pictures, all drawn here. Build-time only.

#include "Kit.h"

namespace themegen {

// The language codes the distribution ships, with their tagline texts.
struct LanguageArt {
    std::string code;
    std::wstring badge;
    std::vector<std::wstring> tagline;
};
const std::vector<LanguageArt>& Languages();

ThemeFiles DefaultTheme();
ThemeFiles SingleTheme();

// Helpers for the documents.
XmlElement Control(const std::string& element, const std::string& func, int x, int y);
XmlElement Sized(const std::string& element, const std::string& func, int x, int y, int w, int h);
// A control of that element with a profile.
XmlElement Profiled(const std::string& element, const std::string& func, int x, int y, int w, int h,
                    const std::string& profile);
XmlElement TextAt(const std::string& func, int x, int y, int w, int h, const std::string& profile);
XmlElement Sprite(const std::string& image, int x, int y, const std::string& func = "");
XmlElement CheckBox(const std::string& func, int x, int y, int width);
// A list box with its scroll bar right of it.
XmlElement ListBox(const std::string& func, int x, int y, int w, int h, const std::string& scroll,
                   int maxChars);
// The close button; its pictures ("controls\<name>_n.png", _h, _p) carry
// the background under them.
XmlElement Close(const std::string& name, int x, int y);
// The close button's pictures cut from the background.
void AddClose(ThemeFiles& files, const std::string& name, const plat::Bitmap& background, int x,
              int y);
// A footer button by its slot counted from the right (0 = rightmost).
using FooterButtonMaker = XmlElement (*)(const std::string& func, int slot,
                                         const std::string& profile);
// The message box's controls: the error sign, the plain and the error
// lists (the error list beside the sign), the address entry with its
// caption at `editTop`, the link below it, and the five buttons in two
// footer slots (at most two show at once).
void AddMessageBox(XmlElement& step, int left, int top, int width, int listHeight, int editTop,
                   const std::string& scroll, FooterButtonMaker footer);
// The document's root: the common settings and the profiles.
XmlElement ThemeRoot(bool singlePage);
// The control pictures both themes share: buttons, the round help
// button, check box, combo box, language badges, list highlight, and the
// language toggles at the given size.
void AddSharedControls(ThemeFiles& files, int toggleWidth, int toggleHeight);
// The language pictures of one tagline, under "art\".
void AddTaglines(ThemeFiles& files, const std::string& name, int width, int height, int em);

} // namespace themegen
