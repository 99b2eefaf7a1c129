#include "update/ChangeActions.h"

#include "assistant/FolderUtils.h"
#include "log/LogImplW.h"
#include "platform/FileSystem.h"
#include "platform/FolderTree.h"
#include "platform/TextCase.h"
#include "platform/Unicode.h"

#include <tinyxml2.h>

#include <cstring>

namespace update {

namespace {

std::string Text(const tinyxml2::XMLElement* element, const char* name) {
    const char* value = element->Attribute(name);
    return value ? value : "";
}

std::int32_t Id(const tinyxml2::XMLElement* element) {
    int id = 0;
    element->QueryIntAttribute("id", &id);
    return id;
}

bool Flag(const tinyxml2::XMLElement* element, const char* name, bool fallback) {
    bool value = fallback;
    element->QueryBoolAttribute(name, &value);
    return value;
}

void Log(CLogImplW* log, const std::wstring& text) {
    if (log)
        log->Write(text, true);
}

// Every part of the path from the folder down that exists must be a plain
// file or folder, never a link.
bool LeadsThroughLink(const std::wstring& folder, const std::wstring& path) {
    std::wstring at = folder;
    std::size_t start = folder.size();
    while (start < path.size()) {
        std::size_t end = path.find(plat::PathSeparator(), start + 1);
        at = path.substr(0, end);
        if (plat::IsLink(at))
            return true;
        if (end == std::wstring::npos)
            break;
        start = end;
    }
    return false;
}

} // namespace

bool ReadLongNameAction(const tinyxml2::XMLElement* actions, LongNameAction* action) {
    const tinyxml2::XMLElement* element =
        actions ? actions->FirstChildElement("SETLONGNAME") : nullptr;
    if (!element)
        return false;
    LongNameAction read;
    read.id = Id(element);
    read.verStart = Text(element, "verStart");
    read.verEnd = Text(element, "verEnd");
    read.oldLongName = Text(element, "oldlongname");
    read.newLongName = Text(element, "newlongname");
    read.oldShortName = Text(element, "oldshortname");
    read.newShortName = Text(element, "newshortname");
    read.oldIconName = Text(element, "oldiconname");
    read.oldRegPath = Text(element, "oldregpath");
    read.applyToPortable = Flag(element, "apply_to_portable", true);
    if (read.oldLongName.empty() || read.newLongName.empty() || read.oldShortName.empty() ||
        read.newShortName.empty())
        return false;
    if (read.oldRegPath.empty() && read.oldShortName != read.newShortName)
        return false;
    *action = read;
    return true;
}

std::vector<RenameAction> ReadRenameActions(const tinyxml2::XMLElement* actions) {
    std::vector<RenameAction> list;
    if (!actions)
        return list;
    for (const tinyxml2::XMLElement* element = actions->FirstChildElement("RENAME"); element;
         element = element->NextSiblingElement("RENAME")) {
        RenameAction action;
        action.id = Id(element);
        action.verStart = Text(element, "verStart");
        action.verEnd = Text(element, "verEnd");
        action.name = Text(element, "name");
        action.toName = Text(element, "toname");
        list.push_back(action);
    }
    return list;
}

bool ReplaceLongName(const std::wstring& folderName, const std::wstring& oldName,
                     const std::wstring& newName, std::wstring* result) {
    if (oldName.empty())
        return false;
    const std::size_t at = plat::ToLowerAscii(folderName).find(plat::ToLowerAscii(oldName));
    if (at == std::wstring::npos)
        return false;
    *result = folderName.substr(0, at) + newName + folderName.substr(at + oldName.size());
    return true;
}

bool ResolveInsideFolder(const std::wstring& folder, const std::string& relative,
                         std::wstring* path, bool* isFolder) {
    const std::wstring text = plat::Utf8ToWide(relative);
    if (text.empty() || text[0] == L'\\' || text[0] == L'/')
        return false;
    *isFolder = text.back() == L'\\' || text.back() == L'/';
    std::wstring joined = folder;
    std::size_t parts = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of(L"\\/", start);
        std::wstring part = text.substr(start, end == std::wstring::npos ? end : end - start);
        if (part == L"..")
            return false;
        for (wchar_t c : part) {
            if (c < 0x20 || c == 0x7F || c == L':')
                return false;
        }
        if (!part.empty() && part != L".") {
            joined = plat::JoinPath(joined, part);
            ++parts;
        }
        if (end == std::wstring::npos)
            break;
        start = end + 1;
    }
    if (parts == 0)
        return false;
    *path = joined;
    return true;
}

const char* RenameOutcomeText(RenameOutcome outcome) {
    switch (outcome) {
    case RenameOutcome::Done:
        return "done";
    case RenameOutcome::NothingToDo:
        return "nothing to do";
    case RenameOutcome::SourceMissing:
        return "the source is missing, nothing changed";
    case RenameOutcome::Refused:
        return "refused: the name leaves the installation folder";
    case RenameOutcome::Failed:
        return "failed, the source stays";
    }
    return "";
}

RenameOutcome ApplyRename(const std::wstring& folder, const RenameAction& action) {
    std::wstring source, target;
    bool sourceIsFolder = false, targetIsFolder = false;
    if (!ResolveInsideFolder(folder, action.name, &source, &sourceIsFolder))
        return RenameOutcome::Refused;
    if (!action.toName.empty() &&
        !ResolveInsideFolder(folder, action.toName, &target, &targetIsFolder))
        return RenameOutcome::Refused;
    if (LeadsThroughLink(folder, source) || (!target.empty() && LeadsThroughLink(folder, target)))
        return RenameOutcome::Refused;
    if (sourceIsFolder) {
        if (!action.toName.empty())
            return RenameOutcome::NothingToDo;
        if (!plat::DirectoryExists(source))
            return RenameOutcome::SourceMissing;
        return plat::DeleteFolderTree(source) ? RenameOutcome::Done : RenameOutcome::Failed;
    }
    if (!plat::FileExists(source))
        return RenameOutcome::SourceMissing;
    if (action.toName.empty())
        return plat::DeleteFile(source) ? RenameOutcome::Done : RenameOutcome::Failed;
    if (targetIsFolder)
        return RenameOutcome::Refused;
    if (plat::ToLowerAscii(source) == plat::ToLowerAscii(target))
        return RenameOutcome::NothingToDo;
    if (!assistant::CreateFolderTree(plat::FolderOf(target)))
        return RenameOutcome::Failed;
    // The target is replaced in one step: a failure leaves it and the
    // source as they were.
    if (plat::FileExists(target))
        plat::SetFileAttributes(target, plat::kAttrNormal);
    if (!plat::MoveFile(source, target, plat::kMoveReplaceExisting | plat::kMoveCopyAllowed))
        return RenameOutcome::Failed;
    return RenameOutcome::Done;
}

bool ApplyRenameActions(const tinyxml2::XMLElement* actions, CChangeJournal& journal,
                        const std::wstring& folder, CLogImplW* log) {
    const std::vector<RenameAction> list = ReadRenameActions(actions);
    if (list.empty())
        return false;
    for (const RenameAction& action : list) {
        if (action.name.empty())
            continue;
        journal.Load();
        if (!journal.IsActionApplicable(action.id, action.verStart, action.verEnd))
            continue;
        const RenameOutcome outcome = ApplyRename(folder, action);
        Log(log, L"Rename action " + std::to_wstring(action.id) + L" '" +
                     plat::Utf8ToWide(action.name) + L"' -> '" + plat::Utf8ToWide(action.toName) +
                     L"': " + plat::Utf8ToWide(RenameOutcomeText(outcome)));
        journal.MarkActionApplied(action.id);
    }
    return true;
}

} // namespace update
