#pragma once
// A theme font element made into fonts: one font per face name of
// "fontName" ("|"-separated), font k taking height k of "fontSize" (or the
// first height when there are fewer), with the weight, italic and underline
// of the element, its text colour and its case rule ("fontUpCase": upper,
// lower or unchanged). Drawing uses the font of the current language's font
// index, or font 0 when the set is shorter. Window thread.

#include "platform/Font.h"
#include "platform/Geometry.h"

#include <memory>
#include <string>
#include <vector>

namespace tinyxml2 {
class XMLElement;
}

namespace skin {

enum CaseMode : int { kCaseNone = 0, kCaseUpper = 1, kCaseLower = 2 };

// The text in upper or lower case (letters of every script), or unchanged.
std::wstring ApplyCase(const std::wstring& text, int caseMode);

class CFontSet {
public:
    // Reads the font attributes of `element`, each one missing there taken
    // from `fallback` (a profile) when given. False, leaving the set empty,
    // without a face name or a height, or when a font cannot be made.
    bool Load(const tinyxml2::XMLElement* element, const tinyxml2::XMLElement* fallback = nullptr);

    bool IsEmpty() const { return fonts_.empty(); }
    std::size_t Count() const { return fonts_.size(); }
    // Font `index`, font 0 when the set is shorter; null for an empty set.
    std::shared_ptr<const plat::Font> Get(int index) const;
    // The first height of "fontSize" (the list box's row height rule).
    int FirstHeight() const { return firstHeight_; }

    plat::COLORREF color = 0;
    int caseMode = kCaseNone;

private:
    std::vector<std::shared_ptr<const plat::Font>> fonts_;
    int firstHeight_ = 0;
};

} // namespace skin
