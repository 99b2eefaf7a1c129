#include "skin/FontSet.h"

#include "platform/Unicode.h"
#include "skin/ThemeAttributes.h"

#include <tinyxml2.h>

#include <locale>

namespace skin {

namespace {

std::vector<std::string> SplitBars(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t begin = 0;
    while (true) {
        const std::size_t bar = text.find('|', begin);
        parts.push_back(text.substr(begin, bar == std::string::npos ? bar : bar - begin));
        if (bar == std::string::npos)
            break;
        begin = bar + 1;
    }
    return parts;
}

const char* Attribute(const tinyxml2::XMLElement* element, const tinyxml2::XMLElement* fallback,
                      const char* name) {
    if (const char* own = element ? element->Attribute(name) : nullptr)
        return own;
    return fallback ? fallback->Attribute(name) : nullptr;
}

// The locale whose case rules cover every script; the classic one maps
// ASCII only.
const std::locale& CaseLocale() {
    static const std::locale locale = [] {
        for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
            try {
                return std::locale(name);
            } catch (const std::runtime_error&) {
            }
        }
        return std::locale::classic();
    }();
    return locale;
}

wchar_t FallbackCase(wchar_t c, bool upper) {
    // Latin-1 letters and the basic Cyrillic block, for a system without a
    // Unicode locale.
    if (upper) {
        if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x430 && c <= 0x44F))
            return static_cast<wchar_t>(c - 0x20);
        if (c >= 0x450 && c <= 0x45F)
            return static_cast<wchar_t>(c - 0x50);
    } else {
        if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x410 && c <= 0x42F))
            return static_cast<wchar_t>(c + 0x20);
        if (c >= 0x400 && c <= 0x40F)
            return static_cast<wchar_t>(c + 0x50);
    }
    return c;
}

} // namespace

std::wstring ApplyCase(const std::wstring& text, int caseMode) {
    if (caseMode != kCaseUpper && caseMode != kCaseLower)
        return text;
    const bool upper = caseMode == kCaseUpper;
    const auto& facet = std::use_facet<std::ctype<wchar_t>>(CaseLocale());
    std::wstring result = text;
    for (wchar_t& c : result) {
        const wchar_t mapped = upper ? facet.toupper(c) : facet.tolower(c);
        c = mapped != c ? mapped : FallbackCase(c, upper);
    }
    return result;
}

bool CFontSet::Load(const tinyxml2::XMLElement* element, const tinyxml2::XMLElement* fallback) {
    fonts_.clear();
    const char* names = Attribute(element, fallback, "fontName");
    const char* sizes = Attribute(element, fallback, "fontSize");
    if (!names || !*names || !sizes || !*sizes)
        return false;
    std::vector<int> heights;
    for (const std::string& part : SplitBars(sizes)) {
        int height = 0;
        if (!ParseThemeInt(part.c_str(), &height))
            return false;
        heights.push_back(height);
    }
    plat::LogFont description;
    int weight = 0;
    if (const char* bold = Attribute(element, fallback, "fontBold"))
        ParseThemeInt(bold, &weight);
    description.weight = weight;
    bool flag = false;
    if (ParseThemeBool(Attribute(element, fallback, "fontItalic"), &flag))
        description.italic = flag;
    flag = false;
    if (ParseThemeBool(Attribute(element, fallback, "fontUnderline"), &flag))
        description.underline = flag;
    const std::vector<std::string> faces = SplitBars(names);
    std::vector<std::shared_ptr<const plat::Font>> made;
    for (std::size_t k = 0; k < faces.size(); ++k) {
        description.faceName = plat::Utf8ToWide(faces[k]);
        description.height = k < heights.size() ? heights[k] : heights[0];
        std::shared_ptr<const plat::Font> font = plat::Font::Create(description);
        if (!font)
            return false;
        made.push_back(std::move(font));
    }
    fonts_ = std::move(made);
    firstHeight_ = heights[0];
    color = 0;
    ParseThemeColour(Attribute(element, fallback, "fontColor"), &color);
    caseMode = kCaseNone;
    if (const char* upCase = Attribute(element, fallback, "fontUpCase")) {
        if (std::string(upCase) == "upper")
            caseMode = kCaseUpper;
        else if (std::string(upCase) == "lower")
            caseMode = kCaseLower;
    }
    return true;
}

std::shared_ptr<const plat::Font> CFontSet::Get(int index) const {
    if (fonts_.empty())
        return nullptr;
    if (index < 0 || static_cast<std::size_t>(index) >= fonts_.size())
        index = 0;
    return fonts_[static_cast<std::size_t>(index)];
}

} // namespace skin
