// CLauncherLanguages: reading the language list of the configuration.

#include "config/ConfigDocument.h"
#include "config/ConfigKeys.h"
#include "config/LauncherLanguages.h"
#include "config/XmlQuery.h"

#include <tinyxml2.h>

namespace config {

namespace {

using tinyxml2::XMLElement;

constexpr const char* kEnable = "enable";

bool ReadText(const XMLElement* entry, const char* name, std::string* value) {
    const char* text = entry->Attribute(name);
    if (!text)
        return false;
    *value = text;
    return true;
}

bool ReadNumber(const XMLElement* entry, const char* name, std::int32_t* value) {
    std::string text;
    return ReadText(entry, name, &text) && ParseInt(text, value);
}

// The first required attribute the entry lacks (or cannot convert); null
// when the entry is complete.
const char* ReadEntry(const XMLElement* entry, LanguageEntry* out) {
    if (!ReadText(entry, "lang", &out->code))
        return "lang";
    if (!ReadText(entry, "file", &out->file))
        return "file";
    if (!ReadText(entry, "long", &out->longName))
        return "long";
    if (!ReadText(entry, "locale", &out->locale))
        return "locale";
    if (!ReadNumber(entry, "id", &out->id))
        return "id";
    if (!ReadNumber(entry, "icon", &out->icon))
        return "icon";
    if (!ReadNumber(entry, "font", &out->font))
        out->font = 0;
    return nullptr;
}

const char* LangErrorText(LangError error) {
    switch (error) {
    case kLangOk:
        return "ok";
    case kLangMissingFile:
        return "not in the archive";
    case kLangMalformed:
        return "malformed table";
    case kLangCountDiffers:
        return "string count differs from the first language";
    }
    return "unknown error";
}

void SetError(std::string* error, std::string text) {
    if (error)
        *error = std::move(text);
}

} // namespace

CLauncherLanguages::CLauncherLanguages() : table_(std::make_unique<CLauncherLangTable>()) {}

bool CLauncherLanguages::LoadLanguages(const CConfigDocument& config, const IMemberSource& archive,
                                       std::string* error) {
    table_ = std::make_unique<CLauncherLangTable>();
    entries_.clear();
    positions_.clear();
    defaultCode_.clear();
    currentCode_.clear();
    imagePrefix_.clear();

    const XMLElement* list =
        config.Root() ? QueryElement(config.Root(), keys::kLanguages) : nullptr;
    if (!list) {
        SetError(error, std::string("missing ") + keys::kLanguages);
        return false;
    }
    std::size_t count = 0;
    for (const XMLElement* e = list->FirstChildElement(kEnable); e;
         e = e->NextSiblingElement(kEnable))
        ++count;
    entries_.resize(count);

    int position = 0;
    for (const XMLElement* e = list->FirstChildElement(kEnable); e;
         e = e->NextSiblingElement(kEnable), ++position) {
        LanguageEntry& entry = entries_[static_cast<std::size_t>(position)];
        entry.position = position;
        if (const char* missing = ReadEntry(e, &entry)) {
            SetError(error, "language " + std::to_string(position) + ": missing or invalid \"" +
                                missing + "\"");
            return false;
        }
        positions_[entry.code] = position;
        if (defaultCode_.empty())
            defaultCode_ = entry.code;
        LangError result = kLangOk;
        if (table_->AddLanguage(archive, entry.file, entry.longName, entry.code, entry.locale,
                                entry.id, &result) < 0) {
            SetError(error,
                     "language " + entry.code + ": " + entry.file + ": " + LangErrorText(result));
            return false;
        }
    }
    if (positions_.empty()) {
        SetError(error, std::string("no languages in ") + keys::kLanguages);
        return false;
    }
    return true;
}

} // namespace config
