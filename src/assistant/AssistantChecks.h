#pragma once
// What the elevated assistant accepts before it acts: well-formed names and
// paths in the record, and folders that may be worked on. The assistant
// runs as an administrator on data that came through a pipe, so nothing in
// the record is taken on trust. Pure except for the folder checks, which
// read the system's user list and special folders; main thread of the
// assistant (and the launcher's window thread, which checks the same way).

#include "assistant/AssistantRecord.h"
#include "platform/FolderTree.h"

#include <string>
#include <vector>

namespace assistant {

// A shortcut, product or file name: not empty, no separator ("/" or "\"),
// not "." or "..", no control character.
bool IsSafeName(const std::wstring& name);
// A registry path below a root: "\"-separated names, none empty, "." or
// "..", no control character, and not the system's uninstall list itself.
bool IsSafeRegistryPath(const std::wstring& path);
// An absolute path without "." or ".." names and without control characters.
bool IsSafeAbsolutePath(const std::wstring& path);
// A path below the installation folder: relative, no "." or ".." names, no
// control character ("\" or "/" between names).
bool IsSafeRelativePath(const std::wstring& path);
// No control character.
bool IsPlainText(const std::wstring& text);

// Why the record of this command is refused; empty when it may run. The
// fields each command reads are checked; `unterminated` lists the fields the
// decoder found without a terminator.
std::string CheckRecord(int command, const AssistantData& data,
                        const std::vector<std::string>& unterminated);

// The quoted values of the folder-move arguments: destination, old short
// name, old full name, old registry path, old icon name. False when fewer
// than five are there.
struct MoveArguments {
    std::wstring destination;
    std::wstring oldShortName;
    std::wstring oldFullName;
    std::wstring oldRegPath;
    std::wstring oldIconName;
};
bool ParseMoveArguments(const std::wstring& text, MoveArguments* arguments);

enum class FolderVerdict {
    Acceptable,
    NotAbsolute,
    Root,      // "/" or a folder directly below it
    Home,      // a user's home folder, or a folder above one
    Temporary, // the shared temporary folders, the launcher's own private folders
    System,    // inside the system's own trees (/usr, /etc, /var, ...)
    Special,   // a shell folder (desktop, menus, programs) or a folder above one
};
const char* FolderVerdictText(FolderVerdict verdict);

// Whether a folder (given as the system resolves it) may be worked on as an
// installation folder: created, given to the user, moved or deleted.
FolderVerdict ClassifyWorkFolder(const std::wstring& resolvedPath);

// Opens the folder without following a link at its end and classifies where
// it really is. Acceptable only when it also holds a file named
// `launcherName` where `mustHoldLauncher` asks for it; `why` says what was
// wrong.
bool OpenWorkFolder(const std::wstring& path, const std::wstring& launcherName,
                    bool mustHoldLauncher, plat::OpenFolder* folder, std::string* why);

} // namespace assistant
