#include "skin/SkinTheme.h"

#include "config/MemberSource.h"
#include "log/LogImplW.h"
#include "platform/Unicode.h"
#include "skin/SkinImage.h"

#include <tinyxml2.h>

namespace skin {

void CSkinTheme::SetSource(const config::IMemberSource* members, std::string themeFolder) {
    members_ = members;
    themeFolder_ = std::move(themeFolder);
}

void CSkinTheme::Log(const std::wstring& line) const {
    if (log_)
        log_->Write(line, true);
}

std::string CSkinTheme::LanguageVariant(const std::string& path, const std::string& prefix) {
    const std::size_t slash = path.rfind('\\');
    if (slash == std::string::npos || slash + 1 == path.size())
        return prefix + path;
    return path.substr(0, slash + 1) + prefix + path.substr(slash + 1);
}

bool CSkinTheme::ReadThemeFile(const std::string& path, std::string* bytes) const {
    if (!members_ || path.empty())
        return false;
    return members_->GetMember(themeFolder_ + LanguageVariant(path, languagePrefix_), bytes) ||
           members_->GetMember(themeFolder_ + path, bytes);
}

bool CSkinTheme::LoadThemeImage(const tinyxml2::XMLElement* element, const char* attribute,
                                plat::Bitmap* bitmap, bool premultiplyFallback) const {
    const char* path = element ? element->Attribute(attribute) : nullptr;
    if (!path || !*path)
        return false;
    const std::string companionName = std::string(attribute) + "_a";
    const char* companion = element->Attribute(companionName.c_str());
    std::string bytes;
    if (!ReadThemeFile(path, &bytes)) {
        bitmap->Reset();
        return false;
    }
    plat::Bitmap decoded;
    if (!DecodeImage(bytes.data(), bytes.size(), premultiplyFallback && !companion, &decoded)) {
        bitmap->Reset();
        Log(L"Skin: the picture \"" + plat::Utf8ToWide(path) + L"\" does not decode");
        return false;
    }
    *bitmap = std::move(decoded);
    if (!companion)
        return true;
    plat::Bitmap mask;
    if (!ReadThemeFile(companion, &bytes) || !DecodeImage(bytes.data(), bytes.size(), true, &mask))
        return false;
    return MergeAlphaMask(bitmap, mask);
}

} // namespace skin
