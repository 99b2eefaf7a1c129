#include "assistant/AssistantDataBuilder.h"

#include "assistant/AssistantProtocol.h"
#include "platform/FileSystem.h"

namespace assistant {

namespace {

std::wstring Link(const std::wstring& serverUrl, const std::optional<std::wstring>& attribute) {
    return attribute ? serverUrl + *attribute : std::wstring(L"empty");
}

} // namespace

bool BuildAssistantData(const AssistantDataSource& source, AssistantData* data,
                        std::wstring* logText) {
    *logText = L"FillDataForAssistant()";
    if (source.userName.empty()) {
        *logText += L" - can't get user name";
        return false;
    }
    *logText += L" username=\"" + source.userName + L"\"";
    *logText += L" serverurl=\"" + source.serverUrl + L"\"";
    *logText += L" [";

    *data = AssistantData();
    data->command = source.command;
    data->installFolder = source.installFolder;
    data->userName = source.userName;
    data->shortName = source.shortName;
    data->fullName = source.fullName;
    data->iconName = source.iconName.empty() ? source.fullName : source.iconName;
    data->regPath = source.regPath;
    data->helpLink = Link(source.serverUrl, source.helpLink);
    data->urlInfoAbout = Link(source.serverUrl, source.urlInfoAbout);
    data->urlUpdateInfo = Link(source.serverUrl, source.urlUpdateInfo);
    data->lnkDesktopIcon = source.desktopFolder;
    data->launcherName = source.launcherName;
    const bool move = source.command == eLauncherCmd_SetLongName;
    data->temp =
        move ? source.moveArguments : plat::JoinPath(source.installFolder, source.clientProcess);
    data->iconPrograms = move || source.programShortcuts;
    data->iconProgramsFolder = source.programFolderIcon;
    data->iconStartMenu = false;

    if (source.withShortcutEntries) {
        *logText += L"(";
        for (const AppListRecord& old : source.oldShortcuts) {
            if (old.name.empty())
                continue;
            data->icons.push_back(AssistantIcon{old.name, old.exec, false});
            *logText += L".";
        }
        *logText += L")";
        data->icons.push_back(AssistantIcon{data->iconName, source.launcherName, true});
        *logText += L".";
    }
    *logText += L"] - success";
    return true;
}

} // namespace assistant
