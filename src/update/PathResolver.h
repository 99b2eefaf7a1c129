#pragma once
// How a "\"-separated path relative to the installation names a place on
// disk: the one rule the checker (which reads files) and the unpacker (which
// writes them) share. Manifest paths are lowercased and packages may change
// the letter case of a folder between releases, while the files keep the
// case their first package gave them; so each segment is matched against the
// folder's entries without regard to ASCII case. When several entries match,
// the one whose name is already lowercase wins, else the smallest name in
// byte order, so the choice never depends on the order a listing comes in.
// Links are never followed: the checker sees a path through a link as a
// file it cannot open, and the unpacker removes a link that stands where it
// needs a folder or a file and puts the real thing in its place.
//
// Folder listings are kept until Reset; the unpacker tells the resolver what
// it creates. Safe on several threads at once (the unpacker's workers share
// one).

#include "platform/Error.h"

#include <map>
#include <mutex>
#include <string>

namespace update {

class CPathResolver {
public:
    // What stands at the end of a resolved path.
    enum class Kind { Missing, File, Folder, Link, Special };

    struct Resolved {
        std::wstring path; // the native path
        Kind kind = Kind::Missing;
        bool throughLink = false; // a folder on the way is a link (or not a folder)
    };

    // Forgets every listing; paths are resolved under installDir from now on.
    void Reset(const std::wstring& installDir);

    // The file or folder a path names. A segment without a match is taken
    // as it stands, and so is the rest of the path (which does not exist).
    Resolved Resolve(const std::wstring& relativePath);

    // Makes every folder of the path exist as a real folder (reusing one
    // whose name matches, replacing a link by a new folder) and gives the
    // path of its last segment (an existing file's own name when one
    // matches). With `lastIsFolder` the last segment is made a folder too.
    // False with the last error set when a folder cannot be made or a file
    // stands where a folder must be.
    bool Prepare(const std::wstring& relativePath, bool lastIsFolder, std::wstring* path);

    // The unpacker put a file of this name into `folder` (a native path
    // Prepare gave).
    void NoteFile(const std::wstring& folder, const std::wstring& name);

private:
    struct Entry {
        std::wstring name; // as on disk
        Kind kind = Kind::Missing;
    };
    // Lowercased name to the entry chosen for it, of one folder.
    using Listing = std::map<std::wstring, Entry>;

    Listing& ListingOf(const std::wstring& folder); // with the lock held
    static void Offer(Listing* listing, Entry entry);

    std::mutex lock_;
    std::wstring installDir_;
    bool installDirMade_ = false;
    std::map<std::wstring, Listing> listings_;
};

// The entry name in the form every reader gives it: "/" turned into "\",
// runs of separators folded into one. Folder entries (a trailing separator)
// also lose their double quotes.
std::string NormaliseEntryName(const std::string& name);

} // namespace update
