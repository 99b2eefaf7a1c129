#include "publish/PublishDescription.h"

#include "base/Strings.h"

#include <algorithm>
#include <set>

namespace publish {

namespace {

enum class Section { kNone, kClient, kLauncher, kIgnore, kPackage };

// File names that the publisher writes itself next to the packages.
constexpr const char* kReservedNames[] = {"update.xml", "update.rxml", "launcher.exe",
                                          "launcher.tmp.exe"};

std::string_view Trim(std::string_view text) {
    const char* blanks = " \t\r";
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool ParseBool(std::string_view text, bool* value) {
    std::string lower = base::ToLowerAscii(text);
    if (lower == "true" || lower == "yes" || lower == "1") {
        *value = true;
        return true;
    }
    if (lower == "false" || lower == "no" || lower == "0") {
        *value = false;
        return true;
    }
    return false;
}

// The extension the launcher unpacks, compared exactly as it compares it.
constexpr std::string_view kPackageExtension = ".pkg";

bool IsValidPackageName(std::string_view name) {
    if (name.empty() || name == "." || name == "..")
        return false;
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == '/' || c == '\\' || c == ':')
            return false;
    }
    std::string lower = base::ToLowerAscii(name);
    return std::none_of(std::begin(kReservedNames), std::end(kReservedNames),
                        [&](const char* reserved) { return lower == reserved; });
}

// What the parser knows about a package beyond its record.
struct PackageState {
    int compressionLine = 0;
};

// Works through the lines of one description, on the caller's thread.
class CDescriptionParser {
public:
    explicit CDescriptionParser(PublishDescription* out) : out_(out) {}

    bool Line(int number, std::string_view text, std::string* error) {
        line_ = number;
        text = Trim(text);
        if (text.empty() || text[0] == '#' || text[0] == ';')
            return true;
        if (text[0] == '[')
            return SectionLine(text, error);
        std::size_t equals = text.find('=');
        if (equals == std::string_view::npos)
            return Fail(error, "expected \"key = value\" or \"[section]\"");
        std::string key(Trim(text.substr(0, equals)));
        std::string value(Trim(text.substr(equals + 1)));
        if (key.empty())
            return Fail(error, "a key is missing before \"=\"");
        if (section_ == Section::kNone)
            return Fail(error, "\"" + key + "\" before the first section");
        bool multiple = key == "files" || key == "exclude" || section_ == Section::kIgnore;
        if (!multiple && !seen_.insert(key).second)
            return Fail(error, "\"" + key + "\" is given twice in " + sectionName_);
        switch (section_) {
        case Section::kClient:
            return ClientKey(key, value, error);
        case Section::kLauncher:
            return LauncherKey(key, value, error);
        case Section::kIgnore:
            return IgnoreKey(key, value, error);
        case Section::kPackage:
            return PackageKey(key, value, error);
        case Section::kNone:
            break;
        }
        return true;
    }

    bool Finish(std::string* error) {
        line_ = 0;
        if (out_->clientVersion.empty())
            return Fail(error, "[client] needs a version");
        if (out_->hasLauncher && (out_->launcherFile.empty() || out_->launcherVersion.empty()))
            return Fail(error, "[launcher] needs a file and a version");
        if (out_->packages.empty())
            return Fail(error, "no [package] section");
        for (std::size_t i = 0; i < out_->packages.size(); ++i) {
            PublishPackage& package = out_->packages[i];
            const PackageState& state = states_[i];
            line_ = package.line;
            std::string name = "[package " + package.file + "]";
            if (package.type == kPackageNone)
                return Fail(error, name + " needs a type");
            if (package.include.empty())
                return Fail(error, name + " lists no files");
            if (!package.infos.empty() && package.type != kPackageExt &&
                package.type != kPackageInt)
                return Fail(error, name + ": info texts belong to ext and int packages only");
            // An optional application the launcher cannot name on its page
            // is never offered and its files never installed.
            if (package.type == kPackageExt && package.infos.empty())
                return Fail(error, name + ": an ext package needs info texts (info.LANG.name, "
                                          "info.LANG.exec and the others)");
            if (package.format == PublishFormat::kRar && state.compressionLine != 0) {
                line_ = state.compressionLine;
                return Fail(error, name + ": RAR packages are always stored");
            }
        }
        return true;
    }

private:
    bool Fail(std::string* error, const std::string& message) const {
        *error = line_ > 0 ? "line " + std::to_string(line_) + ": " + message : message;
        return false;
    }

    bool SectionLine(std::string_view text, std::string* error) {
        if (text.back() != ']')
            return Fail(error, "a section header must end with \"]\"");
        std::string_view inner = Trim(text.substr(1, text.size() - 2));
        seen_.clear();
        sectionName_.clear();
        sectionName_.push_back('[');
        sectionName_.append(inner);
        sectionName_.push_back(']');
        if (inner == "client" || inner == "launcher" || inner == "ignore") {
            if (!sections_.insert(std::string(inner)).second)
                return Fail(error, "section " + sectionName_ + " is given twice");
            section_ = inner == "client"     ? Section::kClient
                       : inner == "launcher" ? Section::kLauncher
                                             : Section::kIgnore;
            out_->hasLauncher = out_->hasLauncher || section_ == Section::kLauncher;
            return true;
        }
        if (!inner.starts_with("package ") && !inner.starts_with("package\t"))
            return Fail(error, "unknown section " + sectionName_);
        std::string file(Trim(inner.substr(8)));
        if (!IsValidPackageName(file))
            return Fail(error, "\"" + file +
                                   "\" cannot be a package name (a plain file name other "
                                   "than update.xml, update.rxml and the launcher's)");
        // The launcher installs only files whose name ends in ".pkg" (in
        // that letter case); any other name would be downloaded on every run
        // and never unpacked. The format is the "format" key's.
        if (!std::string_view(file).ends_with(kPackageExtension) ||
            file.size() == kPackageExtension.size())
            return Fail(error, "\"" + file +
                                   "\": a package name must end in \".pkg\", the only "
                                   "packages the launcher unpacks (give the format with "
                                   "\"format = zip\" or \"format = rar\")");
        for (const PublishPackage& other : out_->packages) {
            if (base::ToLowerAscii(other.file) == base::ToLowerAscii(file))
                return Fail(error, "package " + file + " is given twice (line " +
                                       std::to_string(other.line) + ")");
        }
        section_ = Section::kPackage;
        PublishPackage package;
        package.file = file;
        package.line = line_;
        out_->packages.push_back(std::move(package));
        states_.emplace_back();
        return true;
    }

    bool Unknown(const std::string& key, std::string* error) const {
        return Fail(error, "unknown key \"" + key + "\" in " + sectionName_);
    }

    bool ClientKey(const std::string& key, const std::string& value, std::string* error) {
        if (key == "version")
            out_->clientVersion = value;
        else if (key == "modification")
            out_->modification = value;
        else
            return Unknown(key, error);
        return true;
    }

    bool LauncherKey(const std::string& key, const std::string& value, std::string* error) {
        if (key == "file")
            out_->launcherFile = value;
        else if (key == "version")
            out_->launcherVersion = value;
        else if (key == "url")
            out_->launcherUrl = value;
        else
            return Unknown(key, error);
        return true;
    }

    bool IgnoreKey(const std::string& key, const std::string& value, std::string* error) {
        if (key != "file")
            return Unknown(key, error);
        if (value.empty())
            return Fail(error, "an ignore entry needs a file");
        // The launcher compares the entries with "\" separated paths.
        std::string entry = value;
        std::replace(entry.begin(), entry.end(), '/', '\\');
        out_->ignore.push_back(entry);
        return true;
    }

    bool PackageKey(const std::string& key, const std::string& value, std::string* error) {
        PublishPackage& package = out_->packages.back();
        PackageState& state = states_.back();
        if (key == "type") {
            package.type = ParsePackageType(value);
            if (package.type == kPackageNone)
                return Fail(error, "unknown package type \"" + value +
                                       "\" (full, ext, int, add or increment)");
        } else if (key == "platform") {
            if (value != "any" && value != "32" && value != "64")
                return Fail(error, "unknown platform \"" + value + "\" (any, 32 or 64)");
            package.platform = ParsePackagePlatform(value);
        } else if (key == "format") {
            if (value != "zip" && value != "rar")
                return Fail(error, "unknown format \"" + value + "\" (zip or rar)");
            package.format = value == "rar" ? PublishFormat::kRar : PublishFormat::kZip;
        } else if (key == "compression") {
            if (value != "deflate" && value != "store")
                return Fail(error, "unknown compression \"" + value + "\" (deflate or store)");
            package.deflate = value == "deflate";
            state.compressionLine = line_;
        } else if (key == "files" || key == "exclude") {
            if (value.empty())
                return Fail(error, "\"" + key + "\" needs a pattern");
            (key == "files" ? package.include : package.exclude).push_back(value);
        } else if (key.starts_with("info.")) {
            return InfoKey(key, value, &package, error);
        } else {
            return Unknown(key, error);
        }
        return true;
    }

    bool InfoKey(const std::string& key, const std::string& value, PublishPackage* package,
                 std::string* error) {
        std::size_t dot = key.rfind('.');
        std::string lang = key.substr(5, dot > 5 ? dot - 5 : 0);
        std::string field = key.substr(dot + 1);
        if (lang.empty() || lang.find('.') != std::string::npos)
            return Fail(error, "an info key is info.LANGUAGE.FIELD, not \"" + key + "\"");
        auto it = std::find_if(package->infos.begin(), package->infos.end(),
                               [&](const PublishInfo& info) { return info.lang == lang; });
        if (it == package->infos.end()) {
            package->infos.push_back(PublishInfo{lang, {}, {}, {}, {}, true});
            it = package->infos.end() - 1;
        }
        if (field == "name")
            it->name = value;
        else if (field == "exec")
            it->exec = value;
        else if (field == "cmdl")
            it->cmdl = value;
        else if (field == "help")
            it->help = value;
        else if (field == "sel") {
            if (!ParseBool(value, &it->selected))
                return Fail(error, "\"" + key + "\" must be true or false");
        } else {
            return Fail(error,
                        "unknown info field \"" + field + "\" (name, exec, cmdl, help or sel)");
        }
        return true;
    }

    PublishDescription* out_;
    std::vector<PackageState> states_; // parallel to out_->packages
    Section section_ = Section::kNone;
    std::string sectionName_;
    std::set<std::string> seen_;     // single-valued keys of the current section
    std::set<std::string> sections_; // the sections that may occur once
    int line_ = 0;
};

} // namespace

bool ParsePublishDescription(std::string_view text, PublishDescription* description,
                             std::string* error) {
    *description = PublishDescription();
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    CDescriptionParser parser(description);
    int number = 0;
    while (!text.empty() || number == 0) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!parser.Line(++number, line, error))
            return false;
    }
    return parser.Finish(error);
}

} // namespace publish
