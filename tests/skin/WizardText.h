#pragma once
// What the wizard puts into the themes' controls, as test data: the label
// table (control id -> language string) with the back/next arrow choice,
// the formatted texts with values as large as a real run gives them, the
// ids each mode needs on each page, and the shipped languages read from
// their sources. The wizard itself is the launcher's; these tables let the
// theme check and the screenshots fill every control the way it will.

#include <map>
#include <string>
#include <vector>

namespace skintest {

// The strings of one shipped language, by id.
struct Language {
    std::string code;
    std::map<int, std::wstring> strings;
};
// English, German and Russian from dist/default/lang.
const std::vector<Language>& ShippedLanguages();

// Every text a control may show in a language: label-table strings,
// formatted texts with representative values, the caption line. The
// product name is the bundled distribution's.
std::vector<std::wstring> TextsFor(int controlId, const Language& language, bool arrows);
// The caption line as the dialog builds it.
std::wstring CaptionLine(const Language& language);
extern const wchar_t* const kProductName;

// The ids a mode needs, with the step each must be on (0: any step).
struct RequiredId {
    int id;
    int step;
};
std::vector<RequiredId> RequiredIds(bool singlePage, int languageCount);

// Lines of text as the wizard wraps them for a list: at spaces, each line
// strictly shorter than `width` characters.
std::vector<std::wstring> WrapForList(const std::wstring& text, int width);
// A sample licence in the language, for the terms list.
std::wstring SampleLicence(const std::string& code);

} // namespace skintest
