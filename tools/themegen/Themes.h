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
// The language pictures of one tagline, under "art\".
void AddTaglines(ThemeFiles& files, const std::string& name, int width, int height, int em);

} // namespace themegen
