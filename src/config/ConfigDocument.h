#pragma once
// One parsed configuration document (the launcher's "config.xml" or the
// theme's) with the key readers. Filled once on the window thread at preinit,
// read-only afterwards.

#include "config/ConfigKeys.h"

#include <memory>
#include <string>
#include <vector>

namespace tinyxml2 {
class XMLDocument;
class XMLElement;
} // namespace tinyxml2

namespace config {

class CConfigDocument {
public:
    CConfigDocument();
    ~CConfigDocument();
    CConfigDocument(const CConfigDocument&) = delete;
    CConfigDocument& operator=(const CConfigDocument&) = delete;

    // Parses the bytes; false on a syntax error or a document without an
    // element. `error` (when given) receives the parser's description.
    bool Parse(const std::string& bytes, std::string* error = nullptr);
    bool IsLoaded() const { return root_ != nullptr; }

    // The root element (the document's first element child) and the bases.
    const tinyxml2::XMLElement* Root() const { return root_; }
    const tinyxml2::XMLElement* Base(KeyBase base) const;

    // The key's value; false when it is missing (the default is then stored).
    bool Read(const TextKey& key, std::string* value) const;
    std::string Read(const TextKey& key) const;
    bool Read(const BoolKey& key) const;
    // A boolean key with a default decided at run time.
    bool ReadBool(KeyBase base, const char* path, bool defaultValue) const;

private:
    std::unique_ptr<tinyxml2::XMLDocument> doc_;
    const tinyxml2::XMLElement* root_ = nullptr;
};

// One theme of the "themes" list.
struct ThemeEntry {
    std::string name;
    std::string path;
    bool hasPath = false;
};
std::vector<ThemeEntry> ReadThemes(const CConfigDocument& config);

// The theme the registry names, else the first one with a path; false when
// no theme has a path.
bool SelectThemePath(const std::vector<ThemeEntry>& themes, const std::string& wantedName,
                     std::string* path);

// An earlier product identity from "common/migrations".
struct Migration {
    std::string shortName, fullName, regPath, iconName;
};
// Entries lacking shortName, fullName or regPath are dropped; the first child
// must be named "migration", the later element children count whatever their
// names.
std::vector<Migration> ReadMigrations(const CConfigDocument& config);

// The game client's command: Process, then a blank and ProcessArgs when
// ProcessArgs is not empty.
std::string ClientCommand(const std::string& process, const std::string& args);
// The shortcut's executable: ".exe" appended when the value lacks it.
std::string ShortcutFileName(const std::string& value);

} // namespace config
