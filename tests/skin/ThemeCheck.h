#pragma once
// The completeness check of a theme as the launcher ships it: steps
// numbered 1..N in document order; every id the mode needs on its step,
// and no id twice (close and decorative controls aside); every control of
// the document loaded; every picture present (and, where it differs by
// language, present for every shipped language); textures with the piece
// counts their controls expect; every label, formatted text and list line
// of every shipped language fitting its control at the theme's fonts.

#include "SkinTestSupport.h"
#include "WizardText.h"

#include <string>
#include <vector>

namespace skintest {

struct ThemeUnderCheck {
    const CDialog* dialog = nullptr;
    const tinyxml2::XMLDocument* document = nullptr;
    const MapMembers* members = nullptr;
    std::string folder; // "theme_default\"
    bool singlePage = false;
    bool arrows = true;
};

// Problems of the theme's structure and pictures (language-independent).
std::vector<std::string> CheckStructure(const ThemeUnderCheck& theme);
// Problems of texts in one language; the dialog's font index must be the
// language's. Labels are set on the controls as a side effect.
std::vector<std::string> CheckTexts(CDialog& dialog, const Language& language, bool arrows);

} // namespace skintest
