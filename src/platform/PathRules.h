#pragma once
// How native paths are spelled here, and which of the system's folders a
// launcher must never take as an installation folder. The elevated checks
// judge folders by these rules on every system. Pure functions except
// GetSystemFolderRules, which asks the system where its folders are; any
// thread.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

// The separator the launcher writes is PathSeparator() (FileSystem.h).
// True for a character that separates names in a native path ("/" here;
// "\" and "/" on Windows).
bool IsPathSeparator(wchar_t c);

// The length of the root of an absolute native path: 1 for "/", 3 for
// "C:\", through the share's separator for "\\server\share\". 0 when the
// path is not absolute or names a device rather than a file.
std::size_t AbsoluteRootLength(std::wstring_view path);

// True when a name of a native path holds a character no name may hold
// here: "\" (the separator of archive members and manifests, so never part
// of a name the launcher made), on Windows the characters the file system
// refuses and ":" (which would name a stream).
bool HasReservedPathCharacter(std::wstring_view name);

// A form of the path in which two spellings of one folder compare equal as
// text: separators made one, trailing separators dropped (the root's kept),
// and on Windows letters folded to one case.
std::wstring PathKey(std::wstring_view path);

// The system's folders an installation folder must stay out of.
struct SystemFolderRules {
    // The system's own trees: refused with every folder below them.
    std::vector<std::wstring> systemTrees;
    // Trees inside those where games may nevertheless live.
    std::vector<std::wstring> gameTrees;
    // Temporary folders every user shares.
    std::vector<std::wstring> sharedTemporary;
    // Folders whose every child is some user's home folder.
    std::vector<std::wstring> homeHolders;
};
SystemFolderRules GetSystemFolderRules();

} // namespace plat
