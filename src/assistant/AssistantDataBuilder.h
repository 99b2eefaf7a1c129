#pragma once
// Filling the data block for a command from the launcher's state: the links
// of the uninstall entry, the shortcut name, the client path or the move's
// arguments, and the shortcut entries (old ones deleted, the launcher's
// added). Pure; the launcher's window thread.

#include "assistant/AppList.h"
#include "assistant/AssistantRecord.h"

#include <optional>
#include <string>
#include <vector>

namespace assistant {

struct AssistantDataSource {
    int command = 0;
    std::wstring installFolder;
    std::wstring userName; // empty: it could not be had
    std::wstring shortName;
    std::wstring fullName;
    std::wstring iconName; // empty: the full name names the shortcuts
    std::wstring regPath;
    std::wstring serverUrl;
    // The uninstall links' attributes of the configuration; absent ones give
    // the text "empty".
    std::optional<std::wstring> helpLink, urlInfoAbout, urlUpdateInfo;
    std::wstring desktopFolder;
    std::wstring launcherName;
    std::wstring clientProcess;
    // The folder-move arguments, sent instead of the client path.
    std::wstring moveArguments;
    bool programShortcuts = false;    // the wizard's check box
    bool programFolderIcon = false;   // the launcher's program-folder option
    bool withShortcutEntries = false; // standard and folder-move runs
    std::vector<AppListRecord> oldShortcuts;
};

// Fills `data` and the log text ("FillDataForAssistant() username=... -
// success"). False when the user name is missing (the text then ends
// " - can't get user name").
bool BuildAssistantData(const AssistantDataSource& source, AssistantData* data,
                        std::wstring* logText);

} // namespace assistant
