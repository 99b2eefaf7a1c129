#include "publish/PublishFileSet.h"

#include "base/Strings.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Unicode.h"

#include <algorithm>

namespace publish {

namespace {

// Deeper trees than this are refused (links are never followed, so only a
// real tree of this depth reaches it).
constexpr int kMaxDepth = 64;

// The names of a "\" or "/" separated path; empty names are dropped.
std::vector<std::wstring> SplitPath(std::string_view path) {
    std::vector<std::wstring> names;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of("\\/", start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > start)
            names.push_back(plat::Utf8ToWide(path.substr(start, end - start)));
        start = end + 1;
    }
    return names;
}

bool MatchNames(const std::vector<std::wstring>& pattern, std::size_t p,
                const std::vector<std::wstring>& path, std::size_t s) {
    if (p == pattern.size())
        return s == path.size();
    if (pattern[p] == L"**") {
        for (std::size_t next = s; next <= path.size(); ++next) {
            if (MatchNames(pattern, p + 1, path, next))
                return true;
        }
        return false;
    }
    if (s == path.size() || !plat::MatchWildcard(pattern[p], path[s]))
        return false;
    return MatchNames(pattern, p + 1, path, s + 1);
}

bool ListFolder(const std::wstring& folder, const std::string& relative, int depth,
                std::vector<PublishSourceFile>* files, std::string* error) {
    if (depth > kMaxDepth) {
        *error = "folders nest too deep below " + relative;
        return false;
    }
    std::vector<plat::FindEntry> entries = plat::FindFiles(plat::JoinPath(folder, L"*"));
    plat::ErrorCode code = plat::GetLastError();
    if (entries.empty() && code != plat::kErrFileNotFound) {
        *error = "cannot list " + plat::WideToUtf8(folder) + ": " +
                 plat::WideToUtf8(plat::ErrorMessageText(code)) + " (error " +
                 std::to_string(code) + ")";
        return false;
    }
    for (const plat::FindEntry& entry : entries) {
        std::string name = plat::WideToUtf8(entry.name);
        std::string path = relative.empty() ? name : relative + "\\" + name;
        std::wstring full = plat::JoinPath(folder, entry.name);
        if (entry.isDirectory) {
            if (!ListFolder(full, path, depth + 1, files, error))
                return false;
            continue;
        }
        using Kind = PublishSourceFile::Kind;
        files->push_back(PublishSourceFile{path, full, entry.size,
                                           entry.isLink      ? Kind::Link
                                           : entry.isSpecial ? Kind::Special
                                                             : Kind::Regular});
    }
    return true;
}

} // namespace

bool ListClientFiles(const std::wstring& folder, std::vector<PublishSourceFile>* files,
                     std::string* error) {
    files->clear();
    if (!plat::DirectoryExists(folder)) {
        *error = "the client folder " + plat::WideToUtf8(folder) + " does not exist";
        return false;
    }
    if (!ListFolder(folder, std::string(), 0, files, error))
        return false;
    std::sort(
        files->begin(), files->end(),
        [](const PublishSourceFile& a, const PublishSourceFile& b) { return a.path < b.path; });
    return true;
}

bool MatchPublishPattern(std::string_view pattern, std::string_view path) {
    std::vector<std::wstring> names = SplitPath(pattern);
    std::vector<std::wstring> target = SplitPath(path);
    if (names.empty())
        return false;
    if (MatchNames(names, 0, target, 0))
        return true;
    // A plain last name may be a folder: take everything below it.
    if (names.back().find_first_of(L"*?") != std::wstring::npos)
        return false;
    names.push_back(L"**");
    names.push_back(L"*");
    return MatchNames(names, 0, target, 0);
}

std::string WindowsNameProblem(std::string_view path) {
    static constexpr const char* kDevices[] = {"con", "prn", "aux", "nul"};
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string_view::npos)
            end = path.size();
        const std::string_view name = path.substr(start, end - start);
        for (char c : name) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x20 || byte == 0x7F)
                return "a control character in \"" + std::string(name) + "\"";
            if (std::string_view("<>:\"|?*").find(c) != std::string_view::npos)
                return std::string("the character ") + c + " in \"" + std::string(name) + "\"";
        }
        if (!name.empty() && (name.back() == '.' || name.back() == ' '))
            return "\"" + std::string(name) + "\" ends in a dot or a blank";
        // A device name stays one with any extension: "nul.txt" is "nul".
        const std::string stem = base::ToLowerAscii(name.substr(0, name.find('.')));
        const bool numbered = stem.size() == 4 &&
                              (stem.starts_with("com") || stem.starts_with("lpt")) &&
                              stem[3] >= '1' && stem[3] <= '9';
        if (numbered ||
            std::find(std::begin(kDevices), std::end(kDevices), stem) != std::end(kDevices))
            return "\"" + std::string(name) + "\" is a device name";
        start = end + 1;
    }
    return {};
}

bool IsIgnoredPath(const std::vector<std::string>& ignore, std::string_view path) {
    std::string lowerPath = base::ToLowerAscii(path);
    std::size_t slash = lowerPath.rfind('\\');
    std::string name = slash == std::string::npos ? lowerPath : lowerPath.substr(slash + 1);
    std::size_t dot = name.rfind('.');
    // Built by appending: "*" + string trips a false -Wrestrict in GCC 12.
    std::string extension;
    if (dot != std::string::npos && dot != 0)
        extension.append("*").append(name, dot);
    for (const std::string& entry : ignore) {
        std::string lower = base::ToLowerAscii(entry);
        if (lower.size() > 2 && lower.starts_with("*\\")) {
            std::string wanted = lower.substr(2);
            if (wanted == name || (!extension.empty() && wanted == extension))
                return true;
        } else if (lower == lowerPath) {
            return true;
        }
    }
    return false;
}

} // namespace publish
