#pragma once
// The command line of the launcher copy that moves an installation folder
// ("/setlongname"): the copy's path, the folder, the destination, the old
// identity and the id of the action it carries out. The copy hands the
// folder and the arguments after it to the elevated assistant in the
// record's fixed text fields, so a line whose values do not fit them, or
// whose values would break its quoting, is refused whole rather than cut.
// Free functions; any thread.

#include <cstdint>
#include <string>

namespace assistant {

struct MoveRequest {
    std::wstring folder;      // the installation folder to move
    std::wstring destination; // the folder it becomes
    std::wstring oldShortName, oldFullName, oldRegPath, oldIconName;
    std::int32_t id = 0; // the action recorded once the move is done; 0 records nothing
};

// The arguments after the folder, as the moving copy passes them on:
// "\"destination\" \"short\" \"full\" \"regpath\" \"icon\" id".
std::wstring MoveArgumentsText(const MoveRequest& request);

// The whole line: the copy's path in double quotes, "/setlongname", the
// folder and the arguments. False, with the reason in `why`, when a value
// holds a double quote or a control character or ends in a backslash (it
// would not split back), or when the folder or the arguments are longer
// than the assistant's record takes.
bool BuildMoveCommandLine(const std::wstring& copy, const MoveRequest& request, std::wstring* line,
                          std::string* why);

} // namespace assistant
