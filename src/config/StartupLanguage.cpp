// CLauncherLanguages: the start-up choice and switching by code.

#include "base/RunCommand.h"
#include "config/LauncherLanguages.h"
#include "config/LocaleSupport.h"
#include "log/LogImplW.h"
#include "platform/Registry.h"
#include "platform/Unicode.h"

namespace config {

namespace {

const wchar_t* const kLanguageValue = L"Language";
// The stored code is read through a buffer of this many characters.
constexpr std::size_t kStoredLanguageMax = 50;

std::wstring ReadStoredLanguage(const plat::RegistryKey& key) {
    plat::RegistryValue value;
    if (!key.IsOpen() || !key.ReadValue(kLanguageValue, &value) ||
        value.type != plat::RegistryType::String)
        return {};
    std::wstring text = value.text.substr(0, kStoredLanguageMax);
    return text.substr(0, text.find(L'\0'));
}

void LogLine(CLogImplW* log, const wchar_t* label, const std::wstring& value) {
    if (log)
        log->Write(label + value, true);
}

} // namespace

int CLauncherLanguages::PositionOf(const std::string& code) const {
    auto it = positions_.find(code);
    return it == positions_.end() ? -1 : it->second;
}

bool CLauncherLanguages::SelectCode(const std::string& code) {
    const int position = PositionOf(code);
    if (position < 0 || !table_->Select(position))
        return false;
    currentCode_ = code;
    imagePrefix_ = code + "_";
    return true;
}

bool CLauncherLanguages::SelectStartupLanguage(const std::wstring& patched,
                                               const std::wstring& regPath, int runMode,
                                               CLogImplW* log) {
    plat::RegistryKey key;
    key.Create(plat::RegistryRoot::CurrentUser, regPath + L"\\Language");
    const std::wstring stored = ReadStoredLanguage(key);
    const std::wstring system = plat::Utf8ToWide(SystemLanguageCode());

    LogLine(log, L"setup:", patched);
    LogLine(log, L"reg:", stored);
    LogLine(log, L"local:", system);
    LogLine(log, L"default:", plat::Utf8ToWide(defaultCode_));

    // The first installation follows the distribution's own language; later
    // runs keep what the user had.
    const std::wstring& first = runMode == rmInstall ? patched : stored;
    const std::wstring& second = runMode == rmInstall ? stored : patched;
    std::wstring chosen = !first.empty() ? first : second;
    if (chosen.empty())
        chosen = system;

    std::string code = plat::WideToUtf8(chosen);
    if (PositionOf(code) < 0)
        code = defaultCode_;
    if (!SelectCode(code))
        return false;

    if (runMode != rmDownload && key.IsOpen())
        key.WriteString(kLanguageValue, plat::Utf8ToWide(code));
    return true;
}

} // namespace config
