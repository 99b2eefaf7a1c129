#include "config/ConfigDocument.h"

#include "config/XmlQuery.h"

#include <tinyxml2.h>

namespace config {

using tinyxml2::XMLElement;

CConfigDocument::CConfigDocument() = default;
CConfigDocument::~CConfigDocument() = default;

bool CConfigDocument::Parse(const std::string& bytes, std::string* error) {
    root_ = nullptr;
    doc_ = std::make_unique<tinyxml2::XMLDocument>();
    if (doc_->Parse(bytes.data(), bytes.size()) != tinyxml2::XML_SUCCESS) {
        if (error)
            *error = doc_->ErrorStr() ? doc_->ErrorStr() : "XML error";
        doc_.reset();
        return false;
    }
    root_ = doc_->FirstChildElement();
    if (!root_ && error)
        *error = "no root element";
    return root_ != nullptr;
}

const XMLElement* CConfigDocument::Base(KeyBase base) const {
    if (!root_)
        return nullptr;
    switch (base) {
    case KeyBase::Root:
        return root_;
    case KeyBase::Common:
        return root_->FirstChildElement("common");
    case KeyBase::Launch:
        return root_->FirstChildElement("launch");
    }
    return nullptr;
}

static bool IsAttributePath(const char* path) {
    std::string p(path);
    std::size_t slash = p.rfind('/');
    return p[slash == std::string::npos ? 0 : slash + 1] == '@';
}

bool CConfigDocument::Read(const TextKey& key, std::string* value) const {
    const XMLElement* base = Base(key.base);
    bool found = base && (IsAttributePath(key.path) ? QueryAttribute(base, key.path, value)
                                                    : QueryText(base, key.path, value));
    if (!found)
        *value = key.defaultValue;
    return found;
}

std::string CConfigDocument::Read(const TextKey& key) const {
    std::string value;
    Read(key, &value);
    return value;
}

bool CConfigDocument::Read(const BoolKey& key) const {
    return ReadBool(key.base, key.path, key.defaultValue);
}

bool CConfigDocument::ReadBool(KeyBase base, const char* path, bool defaultValue) const {
    const XMLElement* element = Base(base);
    return element ? QueryBool(element, path, defaultValue) : defaultValue;
}

std::vector<ThemeEntry> ReadThemes(const CConfigDocument& config) {
    std::vector<ThemeEntry> themes;
    const XMLElement* list =
        config.Root() ? config.Root()->FirstChildElement(keys::kThemes) : nullptr;
    if (!list)
        return themes;
    for (const XMLElement* t = list->FirstChildElement("theme"); t; t = t->NextSiblingElement()) {
        ThemeEntry entry;
        const char* name = t->Attribute("name");
        const char* path = t->Attribute("path");
        entry.name = name ? name : "";
        entry.hasPath = path != nullptr;
        entry.path = path ? path : "";
        themes.push_back(std::move(entry));
    }
    return themes;
}

bool SelectThemePath(const std::vector<ThemeEntry>& themes, const std::string& wantedName,
                     std::string* path) {
    bool chosen = false;
    for (const ThemeEntry& theme : themes) {
        bool nameMatches = theme.name == wantedName;
        if ((!chosen || nameMatches) && theme.hasPath) {
            *path = theme.path;
            chosen = true;
        }
        if (nameMatches)
            break;
    }
    return chosen;
}

std::vector<Migration> ReadMigrations(const CConfigDocument& config) {
    std::vector<Migration> migrations;
    const XMLElement* list =
        config.Root() ? QueryElement(config.Root(), keys::kMigrations) : nullptr;
    const XMLElement* entry = list ? list->FirstChildElement() : nullptr;
    if (!entry || std::string(entry->Name()) != "migration")
        return migrations;
    for (; entry; entry = entry->NextSiblingElement()) {
        Migration m;
        if (!QueryText(entry, "shortName/text()", &m.shortName) ||
            !QueryText(entry, "fullName/text()", &m.fullName) ||
            !QueryText(entry, "regPath/text()", &m.regPath))
            continue;
        QueryText(entry, "iconName/text()", &m.iconName);
        migrations.push_back(std::move(m));
    }
    return migrations;
}

std::string ClientCommand(const std::string& process, const std::string& args) {
    return args.empty() ? process : process + " " + args;
}

std::string ShortcutFileName(const std::string& value) {
    return value.find(".exe") == std::string::npos ? value + ".exe" : value;
}

} // namespace config
