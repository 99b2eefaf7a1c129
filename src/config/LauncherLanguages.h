#pragma once
// The launcher's view of its languages: the configured entries, which code
// sits at which position, the default and current codes, and the string
// table they index. Loaded while the configuration loads and chosen at
// start-up, both on the window thread; read by the window thread afterwards.

#include "config/LauncherLang.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class CLogImplW;

namespace config {

class CConfigDocument;
class IMemberSource;

// One "enable" child of the language list.
struct LanguageEntry {
    std::string code;     // "lang"
    std::string file;     // "file": the .lso member of the resource archive
    std::string longName; // "long"
    std::string locale;   // "locale", may be empty
    std::int32_t id = 0;
    std::int32_t icon = 0;
    std::int32_t font = 0; // 0 when not given
    int position = 0;
};

class CLauncherLanguages {
public:
    CLauncherLanguages();
    virtual ~CLauncherLanguages() = default;
    CLauncherLanguages(const CLauncherLanguages&) = delete;
    CLauncherLanguages& operator=(const CLauncherLanguages&) = delete;

    // Reads "common/languages" of the configuration and loads every listed
    // table from the archive into a fresh string table. Fails when the list
    // is missing or empty, an entry lacks a required attribute (or a
    // numeric one does not convert), or a table fails to load. `error`
    // (when given) receives a line for the log.
    bool LoadLanguages(const CConfigDocument& config, const IMemberSource& archive,
                       std::string* error = nullptr);

    // Chooses the start-up language: the patched field of the executable,
    // the value stored under HKCU\<regPath>\Language, or the user's system
    // language, in the order the run mode gives; an unknown code falls back
    // to the default. Logs the candidates when `log` is given and, except
    // in rmDownload, stores the choice.
    bool SelectStartupLanguage(const std::wstring& patched, const std::wstring& regPath,
                               int runMode, CLogImplW* log);

    // Makes the language with that code current; false for an unknown code.
    bool SelectCode(const std::string& code);

    const std::vector<LanguageEntry>& Entries() const { return entries_; }
    // The position of a code; -1 when it is not configured.
    int PositionOf(const std::string& code) const;
    const std::string& DefaultCode() const { return defaultCode_; }
    const std::string& CurrentCode() const { return currentCode_; }
    // The prefix of theme images that differ by language: the current code and "_".
    const std::string& ImagePrefix() const { return imagePrefix_; }

    CLauncherLangTable& Table() { return *table_; }
    const CLauncherLangTable& Table() const { return *table_; }
    std::wstring GetString(int id) const { return table_->GetString(id); }

private:
    std::vector<LanguageEntry> entries_;
    std::map<std::string, int> positions_;
    std::string defaultCode_;
    std::string currentCode_;
    std::string imagePrefix_;
    std::unique_ptr<CLauncherLangTable> table_;
};

} // namespace config
