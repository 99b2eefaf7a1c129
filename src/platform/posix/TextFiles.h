#pragma once
// Small text files of the POSIX backend (shortcuts, the user's folder
// settings, the pending-deletion list): read whole without following a link
// and within a bound, written to a temporary name and renamed into place,
// and split into lines. Private to the backend; any thread.

#include <cstddef>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace plat::posix {

// Reads a regular file of at most `limit` bytes; a link, anything else than
// a regular file or a larger file fails with last error 13, a missing one
// with 2.
bool ReadSmallFile(const std::string& path, std::size_t limit, std::string* contents);
// The same for a file named relative to an open folder.
bool ReadSmallFileAt(int folderFd, const std::string& name, std::size_t limit,
                     std::string* contents);

// Writes `contents` to a new file in the folder of `path` and renames it over
// `path` (a link there is replaced, never followed).
bool ReplaceFileContents(const std::string& path, const std::string& contents, mode_t mode);

// The lines of a text, each without its "\n" or "\r\n"; a last line without
// a line end counts too.
std::vector<std::string> SplitLines(std::string_view text);

} // namespace plat::posix
