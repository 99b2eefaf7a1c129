#pragma once
// Finds the installed file for a manifest path. Manifest paths are
// lowercased when read, while the files keep the case their packages gave
// them; on a file system that tells case apart each path segment is matched
// without regard to ASCII case (an exact lowercase name wins). Folder
// listings are kept for one check run. Used on the checker thread only.

#include <map>
#include <string>

namespace update {

class CInstalledPaths {
public:
    // Forgets every listing; paths are resolved under installDir from now on.
    void Reset(const std::wstring& installDir);
    // The native path of the file a "\"-separated manifest path names. When
    // a segment has no match the rest is appended as it is, so that opening
    // the result fails as for any missing file.
    std::wstring Resolve(const std::wstring& manifestPath);

private:
    // Lowercased name to the name on disk, of one folder's entries.
    using Listing = std::map<std::wstring, std::wstring>;
    const Listing& ListingOf(const std::wstring& folder);

    std::wstring installDir_;
    std::map<std::wstring, Listing> listings_;
};

} // namespace update
