#include "app/LauncherRoles.h"

#include "assistant/Assistant.h"
#include "assistant/AssistantProtocol.h"
#include "config/CrcFile.h"
#include "logic/Logic.h"
#include "platform/Process.h"

namespace app {

LauncherRoles BuiltInRoles() {
    LauncherRoles roles;
    roles.createLogic = [] { return std::make_unique<CLogic>(); };
    roles.writeCrcFile = [] { return config::WriteCrcFile(); };
    roles.runAssistant = [](WindowHandle window) { assistant::RunAssistantProcess(window); };
    roles.notifyNotAdmin = [](WindowHandle window) {
        plat::PostMessage(window, assistant::eWindowsMessage_LauncherAssistantNotAdmin, 0, 0);
    };
    roles.isAdministrator = [] { return plat::IsProcessElevated(); };
    return roles;
}

} // namespace app
