#include "app/EntryPoint.h"

#include "base/Strings.h"
#include "log/LauncherLogPath.h"
#include "log/LogImplW.h"
#include "log/ProcessLog.h"
#include "platform/CommandLine.h"
#include "platform/MessageBox.h"
#include "platform/NamedMutex.h"
#include "platform/PendingDeletion.h"
#include "platform/Process.h"

#include <cwchar>

namespace app {

namespace {

constexpr const wchar_t* kInstallerError = L"Installer Error";

// An "Installer Error" box with its log line.
void InstallerError(CLogImplW& log, const std::string& text) {
    plat::ShowErrorBox(kInstallerError, base::Utf8ToWide(text));
    log.Write(base::Utf8ToWide("Installer Error: " + text), true);
}

void WriteLogHeader(CLogImplW& log, const std::wstring& commandLine, const plat::OsInfo& os,
                    int rc) {
    plat::FileVersion v = plat::GetOwnFileVersion();
    log.WriteBanner(L"launcher started", true);
    log.Write(base::FormatW(L"v%d.%d.%d.%d", v.major, v.minor, v.build, v.revision), true);
    log.WriteTimeBanner();
    log.Write(L"\nOS: " + os.description + L"\n", true);
    log.Write(L"Command line:", true);
    log.Write(commandLine, true);
    log.Write(L"Parse command line", true);
    log.Write(L"g_rc = ", false);
    log.Write(base::Utf8ToWide(RunCommandLogName(rc)), true);
}

// Uninit with nothing escaping it; false when it failed half-way.
bool UninitGuarded(CLogImplW& log, ILauncherLogic& logic) {
    try {
        logic.Uninit();
        return true;
    } catch (...) {
        log.Write(L"pLogic->uninit() failed", true);
        return false;
    }
}

// The unknown failure's box and log line. `uninit` first, unless the
// failure came from uninit itself: whatever failed may have left workers
// running and state unsaved, and uninit stops them and saves the client
// update data.
void ReportUnknown(CLogImplW& log, ILauncherLogic* uninit) {
    if (uninit)
        UninitGuarded(log, *uninit);
    plat::ShowErrorBox(L"error", L"unknown");
    log.Write(L"Installer Error: unknown", true);
}

// Reports a failure of the guarded section as its kind asks. `phaseCode` is
// the code a plain false result of the phase stands for (1 init, 2 run).
void ReportFailure(CLogImplW& log, ILauncherLogic& logic, const LogicFailure& failure,
                   int phaseCode) {
    using Kind = LogicFailure::Kind;
    int code = failure.kind == Kind::None ? phaseCode : failure.code;
    switch (failure.kind) {
    case Kind::Text:
        InstallerError(log, failure.text);
        return;
    case Kind::Unknown:
        ReportUnknown(log, &logic);
        return;
    case Kind::None:
    case Kind::Code:
        if (code == 1) {
            InstallerError(log, "pLogic->init");
        } else if (code == 2) {
            UninitGuarded(log, logic);
            InstallerError(log, "pLogic->run");
        }
        return;
    }
}

LogicFailure UnknownFailure() {
    LogicFailure failure;
    failure.kind = LogicFailure::Kind::Unknown;
    return failure;
}

// The guarded section: init, run and uninit with their log lines. A failure
// that escapes a phase as an exception (an allocation or a thread that could
// not be had) is the unknown failure; it never ends the process.
void DriveLogic(CLogImplW& log, ILauncherLogic& logic, const CommandLineState& state) {
    CommandLineState copy = state;
    copy.runByClient = state.runByClient || state.runByClientCritical;
    logic.SetCommandLineState(copy);
    if (state.fast)
        log.Write(L"Use fast update mode", true);

    LogicFailure failure;
    bool ok = false;
    try {
        ok = logic.Init(state.rc, state.argument, &failure);
    } catch (...) {
        failure = UnknownFailure();
    }
    if (!ok) {
        ReportFailure(log, logic, failure, 1);
        return;
    }
    log.Write(L"pLogic->init() succeed", true);
    failure = LogicFailure();
    try {
        ok = logic.Run(&failure);
    } catch (...) {
        ok = false;
        failure = UnknownFailure();
    }
    if (!ok) {
        ReportFailure(log, logic, failure, 2);
        return;
    }
    log.Write(L"pLogic->run() succeed", true);
    if (!UninitGuarded(log, logic)) {
        ReportUnknown(log, nullptr);
        return;
    }
    log.Write(L"pLogic->uninit() succeed", true);
}

// The assistant role: only a command line of exactly two arguments names the
// launcher window.
void RunAssistantRole(const std::wstring& commandLine, const LauncherRoles& roles) {
    std::vector<std::wstring> arguments = plat::SplitArguments(commandLine);
    if (arguments.size() != 2)
        return;
    WindowHandle window = std::wcstoull(arguments[1].c_str(), nullptr, 10);
    if (roles.isAdministrator())
        roles.runAssistant(window);
    else
        roles.notifyNotAdmin(window);
}

bool IsUninstallCommand(int rc) {
    return rc == rcUninstall || rc == rcUninstallFrom || rc == rcUninstallGuest;
}

} // namespace

int RunLauncher(const std::wstring& commandLine, const LauncherRoles& roles,
                const EntryEnvironment& environment) {
    CommandLineState state = ParseCommandLine(commandLine, environment.matching);
    if (state.rc == rcCrc) {
        roles.writeCrcFile();
        return 0;
    }
    if (state.assistant) {
        RunAssistantRole(commandLine, roles);
        return 0;
    }

    std::unique_ptr<ILauncherLogic> logic;
    try {
        logic = roles.createLogic ? roles.createLogic() : nullptr;
    } catch (...) {
        logic.reset();
    }
    if (!logic) {
        plat::ShowErrorBox(kInstallerError, L"pLogic: create");
        return 1;
    }
    bool preinitOk = false;
    try {
        preinitOk = logic->Preinit();
    } catch (...) {
        preinitOk = false;
    }

    CLogImplW log;
    if (preinitOk && logic->IsLauncherLogEnabled()) {
        log.Open(launcherlog::MakeLogPath(environment.executablePath));
        log.SetAutoFlush(false);
        log.SetUtf8(true);
    }
    plat::OsInfo os = plat::GetOsInfo();
    logic->SetOsInfo(os);
    WriteLogHeader(log, commandLine, os, state.rc);

    // What an earlier run asked to delete at the next system start, once the
    // system has started anew (never in the assistant role, which has
    // returned above).
    if (int deleted = plat::WorkOffPendingDeletions(); deleted > 0)
        log.Write(base::FormatW(L"Deleted %d files registered for deletion at restart", deleted),
                  true);

    logic->SetLog(&log);
    SetProcessLog(&log);

    plat::NamedMutex mutex;
    bool otherInstance = state.rc == rcUninstall && mutex.Open(environment.mutexName);

    if (!preinitOk) {
        InstallerError(log, "g_pSystem->preinit");
    } else if (otherInstance) {
        log.Write(L"other launcher instance detected, exiting", true);
    } else {
        if (IsUninstallCommand(state.rc) && !mutex.IsOpen())
            mutex.Create(environment.mutexName, true);
        DriveLogic(log, *logic, state);
    }

    if (mutex.IsOpen()) {
        mutex.Release();
        mutex.Close();
    }
    logic.reset();
    log.Write(L"Launcher finished", true);
    SetProcessLog(nullptr);
    log.Close();
    return 0;
}

int LauncherMain(const std::wstring& commandLine) {
    EntryEnvironment environment;
    environment.executablePath = plat::GetExecutablePath();
    return RunLauncher(commandLine, BuiltInRoles(), environment);
}

} // namespace app
