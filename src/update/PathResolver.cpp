#include "update/PathResolver.h"

#include "base/Strings.h"
#include "platform/FileSystem.h"

#include <vector>

namespace update {

namespace {

std::vector<std::wstring> Segments(const std::wstring& path) {
    std::vector<std::wstring> segments;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos)
            end = path.size();
        if (end > start)
            segments.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return segments;
}

// The rest of the path from segment i on, joined natively.
std::wstring JoinRest(std::wstring path, const std::vector<std::wstring>& segments, std::size_t i) {
    for (; i < segments.size(); ++i)
        path = plat::JoinPath(path, segments[i]);
    return path;
}

} // namespace

void CPathResolver::Reset(const std::wstring& installDir) {
    std::lock_guard<std::mutex> guard(lock_);
    installDir_ = installDir;
    installDirMade_ = false;
    listings_.clear();
}

void CPathResolver::Offer(Listing* listing, Entry entry) {
    const std::wstring key = base::ToLowerAscii(entry.name);
    auto found = listing->find(key);
    if (found == listing->end()) {
        listing->emplace(key, std::move(entry));
        return;
    }
    const std::wstring& chosen = found->second.name;
    const bool lower = entry.name == key;
    if (chosen != key && (lower || entry.name < chosen))
        found->second = std::move(entry);
}

CPathResolver::Listing& CPathResolver::ListingOf(const std::wstring& folder) {
    auto cached = listings_.find(folder);
    if (cached != listings_.end())
        return cached->second;
    Listing& listing = listings_[folder];
    for (const plat::FindEntry& found : plat::FindFiles(plat::JoinPath(folder, L"*.*"))) {
        Entry entry;
        entry.name = found.name;
        entry.kind = found.isLink        ? Kind::Link
                     : found.isDirectory ? Kind::Folder
                     : found.isSpecial   ? Kind::Special
                                         : Kind::File;
        Offer(&listing, std::move(entry));
    }
    return listing;
}

CPathResolver::Resolved CPathResolver::Resolve(const std::wstring& relativePath) {
    std::lock_guard<std::mutex> guard(lock_);
    const std::vector<std::wstring> segments = Segments(relativePath);
    Resolved result;
    result.path = installDir_;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const Listing& listing = ListingOf(result.path);
        auto found = listing.find(base::ToLowerAscii(segments[i]));
        if (found == listing.end()) {
            result.path = JoinRest(result.path, segments, i);
            result.kind = Kind::Missing;
            return result;
        }
        result.path = plat::JoinPath(result.path, found->second.name);
        result.kind = found->second.kind;
        if (i + 1 < segments.size() && result.kind != Kind::Folder) {
            // Never through a link, and nothing lies inside a file.
            result.throughLink = true;
            result.path = JoinRest(result.path, segments, i + 1);
            result.kind = Kind::Missing;
            return result;
        }
    }
    return result;
}

bool CPathResolver::Prepare(const std::wstring& relativePath, bool lastIsFolder,
                            std::wstring* path) {
    std::lock_guard<std::mutex> guard(lock_);
    const std::vector<std::wstring> segments = Segments(relativePath);
    if (segments.empty()) {
        plat::SetLastError(plat::kErrInvalidName);
        return false;
    }
    // The installation folder itself may not exist yet (a first install).
    if (!installDirMade_) {
        plat::CreateDirectoryTree(installDir_);
        installDirMade_ = true;
    }
    std::wstring folder = installDir_;
    const std::size_t folders = lastIsFolder ? segments.size() : segments.size() - 1;
    for (std::size_t i = 0; i < folders; ++i) {
        Listing& listing = ListingOf(folder);
        const std::wstring key = base::ToLowerAscii(segments[i]);
        auto found = listing.find(key);
        if (found != listing.end() && found->second.kind == Kind::Folder) {
            folder = plat::JoinPath(folder, found->second.name);
            continue;
        }
        std::wstring name = segments[i];
        if (found != listing.end()) {
            if (found->second.kind != Kind::Link) {
                // A file stands where the folder must be.
                plat::SetLastError(plat::kErrPathNotFound);
                return false;
            }
            // The link itself goes, never what it points to.
            name = found->second.name;
            if (!plat::DeleteFile(plat::JoinPath(folder, name)))
                return false;
        }
        const std::wstring made = plat::JoinPath(folder, name);
        if (!plat::CreateDirectory(made) && !plat::DirectoryExists(made))
            return false;
        listing[key] = Entry{name, Kind::Folder};
        listings_[made]; // new and empty: nothing to list
        folder = made;
    }
    if (lastIsFolder) {
        *path = folder;
        return true;
    }
    const Listing& listing = ListingOf(folder);
    auto found = listing.find(base::ToLowerAscii(segments.back()));
    if (found == listing.end()) {
        *path = plat::JoinPath(folder, segments.back());
        return true;
    }
    if (found->second.kind == Kind::Folder) {
        plat::SetLastError(plat::kErrAccessDenied);
        return false;
    }
    // An existing file keeps its name; a link there is replaced, not
    // written through, when the new file is renamed over it.
    *path = plat::JoinPath(folder, found->second.name);
    return true;
}

void CPathResolver::NoteFile(const std::wstring& folder, const std::wstring& name) {
    std::lock_guard<std::mutex> guard(lock_);
    auto listing = listings_.find(folder);
    if (listing == listings_.end())
        return;
    Listing& entries = listing->second;
    const std::wstring key = base::ToLowerAscii(name);
    auto found = entries.find(key);
    if (found == entries.end())
        entries.emplace(key, Entry{name, Kind::File});
    else if (found->second.name == name)
        found->second.kind = Kind::File;
}

std::string NormaliseEntryName(const std::string& name) {
    const bool folder = !name.empty() && (name.back() == '\\' || name.back() == '/');
    std::string out;
    out.reserve(name.size());
    for (char c : name) {
        if (folder && c == '"')
            continue;
        char separator = c == '/' ? '\\' : c;
        if (separator == '\\' && !out.empty() && out.back() == '\\')
            continue;
        out += separator;
    }
    return out;
}

} // namespace update
