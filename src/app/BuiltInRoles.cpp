#include "app/LauncherRoles.h"

#include "config/CrcFile.h"
#include "logic/LauncherMessages.h"
#include "logic/Logic.h"
#include "platform/Process.h"

#include <cstdio>

// The assistant is built by a later layer. Until it exists its role reports
// plainly that it is missing, so no run ever pretends to have done its work.

namespace app {

namespace {

void ReportMissing(const char* what) {
    std::fprintf(stderr, "Launcher: %s is not built yet\n", what);
}

} // namespace

LauncherRoles BuiltInRoles() {
    LauncherRoles roles;
    roles.createLogic = [] { return std::make_unique<CLogic>(); };
    roles.writeCrcFile = [] { return config::WriteCrcFile(); };
    roles.runAssistant = [](WindowHandle) { ReportMissing("the elevated assistant"); };
    roles.notifyNotAdmin = [](WindowHandle window) {
        plat::PostMessage(window, eWindowsMessage_LauncherAssistantNotAdmin, 0, 0);
    };
    roles.isAdministrator = [] { return plat::IsProcessElevated(); };
    return roles;
}

} // namespace app
