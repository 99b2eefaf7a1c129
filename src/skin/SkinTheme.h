#pragma once
// What every element of a loaded theme shares: where its pictures come from
// (the resource archive and the theme's folder in it), the language prefix
// of pictures that differ by language, the font index of the current
// language, the window-shape settings, the animation position, the button
// hit-region threshold, the language strings the dialog shows itself, and
// the launcher log for load problems. One per dialog; the window thread
// writes it, and the dialog and its controls read it while they load, draw
// and react.

#include "platform/Bitmap.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tinyxml2 {
class XMLElement;
}
namespace config {
class IMemberSource;
}
class CLogImplW;

namespace skin {

class CSkinTheme {
public:
    using StringLookup = std::function<std::wstring(int id)>;

    // The archive members and the theme's folder in it, ending in "\".
    void SetSource(const config::IMemberSource* members, std::string themeFolder);
    const std::string& ThemeFolder() const { return themeFolder_; }
    // The prefix of pictures that differ by language ("ru_"), replaced when
    // the language changes.
    void SetLanguagePrefix(std::string prefix) { languagePrefix_ = std::move(prefix); }
    const std::string& LanguagePrefix() const { return languagePrefix_; }
    // The font index of the current language; a negative one counts as 0.
    void SetFontIndex(int index) { fontIndex_ = index < 0 ? 0 : index; }
    int FontIndex() const { return fontIndex_; }
    void SetStrings(StringLookup strings) { strings_ = std::move(strings); }
    // The current language's string; empty without a lookup.
    std::wstring GetString(int id) const { return strings_ ? strings_(id) : std::wstring(); }
    void SetLog(CLogImplW* log) { log_ = log; }
    // One line to the launcher log (nothing without a log).
    void Log(const std::wstring& line) const;

    // Reads the picture the attribute names: the language variant of the
    // path first, then the plain path; with a companion "<name>_a" picture
    // its blue channel becomes the alpha. False when the attribute is
    // absent or empty, no such member exists or it does not decode (the
    // bitmap is then empty), or the companion is missing or of another
    // size (the colour picture stays).
    bool LoadThemeImage(const tinyxml2::XMLElement* element, const char* attribute,
                        plat::Bitmap* bitmap, bool premultiplyFallback = true) const;
    // The bytes of a theme picture path (language variant first).
    bool ReadThemeFile(const std::string& path, std::string* bytes) const;
    // The prefix put in front of the path's last "\"-separated component.
    static std::string LanguageVariant(const std::string& path, const std::string& prefix);

    // Window-shape settings of "common/region".
    bool useAlpha = true;
    std::uint8_t alphaSense = 50;
    // Only pixels at least this opaque take a button's clicks.
    std::uint8_t buttonThreshold = 255;
    // Advanced by 8 at every animation tick.
    int animationPosition = 0;

private:
    const config::IMemberSource* members_ = nullptr;
    std::string themeFolder_;
    std::string languagePrefix_;
    int fontIndex_ = 0;
    StringLookup strings_;
    CLogImplW* log_ = nullptr;
};

} // namespace skin
