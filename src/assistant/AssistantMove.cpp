// SetLongName: move the installation to a new folder and register it anew,
// under the launcher's current identity.

#include "assistant/Assistant.h"

#include "assistant/AssistantChecks.h"
#include "assistant/AssistantProtocol.h"
#include "assistant/InstallDirList.h"
#include "assistant/Shortcuts.h"
#include "base/Strings.h"
#include "platform/FileSystem.h"
#include "platform/FolderTree.h"
#include "platform/ProcessList.h"
#include "platform/Registry.h"

#include <chrono>
#include <thread>

namespace assistant {

namespace {

constexpr int kMoveAttempts = 10;
constexpr int kMovePauseMs = 100;
// A parent this short is a root: nothing is moved out of it.
constexpr std::size_t kMinParentLength = 2;

std::wstring WithoutTrailingSeparator(std::wstring path) {
    while (path.size() > 1 && (path.back() == L'/' || path.back() == L'\\'))
        path.pop_back();
    return path;
}

} // namespace

void CAssistant::SetLongName() {
    Log(L"SetLongName - begin");
    Log(data_.temp);
    MoveArguments move;
    ParseMoveArguments(data_.temp, &move); // checked with the record
    const std::wstring source = WithoutTrailingSeparator(data_.installFolder);
    const std::wstring destination = WithoutTrailingSeparator(move.destination);
    const std::wstring parent = plat::FolderOf(source);

    plat::OpenFolder sourceFolder;
    if (!OpenFolderFor(source, true, &sourceFolder)) {
        SetError(kCntCreateDir);
        return;
    }
    const bool guest = sourceFolder.HoldsFile(L"guest.dat");
    sourceFolder.Close();
    Log(L"sInstallFolderSrc = " + source);
    Log(L"sInstallFolderDst = " + destination);
    Log(L"sOldShortName = " + move.oldShortName);
    Log(L"sNewShortName = " + data_.shortName);
    Log(L"sOldLongName = " + move.oldFullName);
    Log(L"sNewLongName = " + data_.fullName);
    Log(L"sOldRegPath = " + move.oldRegPath);
    Log(L"sNewRegPath = " + data_.regPath);
    Log(L"sOldIconName = " + move.oldIconName);
    Log(L"sNewIconName = " + data_.iconName);
    Log(L"sCutInstallFolder = " + parent);

    if (source != destination && parent.size() > kMinParentLength) {
        FolderVerdict verdict = ClassifyWorkFolder(plat::ResolvedPath(destination));
        if (verdict != FolderVerdict::Acceptable) {
            Log(L"Refused '" + destination + L"': the folder is " +
                base::Utf8ToWide(FolderVerdictText(verdict)));
            SetError(kCntCreateDir);
            return;
        }
        plat::RemoveDirectory(destination); // only an empty one goes
        if (plat::PathEntryExists(destination)) {
            // Moving into a folder that holds something would mix two trees;
            // nothing is moved and nothing re-registered.
            Log(L"MoveFiles: \"" + destination + L"\" exists and is not empty");
            SetError(kCntCreateDir);
            return;
        }
        bool moved = false;
        for (int attempt = 0; attempt < kMoveAttempts && !moved; ++attempt) {
            if (attempt > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(kMovePauseMs));
            moved = plat::MoveFile(source, destination);
        }
        Log(L"MoveFiles from \"" + source + L"\" to \"" + destination + L"\" result " +
            (moved ? L"ok" : L"fail"));
        if (!moved) {
            SetError(kCntCreateDir);
            return;
        }
    }

    int index = -1;
    if (!move.oldRegPath.empty()) {
        CInstallDirList oldList(move.oldRegPath);
        int oldIndex = oldList.Find(source);
        if (oldIndex >= 0) {
            Log(L"delete old uninstall information");
            std::wstring oldKey = UninstallKeyPath(move.oldFullName, oldIndex);
            Log(L"SHDeleteKey: " + oldKey);
            plat::DeleteRegistryTree(plat::RegistryRoot::LocalMachine, oldKey);
            Log(L"DeleteInstallDirectoryes: " + source);
            oldList.Remove(source);
        }
    } else {
        Log(base::FormatW(L"RenameInstallDirectoryes: index = %d", index));
        CInstallDirList list(data_.regPath);
        index = list.Rename(source, destination);
    }

    SendProgress(80, true);
    Log(L"deleteAllShortcut");
    // Shortcuts made before the move point into the old folder.
    DeleteAllShortcuts(plat::JoinPath(destination, launcherName_), move.oldFullName);
    if (source != destination)
        DeleteAllShortcuts(plat::JoinPath(source, launcherName_), move.oldFullName);

    SendProgress(90, true);
    data_.installFolder = destination;
    if (!guest)
        InstallClient(index);
    SendProgress(100, true);
    Log(L"SetLongName - end");
}

} // namespace assistant
