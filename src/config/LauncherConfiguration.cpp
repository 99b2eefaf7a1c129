#include "config/LauncherConfiguration.h"

#include "base/Crc32.h"
#include "config/MemberSource.h"
#include "platform/Registry.h"
#include "platform/Unicode.h"

namespace config {

std::string StoredThemeName(const std::string& regPath) {
    plat::RegistryKey key;
    std::wstring name;
    if (!key.Open(plat::RegistryRoot::CurrentUser, plat::Utf8ToWide(regPath) + L"\\Themes") ||
        !key.ReadString(L"Theme", &name))
        return {};
    return plat::WideToUtf8(name.substr(0, 50));
}

bool LoadLauncherConfiguration(const IMemberSource& archive, LauncherConfiguration* out,
                               std::string* error) {
    std::string bytes;
    if (!archive.GetMember("config.xml", &bytes)) {
        *error = "config.xml is missing from the resources";
        return false;
    }
    out->configCrc = base::Crc32(bytes.data(), bytes.size());
    std::string parseError;
    if (!out->configDoc.Parse(bytes, &parseError)) {
        *error = "config.xml: " + parseError;
        return false;
    }
    if (!out->configDoc.Base(KeyBase::Common)) {
        *error = "config.xml: no common element";
        return false;
    }
    if (!out->configDoc.Read(keys::kRegPath, &out->regPath)) {
        *error = "config.xml: no common/regPath";
        return false;
    }
    out->logLauncher = out->configDoc.Read(keys::kLogLauncher);
    out->logHttp = out->configDoc.Read(keys::kLogHttp);
    out->multiRun = out->configDoc.Read(keys::kMultiRun);

    std::string themePath;
    if (!SelectThemePath(ReadThemes(out->configDoc), StoredThemeName(out->regPath), &themePath)) {
        *error = "config.xml: no theme with a path";
        return false;
    }
    out->themeFolder = themePath + "\\";

    std::string languageError;
    if (!out->languages.LoadLanguages(out->configDoc, archive, &languageError)) {
        *error = "languages: " + languageError;
        return false;
    }

    std::string themeBytes;
    if (!archive.GetMember(out->themeFolder + "config.xml", &themeBytes)) {
        *error = out->themeFolder + "config.xml is missing from the resources";
        return false;
    }
    if (!out->themeDoc.Parse(themeBytes, &parseError)) {
        *error = out->themeFolder + "config.xml: " + parseError;
        return false;
    }
    return true;
}

} // namespace config
