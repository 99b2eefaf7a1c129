#include "update/InstalledPaths.h"

#include "base/Strings.h"
#include "platform/FileSystem.h"

#include <vector>

namespace update {

void CInstalledPaths::Reset(const std::wstring& installDir) {
    installDir_ = installDir;
    listings_.clear();
}

const CInstalledPaths::Listing& CInstalledPaths::ListingOf(const std::wstring& folder) {
    const auto cached = listings_.find(folder);
    if (cached != listings_.end())
        return cached->second;
    Listing& listing = listings_[folder];
    for (const plat::FindEntry& entry : plat::FindFiles(plat::JoinPath(folder, L"*.*"))) {
        const std::wstring lower = base::ToLowerAscii(entry.name);
        if (lower == entry.name)
            listing[lower] = entry.name;
        else
            listing.emplace(lower, entry.name);
    }
    return listing;
}

std::wstring CInstalledPaths::Resolve(const std::wstring& manifestPath) {
    std::wstring path = installDir_;
    std::size_t start = 0;
    while (start <= manifestPath.size()) {
        std::size_t end = manifestPath.find(L'\\', start);
        if (end == std::wstring::npos)
            end = manifestPath.size();
        const std::wstring segment = manifestPath.substr(start, end - start);
        const Listing& listing = ListingOf(path);
        const auto found = listing.find(base::ToLowerAscii(segment));
        if (found == listing.end())
            return plat::JoinPath(path, plat::NativePath(manifestPath.substr(start)));
        path = plat::JoinPath(path, found->second);
        start = end + 1;
    }
    return path;
}

} // namespace update
