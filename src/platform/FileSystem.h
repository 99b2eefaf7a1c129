#pragma once
// Files and folders by path: attributes, moves, deletion, enumeration with a
// wildcard, folder trees and free space. Safe to call from any thread.

#include "platform/Error.h"

#include <cstdint>
#include <string>
#include <vector>

namespace plat {

// Windows attribute bits that the launcher reads and sets.
enum : std::uint32_t {
    kAttrReadOnly = 0x1,
    kAttrHidden = 0x2,
    kAttrDirectory = 0x10,
    kAttrNormal = 0x80,
    kAttrReparsePoint = 0x400, // a link: never followed by the launcher's walks
    kInvalidAttributes = 0xFFFFFFFFu,
};

// Flags of MoveFile, with the Windows values.
enum : std::uint32_t {
    kMoveReplaceExisting = 0x1,
    kMoveCopyAllowed = 0x2,
};

struct FindEntry {
    std::wstring name; // file name only
    // The entry itself, never what a link points to: a link is neither a
    // folder nor a file here, whatever it names.
    bool isDirectory = false;
    bool isLink = false;    // a symbolic link (a reparse point on Windows)
    bool isSpecial = false; // a pipe, socket or device: no regular file
    std::uint64_t size = 0;
    std::int64_t modifiedUtcMs = 0;
    std::uint32_t attributes = 0;
};

// kInvalidAttributes on failure (last error 2 or 3).
std::uint32_t GetFileAttributes(const std::wstring& path);
// Only the read-only and hidden bits can be changed; other bits are ignored.
bool SetFileAttributes(const std::wstring& path, std::uint32_t attributes);

bool FileExists(const std::wstring& path);      // a non-folder entry exists
bool DirectoryExists(const std::wstring& path); // a folder exists
// The path names a link itself (its target is not looked at).
bool IsLink(const std::wstring& path);

bool DeleteFile(const std::wstring& path);
// Renames, across volumes too when kMoveCopyAllowed is given. Without
// kMoveReplaceExisting an existing destination fails with 183. A file
// renamed to a program's name ("*.exe") may run afterwards (who may read it
// may run it), as new files of that name are created runnable.
bool MoveFile(const std::wstring& from, const std::wstring& to, std::uint32_t flags = 0);
bool CopyFile(const std::wstring& from, const std::wstring& to, bool failIfExists);

// Single level: fails with 183 when it exists, 3 when the parent is missing.
bool CreateDirectory(const std::wstring& path);
// Creates every missing folder of the path; true when the folder exists after.
bool CreateDirectoryTree(const std::wstring& path);
// Removes an empty folder.
bool RemoveDirectory(const std::wstring& path);

// Enumerates the entries of the folder part of `pattern` whose names match
// its last segment ("*" and "?" wildcards, without regard to case as on
// Windows; "*.*" matches every name). "." and ".." are never listed. Each
// entry describes itself: links are reported as links, never followed.
// An empty result with last error 2 or 3 means nothing matched or no folder.
std::vector<FindEntry> FindFiles(const std::wstring& pattern);
// The wildcard rule of FindFiles on its own.
bool MatchWildcard(const std::wstring& pattern, const std::wstring& name);

// Bytes available to the caller on the volume holding `path`. The
// environment variable LAUNCHER_FREE_SPACE (a decimal byte count) stands in
// for the volume's answer, so that tests can run a machine short of space.
bool GetDiskFreeSpace(const std::wstring& path, std::uint64_t* freeBytes);

// Deletes the folder with everything below it; links are removed, never
// followed. True when nothing is left of it (also when it did not exist).
// A running program's file below it stays with the folders leading to it,
// the rest goes, and the result is false with 32.
bool DeleteFolderTree(const std::wstring& path);

// Path helpers. The separator of the platform, and the conversion of
// archive member and manifest paths ("\" separated) into native paths.
wchar_t PathSeparator();
std::wstring NativePath(const std::wstring& backslashPath);
// Folder part through the last separator ("/" or "\"), separator included.
std::wstring FolderOf(const std::wstring& path);
// Text after the last separator.
std::wstring FileNameOf(const std::wstring& path);
// Joins with exactly one separator between the parts.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);

} // namespace plat
