#include "assistant/MoveCommand.h"

#include "assistant/AssistantRecord.h"
#include "base/Strings.h"
#include "platform/Unicode.h"

#include <cstring>

namespace assistant {

namespace {

// UTF-16 units of the record's text field, its terminator included.
std::size_t FieldChars(const char* name) {
    for (const TextField& field : AssistantTextFields())
        if (std::strcmp(field.name, name) == 0)
            return field.chars;
    return 0;
}

bool FitsField(const std::wstring& text, const char* name) {
    return plat::WideToUtf16Le(text).size() / 2 + 1 <= FieldChars(name);
}

// A double quote would end the value early, and a backslash before the
// closing quote would escape it; control characters have no place in a path
// or a name.
bool Quotable(const std::wstring& value) {
    if (!value.empty() && value.back() == L'\\')
        return false;
    for (wchar_t c : value)
        if (c == L'"' || c < 0x20 || c == 0x7F)
            return false;
    return true;
}

} // namespace

std::wstring MoveArgumentsText(const MoveRequest& request) {
    return base::FormatW(L"\"%ls\" \"%ls\" \"%ls\" \"%ls\" \"%ls\" %d", request.destination.c_str(),
                         request.oldShortName.c_str(), request.oldFullName.c_str(),
                         request.oldRegPath.c_str(), request.oldIconName.c_str(),
                         static_cast<int>(request.id));
}

bool BuildMoveCommandLine(const std::wstring& copy, const MoveRequest& request, std::wstring* line,
                          std::string* why) {
    for (const std::wstring* value :
         {&copy, &request.folder, &request.destination, &request.oldShortName, &request.oldFullName,
          &request.oldRegPath, &request.oldIconName}) {
        if (!Quotable(*value)) {
            *why = "a value holds a double quote or a control character, or ends in a backslash";
            return false;
        }
    }
    if (request.folder.empty() || request.destination.empty()) {
        *why = "the folder or the destination is empty";
        return false;
    }
    const std::wstring arguments = MoveArgumentsText(request);
    if (!FitsField(request.folder, "chInstallFolder")) {
        *why = "the folder's path is longer than the assistant takes";
        return false;
    }
    if (!FitsField(arguments, "chTemp")) {
        *why = "the move's arguments are longer than the assistant takes";
        return false;
    }
    // The line itself has no bound of its own here: it is never cut.
    *line = L"\"" + copy + L"\" /setlongname \"" + request.folder + L"\" " + arguments;
    return true;
}

} // namespace assistant
