#include "app/LauncherRoles.h"

#include "platform/Process.h"

#include <cstdio>

// The launcher object, the checksum writer and the assistant are built by the
// layers above the foundation. Until they exist each role reports plainly that
// it is missing and fails, so no run ever pretends to have done its work.

namespace app {

namespace {

void ReportMissing(const char* what) {
    std::fprintf(stderr, "Launcher: %s is not built yet\n", what);
}

// Stands in for the launcher object: its configuration loader is missing, so
// preinit fails and the entry point shows its "Installer Error" box.
class CMissingLogic final : public ILauncherLogic {
public:
    bool Preinit() override {
        ReportMissing("the launcher object (configuration, update cycle, dialog)");
        return false;
    }
    bool IsLauncherLogEnabled() const override { return false; }
    void SetOsInfo(const plat::OsInfo&) override {}
    void SetLog(CLogImplW*) override {}
    void SetCommandLineState(const CommandLineState&) override {}
    bool Init(int, const std::wstring&, LogicFailure* failure) override {
        failure->kind = LogicFailure::Kind::Text;
        failure->text = "CLogic::init is not built yet";
        return false;
    }
    bool Run(LogicFailure*) override { return false; }
    void Uninit() override {}
};

} // namespace

LauncherRoles BuiltInRoles() {
    LauncherRoles roles;
    roles.createLogic = [] { return std::make_unique<CMissingLogic>(); };
    roles.writeCrcFile = [] {
        ReportMissing("the crc.txt writer");
        return false;
    };
    roles.runAssistant = [](WindowHandle) { ReportMissing("the elevated assistant"); };
    roles.notifyNotAdmin = [](WindowHandle) {
        ReportMissing("the window message layer (assistant not-admin notice)");
    };
    roles.isAdministrator = [] { return plat::IsProcessElevated(); };
    return roles;
}

} // namespace app
