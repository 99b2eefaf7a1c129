// CLogic: the one-time change actions after an update (the folder move and
// the renames, judged against the change journal), and the migration of an
// installation still registered under an earlier product identity. Both
// moves are the work of a copy of the launcher started with "/setlongname".

#include "logic/Logic.h"

#include "assistant/FolderUtils.h"
#include "assistant/InstallDirList.h"
#include "assistant/LauncherFiles.h"
#include "assistant/MoveCommand.h"
#include "base/Strings.h"
#include "config/ConfigKeys.h"
#include "config/XmlQuery.h"
#include "logic/LauncherMessages.h"
#include "platform/FileSystem.h"
#include "platform/FolderTree.h"
#include "platform/Folders.h"
#include "platform/Process.h"
#include "platform/TempFileName.h"
#include "platform/TextCase.h"
#include "update/ChangeActions.h"
#include "update/ChangeJournal.h"

namespace {

// Shorter folder texts cannot name an installation.
constexpr std::size_t kMinInstallFolderLength = 4;

std::wstring W(const std::string& text) {
    return base::Utf8ToWide(text);
}

std::wstring StripSeparator(std::wstring path) {
    while (path.size() > 1 && (path.back() == L'/' || path.back() == L'\\'))
        path.pop_back();
    return path;
}

} // namespace

std::wstring CLogic::ClientFileName() const {
    return plat::NativePath(W(settings_.clientProcess));
}

bool CLogic::ApplyActions() {
    Log(L"Apply actions (sed.exe)");
    const tinyxml2::XMLElement* actions =
        config::QueryElement(configuration_.configDoc.Root(), config::keys::kActions);
    if (!actions)
        return false;
    const std::wstring folder = cycle_.InstallFolder();
    update::CChangeJournal journal(folder, ClientFileName());
    bool needExit = false;
    if (folder.size() >= kMinInstallFolderLength) {
        if (journal.Load() == update::CChangeJournal::LoadState::Damaged) {
            // Which actions ran is unknown: running them all again could
            // delete or overwrite files of the current client. None runs;
            // the journal starts again from the client's version.
            Log(base::FormatW(L"changes.dat is damaged (%llu bytes): taken as empty, no action "
                              L"is carried out in this run",
                              static_cast<unsigned long long>(journal.DamagedSize())));
            if (!journal.UpdateVersion())
                Log(L"  .. the client's version is unknown: changes.dat stays as it is");
            return false;
        }
        needExit = ApplyLongNameAction(actions, journal);
        if (!needExit) {
            update::ApplyRenameActions(actions, journal, folder, log_);
            journal.UpdateVersion();
        }
    }
    if (needExit)
        Log(L"ApplyActions() - need exit");
    return needExit;
}

bool CLogic::ApplyLongNameAction(const tinyxml2::XMLElement* actions,
                                 update::CChangeJournal& journal) {
    const std::wstring folder = cycle_.InstallFolder();
    update::LongNameAction action;
    if (folder.size() < kMinInstallFolderLength || !update::ReadLongNameAction(actions, &action))
        return false;
    journal.Load();
    if (settings_.runMode == rmInstall) {
        // A fresh installation has the current names already.
        journal.MarkActionApplied(action.id);
        return false;
    }
    if (!journal.IsActionApplicable(action.id, action.verStart, action.verEnd))
        return false;
    if (settings_.skipMoves) {
        Log(L"The folder move failed before: it waits for a later start");
        return false;
    }
    const std::wstring name = plat::FileNameOf(folder);
    const std::wstring parent = plat::FolderOf(folder);
    if (settings_.portable &&
        !(action.applyToPortable &&
          plat::ToLowerAscii(name) == plat::ToLowerAscii(W(action.oldLongName)))) {
        journal.MarkActionApplied(action.id);
        return false;
    }
    std::wstring newName;
    if (!update::ReplaceLongName(name, W(action.oldLongName), W(action.newLongName), &newName))
        return false;
    const std::wstring destination = parent + newName;
    assistant::MoveRequest request{folder,
                                   destination,
                                   W(action.oldShortName),
                                   W(action.oldLongName),
                                   W(action.oldRegPath),
                                   W(action.oldIconName),
                                   action.id};
    return StartMoveProcess(request);
}

bool CLogic::StartMoveProcess(const assistant::MoveRequest& request) {
    // A folder that holds something already is never moved onto.
    if (plat::PathEntryExists(request.destination) &&
        !assistant::IsFolderEmpty(request.destination)) {
        Log(L"The move to \"" + request.destination + L"\" waits: the folder is not empty");
        return false;
    }
    const std::wstring temp = plat::GetTempFolder();
    std::wstring name;
    if (temp.empty() || !plat::MakeTempFileName(temp, L"RNM", &name)) {
        Log(L"The move waits: no temporary file in \"" + temp + L"\"");
        return false;
    }
    assistant::RegisterForDeletion(name);
    const std::wstring copy = name.substr(0, name.rfind(L'.')) + L".exe";
    plat::ProcessStartInfo info;
    std::string why;
    if (!assistant::BuildMoveCommandLine(copy, request, &info.commandLine, &why)) {
        // The moving copy could not carry these values whole: the move waits
        // for names that fit, and the update finishes as usual.
        Log(L"The move to \"" + request.destination + L"\" is refused: " + W(why));
        return false;
    }
    if (!assistant::CopyFileWhole(LauncherExecutable(), copy)) {
        Log(base::FormatW(L"The move waits: the launcher cannot be copied to \"%ls\" (error %u)",
                          copy.c_str(), static_cast<unsigned>(plat::GetLastError())));
        return false;
    }
    assistant::RegisterForDeletion(copy);
    info.workingFolder = temp;
    Log(L"Start the move: " + info.commandLine);
    plat::Process process;
    if (!process.Start(info)) {
        Log(base::FormatW(L"The move waits: the copy did not start (error %u)",
                          static_cast<unsigned>(plat::GetLastError())));
        return false;
    }
    process.Close();
    return true;
}

void CLogic::MovePreferences(const std::wstring& newShortName, const std::wstring& oldShortName) {
    const std::wstring own = StripSeparator(plat::FolderOf(LauncherExecutable()));
    const std::wstring relative = plat::NativePath(L"\\preferences\\prefs.cs");
    const std::wstring source = own + plat::PathSeparator() + oldShortName + relative;
    const std::wstring target = own + plat::PathSeparator() + newShortName + relative;
    if (oldShortName.empty() || newShortName == oldShortName || !plat::FileExists(source) ||
        !assistant::CreateFolderTree(plat::FolderOf(target)))
        return;
    // The target takes the source's place in one step.
    if (plat::FileExists(target))
        plat::SetFileAttributes(target, plat::kAttrNormal);
    if (plat::MoveFile(source, target, plat::kMoveReplaceExisting | plat::kMoveCopyAllowed))
        Log(L"Preferences carried over from " + oldShortName + L" to " + newShortName);
}

bool CLogic::RunMigration() {
    const std::wstring own = StripSeparator(plat::FolderOf(LauncherExecutable()));
    const std::wstring shortName = W(settings_.shortName);
    if (plat::FileExists(plat::JoinPath(own, L"guest.dat"))) {
        for (const config::Migration& entry : settings_.migrations)
            MovePreferences(shortName, W(entry.shortName));
        return false;
    }
    for (const config::Migration& entry : settings_.migrations) {
        assistant::CInstallDirList list(W(entry.regPath));
        if (list.Find(own) == -1)
            continue;
        Log(L"The installation is registered under " + W(entry.fullName) + L": it moves");
        MovePreferences(shortName, W(entry.shortName));
        assistant::MoveRequest request{own,
                                       plat::FolderOf(own) + settings_.fullNameW,
                                       W(entry.shortName),
                                       W(entry.fullName),
                                       W(entry.regPath),
                                       W(entry.iconName),
                                       0};
        return StartMoveProcess(request);
    }
    return false;
}

void CLogic::RecordMoveInJournal(const std::wstring& folder) {
    // The trailing number of the move's arguments is the action's id.
    const std::wstring& text = settings_.argumentText;
    std::size_t end = text.find_last_not_of(L" \t");
    if (end == std::wstring::npos)
        return;
    std::size_t start = text.find_last_not_of(L"-0123456789", end);
    start = start == std::wstring::npos ? 0 : start + 1;
    if (start > end)
        return;
    const auto id = static_cast<std::int32_t>(std::wcstol(text.c_str() + start, nullptr, 10));
    update::CChangeJournal journal(folder, ClientFileName());
    journal.Load();
    journal.MarkActionApplied(id);
    if (id != 0)
        Log(base::FormatW(L"The move is recorded in changes.dat (action %d)", id));
}

bool CLogic::RestartOldFolder() {
    const std::wstring launcher =
        plat::JoinPath(StripSeparator(settings_.workFolder), assistant::kLauncherFileName);
    if (settings_.workFolder.empty() || !plat::FileExists(launcher))
        return false;
    plat::ProcessStartInfo info;
    info.commandLine = L"\"" + launcher + L"\" /skiptest";
    info.workingFolder = plat::GetTempFolder();
    Log(L"SetLongName failed - run launcher from: " + info.commandLine);
    plat::Process process;
    if (!process.Start(info))
        return false;
    process.Close();
    return true;
}
