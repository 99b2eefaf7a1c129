#pragma once
// Work on a whole folder tree — counting, deleting, giving a user rights —
// that never follows a link, never leaves the device of the folder it starts
// from, and never goes deeper than kMaxTreeDepth levels. The folder is opened
// once and everything below it is reached from that open folder, so a link
// or a rename planted during the walk (an elevated copy may walk folders that
// their user changes meanwhile) leads nowhere. Any thread; one thread uses
// an OpenFolder at a time.

#include "platform/Error.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace plat {

// Levels below the starting folder that a walk enters.
inline constexpr int kMaxTreeDepth = 64;

class OpenFolder {
public:
    OpenFolder() = default;
    ~OpenFolder();
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;

    // Opens a folder. Its own name must not be a link (5); the folders above
    // it are resolved as usual. 3 when it is missing or no folder.
    bool Open(const std::wstring& path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    // Where the open folder is now, every link above it resolved; empty when
    // it cannot be told (it was deleted meanwhile).
    std::wstring ResolvedPath() const;
    // The folder's owner.
    std::uint32_t OwnerId() const;
    // Nothing inside.
    bool IsEmpty() const;
    // A regular file (not a link) of this name lies directly inside; names
    // compare without regard to ASCII case.
    bool HoldsFile(const std::wstring& name) const;
    // Deletes a file or link directly inside (never a folder). 2 when there
    // is none.
    bool DeleteFile(const std::wstring& name) const;
    // Reads a regular file directly inside, not through a link: 2 when there
    // is none, 13 when it is no regular file or larger than `limit`.
    bool ReadFile(const std::wstring& name, std::size_t limit, std::string* contents) const;

    int Descriptor() const { return fd_; }

private:
    int fd_ = -1;
};

// Something — a file, a folder or a link, even one that leads nowhere — is
// at the path.
bool PathEntryExists(const std::wstring& path);

// Every file, link and folder below the folder (not the folder itself); a
// folder the walk does not enter counts as one entry.
std::uint32_t CountTreeEntries(const OpenFolder& folder);

struct TreeDeleteOptions {
    // Files of this name (ASCII case ignored) are kept: in every folder, or
    // only directly inside the starting folder.
    std::wstring keepName;
    bool keepOnlyAtTop = false;
    // Tries per file, retryPauseMs apart.
    int attempts = 1;
    int retryPauseMs = 100;
    // Checked before every entry; once set the walk ends.
    const std::atomic<bool>* stop = nullptr;
    // Called after every file (kept ones too) and every folder.
    std::function<void()> onEntry;
};

// Deletes everything below the folder, depth first: a subfolder's contents,
// then the subfolder. Links are deleted, never followed; a folder on another
// device or too deep is only removed when it is empty. True when nothing but
// kept files is left and the walk was not stopped.
bool DeleteTreeContents(const OpenFolder& folder, const TreeDeleteOptions& options);

// Makes the user this process works for (Elevation.h) the owner of the
// folder and of every folder and regular file below it, and gives that owner
// read and write access (and entry to folders). Links are left alone, and so
// is a file with more than one name that belongs to someone else. True when
// the folder itself was changed; `failures` (when given) counts the entries
// below that could not be. Ends early when `stop` is set.
// `onEntry` (when given) is called after every entry below the folder.
bool GrantTreeToInvokingUser(const OpenFolder& folder, const std::atomic<bool>* stop,
                             const std::function<void()>& onEntry = {},
                             std::uint32_t* failures = nullptr);

} // namespace plat
