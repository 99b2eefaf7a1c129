// The checker's cleanup scan: deletes files of the installation that the
// manifest lists with other contents, and files that neither the manifest
// nor its ignore list mentions. It never descends into a link or reads
// through one: a link is an entry like a file, and deleting it removes the
// link alone. Runs on the checker thread.

#include "update/CheckerThread.h"

#include "base/Strings.h"
#include "platform/FileSystem.h"

#include <thread>

namespace update {

namespace {

constexpr unsigned kYieldEvery = 10;

// The path relative to the installation in the manifest's form: lowercased,
// "\" separated.
std::wstring ManifestRelativePath(const std::wstring& installDir, const std::wstring& fullPath) {
    std::wstring relative = fullPath.substr(installDir.size());
    while (!relative.empty() && (relative.front() == L'/' || relative.front() == L'\\'))
        relative.erase(0, 1);
    for (wchar_t& c : relative) {
        if (c == plat::PathSeparator())
            c = L'\\';
    }
    return base::ToLowerAscii(relative);
}

} // namespace

void CCheckerThread::CleanupScan(const ManifestFileMap& files) {
    CleanupFolder(installDir_, files);
}

bool CCheckerThread::CleanupFolder(const std::wstring& folder, const ManifestFileMap& files) {
    const std::vector<plat::FindEntry> entries = plat::FindFiles(plat::JoinPath(folder, L"*.*"));
    unsigned count = 0;
    for (const plat::FindEntry& entry : entries) {
        if (++count % kYieldEvery == 0)
            std::this_thread::yield();
        if (Stopped())
            return false;
        if (entry.name == L"." || entry.name == L"..")
            continue;
        if (entry.isDirectory) {
            if (!CleanupFolder(plat::JoinPath(folder, entry.name), files))
                return false;
            continue;
        }
        // A link or a pipe is never opened: it counts as a file that cannot be.
        CleanupFile(folder, entry.name, entry.isLink || entry.isSpecial, files);
    }
    return true;
}

void CCheckerThread::CleanupFile(const std::wstring& folder, const std::wstring& name,
                                 bool unopenable, const ManifestFileMap& files) {
    const std::wstring full = plat::JoinPath(folder, name);
    if (CleanupSkipsFile(full, name))
        return;
    const std::wstring relative = ManifestRelativePath(installDir_, full);
    if (CleanupSparesLauncherFile(relative))
        return;
    const auto listed = files.find(relative);
    if (listed != files.end()) {
        // A file that cannot be opened counts as empty with CRC 0.
        plat::ErrorCode error = plat::kErrSuccess;
        const FileMatch match =
            unopenable ? FileMatch::Unreadable
                       : reader_.Compare(full, listed->second.crc, listed->second.size, &error);
        const bool damaged = match == FileMatch::Different ||
                             (match == FileMatch::Unreadable &&
                              (listed->second.crc != 0 || listed->second.size != 0));
        if (damaged)
            plat::DeleteFile(full);
        return;
    }
    if (!CleanupKeepsUnlistedFile(relative, name, tables_.ignoredPaths, tables_.ignoredNames))
        plat::DeleteFile(full);
}

} // namespace update
