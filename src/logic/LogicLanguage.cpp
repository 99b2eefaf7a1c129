// CLogic and the language switch: the language table, the theme's font, the
// downloader's language and the stored choice follow the entry the user
// picked; the wizard view re-renders everything that depends on it.

#include "logic/Logic.h"

#include "base/Strings.h"
#include "platform/Registry.h"

#include <algorithm>

void CLogic::ChangeLanguage(int index, bool keepTexts) {
    config::CLauncherLanguages& languages = configuration_.languages;
    const int count = static_cast<int>(languages.Entries().size());
    if (index >= count)
        return;
    if (index >= 0) {
        const config::LanguageEntry& entry = languages.Entries()[static_cast<std::size_t>(index)];
        if (!languages.SelectCode(entry.code)) {
            LogNarrow("Language " + entry.code + " could not be selected");
            return;
        }
        dialog_.Theme().SetFontIndex(std::max(entry.font, 0));
    }
    View().LanguageChanged(index, keepTexts);
    if (!keepTexts && !settings_.singlePageMode)
        downloader_.SetLanguage(languages.CurrentCode());
    if (!keepTexts && settings_.runMode != rmUninstaller) {
        caption_ = CaptionText();
        View().SetCaption(caption_);
    }
    if (settings_.runMode == rmDownload)
        return;
    plat::RegistryKey key;
    if (key.Create(plat::RegistryRoot::CurrentUser,
                   base::Utf8ToWide(configuration_.regPath) + L"\\Language"))
        key.WriteString(L"Language", base::Utf8ToWide(languages.CurrentCode()));
}
