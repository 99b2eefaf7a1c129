#pragma once
// The numbered string tables of the launcher's languages. The table is
// created while the configuration loads on the window thread and read by the
// window thread for every label afterwards; it has no lock.

#include "config/LsoFile.h"

#include <cstdint>
#include <locale>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace config {

class IMemberSource;

// Why a language could not be added.
enum LangError : int {
    kLangOk = 0,
    kLangMissingFile = 1,  // the archive has no such member
    kLangMalformed = 2,    // the .lso bytes do not read (see LsoResult)
    kLangCountDiffers = 3, // its string count differs from the first language's
};

// One language: its strings (index = string id, UTF-8 as stored), its names
// and the locale it brings. Built once, then read-only.
class CLauncherLang {
public:
    // A non-empty locale name also gets its C runtime locale (when the system
    // has it) and its numeric identifier.
    CLauncherLang(std::string longName, std::string code, std::string localeName, std::int32_t id);
    virtual ~CLauncherLang() = default;
    CLauncherLang(const CLauncherLang&) = delete;
    CLauncherLang& operator=(const CLauncherLang&) = delete;

    // Replaces the strings with those of the .lso bytes; on failure there
    // are none.
    LsoResult LoadStrings(std::string_view bytes);

    int StringCount() const { return static_cast<int>(strings_.size()); }
    // The stored bytes of a string; empty for an id outside the table.
    std::string_view StringBytes(int id) const;
    // The text of a string; invalid UTF-8 comes out as U+FFFD.
    std::wstring GetString(int id) const;

    const std::string& LongName() const { return longName_; }
    const std::string& Code() const { return code_; }
    const std::string& LocaleName() const { return localeName_; }
    // The runtime's name of the locale; empty when the system lacks it.
    const std::string& RuntimeLocaleName() const { return runtimeLocaleName_; }
    const std::locale* RuntimeLocale() const { return runtimeLocale_ ? &*runtimeLocale_ : nullptr; }
    std::uint32_t Lcid() const { return lcid_; }
    std::int32_t Id() const { return id_; }

private:
    std::vector<std::string> strings_;
    std::string longName_;
    std::string code_;
    std::string localeName_;
    std::optional<std::locale> runtimeLocale_;
    std::string runtimeLocaleName_;
    std::uint32_t lcid_ = 0;
    std::int32_t id_ = 0;
};

// All languages of the process, in configuration order, and which one is
// current. Every language holds the same number of strings.
class CLauncherLangTable {
public:
    CLauncherLangTable() = default;
    virtual ~CLauncherLangTable() = default;
    CLauncherLangTable(const CLauncherLangTable&) = delete;
    CLauncherLangTable& operator=(const CLauncherLangTable&) = delete;

    // Loads the archive member `file` as a language and appends it; the
    // first language becomes the default and is selected. Returns the new
    // index, or -1 with `error` (when given) set.
    int AddLanguage(const IMemberSource& archive, const std::string& file,
                    const std::string& longName, const std::string& code, const std::string& locale,
                    std::int32_t id, LangError* error = nullptr);
    // The same from bytes already in memory.
    int AddLanguageBytes(std::string_view bytes, const std::string& longName,
                         const std::string& code, const std::string& locale, std::int32_t id,
                         LangError* error = nullptr);

    // Makes a language current. Re-selecting the current one succeeds at
    // once; an index outside the list fails. A language with a locale name
    // also moves the process's time formatting to that locale when the
    // system has it; a missing system locale leaves time formatting as it
    // was and does not fail the selection.
    bool Select(int index);

    // The text of a string of the current language; empty with no current
    // language or an id outside the table.
    std::wstring GetString(int id) const;

    int Count() const { return static_cast<int>(languages_.size()); }
    const CLauncherLang* Language(int index) const;
    const CLauncherLang* Current() const { return Language(current_); }
    int DefaultIndex() const { return default_; }
    int CurrentIndex() const { return current_; }

private:
    std::vector<std::unique_ptr<CLauncherLang>> languages_;
    int default_ = -1;
    int current_ = -1;
};

} // namespace config
