#include "app/LauncherRoles.h"

#include "config/ArchiveHelperRar.h"
#include "config/CrcFile.h"
#include "config/LauncherConfiguration.h"
#include "platform/Process.h"
#include "platform/Resources.h"

#include <cstdio>

// The launcher object and the assistant are built by the layers above the
// configuration. Until they exist each role reports plainly what is missing
// and fails, so no run ever pretends to have done its work.

namespace app {

namespace {

void ReportMissing(const char* what) {
    std::fprintf(stderr, "Launcher: %s is not built yet\n", what);
}

// Stands in for the launcher object until it is built: preinit really loads
// the embedded configuration, theme and languages (so the log opens as the
// configuration says), and init then fails with an "Installer Error" saying
// that the rest is missing.
class CPreinitOnlyLogic final : public ILauncherLogic {
public:
    bool Preinit() override {
        plat::ResourceData zip;
        config::CArchiveHelperRar& archive = config::CArchiveHolder::Instance();
        std::string error;
        if (!plat::FindResource("ZIP", 130, &zip))
            error = "the resource archive is missing";
        else if (!archive.OpenArchive(zip.data, zip.size))
            error = "the resource archive cannot be read";
        else if (!config::LoadLauncherConfiguration(archive, &configuration_, &error))
            error = "configuration: " + error;
        if (!error.empty())
            std::fprintf(stderr, "Launcher: %s\n", error.c_str());
        return error.empty();
    }
    bool IsLauncherLogEnabled() const override { return configuration_.logLauncher; }
    void SetOsInfo(const plat::OsInfo&) override {}
    void SetLog(CLogImplW*) override {}
    void SetCommandLineState(const CommandLineState&) override {}
    bool Init(int, const std::wstring&, LogicFailure* failure) override {
        failure->kind = LogicFailure::Kind::Text;
        failure->text = "CLogic::init: the launcher logic is not built yet";
        return false;
    }
    bool Run(LogicFailure*) override { return false; }
    void Uninit() override {}

private:
    config::LauncherConfiguration configuration_;
};

} // namespace

LauncherRoles BuiltInRoles() {
    LauncherRoles roles;
    roles.createLogic = [] { return std::make_unique<CPreinitOnlyLogic>(); };
    roles.writeCrcFile = [] { return config::WriteCrcFile(); };
    roles.runAssistant = [](WindowHandle) { ReportMissing("the elevated assistant"); };
    roles.notifyNotAdmin = [](WindowHandle) {
        ReportMissing("the window message layer (assistant not-admin notice)");
    };
    roles.isAdministrator = [] { return plat::IsProcessElevated(); };
    return roles;
}

} // namespace app
