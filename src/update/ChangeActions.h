#pragma once
// The one-time change actions of the configuration's actions element: the
// folder move (SETLONGNAME) read and judged here and carried out by the
// launcher, and the file renames and deletions (RENAME) carried out here.
// Each action is tied to a client-version range and an id that the change
// journal (ChangeJournal.h) records once it ran. Runs on the launcher
// window's thread.
//
// A RENAME only ever works inside the installation folder: names that are
// absolute, climb out with "..", carry a drive or lead through a link are
// refused, and a rename whose source is missing changes nothing (the target
// is never deleted for a source that is not there).

#include "update/ChangeJournal.h"

#include <cstdint>
#include <string>
#include <vector>

class CLogImplW;

namespace tinyxml2 {
class XMLElement;
} // namespace tinyxml2

namespace update {

struct LongNameAction {
    std::int32_t id = 0;
    std::string verStart, verEnd;
    std::string oldLongName, newLongName;
    std::string oldShortName, newShortName;
    std::string oldIconName, oldRegPath;
    bool applyToPortable = true;
};

struct RenameAction {
    std::int32_t id = 0;
    std::string verStart, verEnd;
    std::string name;   // relative path; a trailing "\" marks a folder
    std::string toName; // empty: delete
};

// The first SETLONGNAME child, when it is valid: every required text present
// and not empty, and either an old registry path or an unchanged short name.
bool ReadLongNameAction(const tinyxml2::XMLElement* actions, LongNameAction* action);
// Every RENAME child in document order (those without a name included: they
// are skipped when applied).
std::vector<RenameAction> ReadRenameActions(const tinyxml2::XMLElement* actions);

// The folder name with the first occurrence of `oldName` (ignoring ASCII
// case) replaced by `newName`; false when it does not occur.
bool ReplaceLongName(const std::wstring& folderName, const std::wstring& oldName,
                     const std::wstring& newName, std::wstring* result);

// A relative path of an action as a path inside the folder: "\" and "/"
// separate, empty parts and "." are dropped; absolute paths, drive letters,
// ".." parts, control characters and a path that names the folder itself
// are refused. `isFolder` tells whether it ended with a separator.
bool ResolveInsideFolder(const std::wstring& folder, const std::string& relative,
                         std::wstring* path, bool* isFolder);

enum class RenameOutcome {
    Done,
    NothingToDo,   // the same path, or a folder given a new name
    SourceMissing, // nothing was changed
    Refused,       // a name that leaves the folder or leads through a link
    Failed,        // the file operation failed: the source stays
};
const char* RenameOutcomeText(RenameOutcome outcome);
RenameOutcome ApplyRename(const std::wstring& folder, const RenameAction& action);

// Applies every applicable RENAME and records each id (whatever the file
// operation's outcome); false when there is none.
bool ApplyRenameActions(const tinyxml2::XMLElement* actions, CChangeJournal& journal,
                        const std::wstring& folder, CLogImplW* log);

} // namespace update
