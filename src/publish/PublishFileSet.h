#pragma once
// The files of a client folder as the publisher sees them: the listing of
// the folder, the pattern rule of the description and the ignore rule of the
// manifest. Pure functions apart from the listing; the publishing thread
// calls them.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace publish {

struct PublishSourceFile {
    enum class Kind {
        Regular,
        Link,    // a symbolic link, never followed
        Special, // a pipe, socket or device
    };
    std::string path;      // relative to the client folder, "\" separated, UTF-8
    std::wstring fullPath; // native path
    std::uint64_t size = 0;
    Kind kind = Kind::Regular;
};

// Every file below `folder`, in any depth, sorted by path. Links are listed
// as links (a link to a folder is not descended into) and pipes, sockets and
// devices as special files; only regular files can be packed. False with a
// message when the folder or one of its subfolders cannot be listed.
bool ListClientFiles(const std::wstring& folder, std::vector<PublishSourceFile>* files,
                     std::string* error);

// True when the pattern takes the relative path ("\" or "/" separated,
// without regard to case): "*" and "?" match within one name, "**" any
// number of folders, and a pattern whose last name has no wildcard also takes
// the files below a folder of that name.
bool MatchPublishPattern(std::string_view pattern, std::string_view path);

// Why a "\" separated path cannot be a file's on Windows, or empty when it
// can: a name with a control character or one of < > : " | ? *, a device
// name (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, with or without an
// extension), or a name ending in a dot or a blank.
std::string WindowsNameProblem(std::string_view path);

// True when an ignore entry covers the relative path, as the launcher reads
// the entries: "*\NAME" is a file of that name anywhere, "*\*.EXT" any file
// with that extension, anything else one relative path; letter case does not
// matter.
bool IsIgnoredPath(const std::vector<std::string>& ignore, std::string_view path);

} // namespace publish
