#include "config/LauncherLang.h"

#include "config/LocaleSupport.h"
#include "config/MemberSource.h"
#include "platform/Unicode.h"

#include <stdexcept>

namespace config {

CLauncherLang::CLauncherLang(std::string longName, std::string code, std::string localeName,
                             std::int32_t id)
    : longName_(std::move(longName)), code_(std::move(code)), localeName_(std::move(localeName)),
      id_(id) {
    if (localeName_.empty())
        return;
    lcid_ = LocaleNameToLcid(localeName_);
    runtimeLocaleName_ = FindRuntimeLocale(localeName_);
    if (runtimeLocaleName_.empty())
        return;
    try {
        runtimeLocale_.emplace(runtimeLocaleName_.c_str());
    } catch (const std::runtime_error&) {
        runtimeLocaleName_.clear();
    }
}

LsoResult CLauncherLang::LoadStrings(std::string_view bytes) {
    return ReadLso(bytes, &strings_);
}

std::string_view CLauncherLang::StringBytes(int id) const {
    if (id < 0 || id >= StringCount())
        return {};
    return strings_[static_cast<std::size_t>(id)];
}

std::wstring CLauncherLang::GetString(int id) const {
    return plat::Utf8ToWide(StringBytes(id));
}

int CLauncherLangTable::AddLanguage(const IMemberSource& archive, const std::string& file,
                                    const std::string& longName, const std::string& code,
                                    const std::string& locale, std::int32_t id, LangError* error) {
    std::string bytes;
    if (!archive.GetMember(file, &bytes)) {
        if (error)
            *error = kLangMissingFile;
        return -1;
    }
    return AddLanguageBytes(bytes, longName, code, locale, id, error);
}

int CLauncherLangTable::AddLanguageBytes(std::string_view bytes, const std::string& longName,
                                         const std::string& code, const std::string& locale,
                                         std::int32_t id, LangError* error) {
    LangError result = kLangOk;
    auto language = std::make_unique<CLauncherLang>(longName, code, locale, id);
    if (language->LoadStrings(bytes) != kLsoOk)
        result = kLangMalformed;
    else if (!languages_.empty() && language->StringCount() != languages_.front()->StringCount())
        result = kLangCountDiffers;
    if (error)
        *error = result;
    if (result != kLangOk)
        return -1;

    languages_.push_back(std::move(language));
    const int index = Count() - 1;
    if (index == 0) {
        default_ = 0;
        Select(0);
    }
    return index;
}

bool CLauncherLangTable::Select(int index) {
    if (index == current_)
        return true;
    const CLauncherLang* language = Language(index);
    if (!language)
        return false;
    current_ = index;
    if (!language->LocaleName().empty())
        SetTimeLocale(language->RuntimeLocaleName());
    return true;
}

std::wstring CLauncherLangTable::GetString(int id) const {
    const CLauncherLang* language = Current();
    return language ? language->GetString(id) : std::wstring();
}

const CLauncherLang* CLauncherLangTable::Language(int index) const {
    if (index < 0 || index >= Count())
        return nullptr;
    return languages_[static_cast<std::size_t>(index)].get();
}

} // namespace config
