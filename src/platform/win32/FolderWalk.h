#pragma once
// Folder-walking pieces the tree and image checks share: listing a folder
// as its entries describe themselves, opening a subfolder as the entry
// itself (never through a link), and telling where an open handle is.
// Any thread.

#include "platform/win32/Handle.h"

#include <string>
#include <vector>

namespace plat::win {

struct FolderEntry {
    std::wstring name;
    DWORD attributes = 0;
    bool IsLink() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
    // A real folder: a link to one is not.
    bool IsFolder() const { return !IsLink() && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
};

// Every entry of the folder but "." and "..". False with the system's last
// error when the folder cannot be listed.
bool ListFolder(const std::wstring& folder, std::vector<FolderEntry>* entries);

// Opens a folder entry itself (a link is opened as the link) with the
// listing rights plus `extraAccess`. Others may read and write below it
// but may neither delete nor rename it while it is open. Invalid with the
// platform's last error set on failure.
Handle OpenFolderEntry(const std::wstring& path, DWORD extraAccess);
// The same for `name` inside `folder`, refused (invalid, last error 5) when
// the entry turned out to be a link.
Handle OpenSubfolder(const std::wstring& folder, const std::wstring& name, DWORD extraAccess);

// Where an open handle is now, in the "\\?\" form; empty when unknown.
std::wstring FinalPathOf(HANDLE h);
// The path without a leading "\\?\" (or "\\?\UNC\" turned into "\\").
std::wstring WithoutLongPrefix(const std::wstring& path);
// The volume serial number of an open handle (0 when unknown).
DWORD VolumeOf(HANDLE h);
// Both handles name the same file or folder.
bool SameEntry(HANDLE a, HANDLE b);
// The owner's user number (see SidUserNumber) of an open handle, ~0 when
// it cannot be read.
std::uint32_t OwnerNumberOf(HANDLE h);
// A single name: not empty, no separator, not "." or "..".
bool IsPlainName(const std::wstring& name);

} // namespace plat::win
