#pragma once
// What the entry point drives: the launcher object through its phases, the
// checksum writer and the elevated assistant. Later layers supply the real
// objects; the entry point only knows these interfaces. Everything here runs
// on the main thread.

#include "base/RunCommand.h"
#include "platform/OsVersion.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class CLogImplW;

namespace app {

// How a launcher phase failed, as the entry point reports it.
struct LogicFailure {
    enum class Kind {
        None,    // the phase returned false and said nothing more
        Text,    // a message for the "Installer Error" box
        Code,    // a numeric failure code (1 init, 2 run, others are silent)
        Unknown, // anything else
    };
    Kind kind = Kind::None;
    std::string text;
    int code = 0;
};

// The launcher object as the entry point sees it.
class ILauncherLogic {
public:
    virtual ~ILauncherLogic() = default;
    // Loads the configuration documents, theme and languages.
    virtual bool Preinit() = 0;
    // "log/logLauncher/@enable" of the loaded configuration.
    virtual bool IsLauncherLogEnabled() const = 0;
    virtual void SetOsInfo(const plat::OsInfo& info) = 0;
    virtual void SetLog(CLogImplW* log) = 0;
    virtual void SetCommandLineState(const CommandLineState& state) = 0;
    virtual bool Init(int rc, const std::wstring& argument, LogicFailure* failure) = 0;
    virtual bool Run(LogicFailure* failure) = 0;
    virtual void Uninit() = 0;
};

// Window handle number as the message layer passes it between processes.
using WindowHandle = std::uint64_t;

struct LauncherRoles {
    std::function<std::unique_ptr<ILauncherLogic>()> createLogic;
    // Writes "crc.txt"; the entry point ignores the result.
    std::function<bool()> writeCrcFile;
    // Constructs the assistant, runs its main loop for the launcher window
    // and destroys it.
    std::function<void(WindowHandle launcherWindow)> runAssistant;
    // Tells the launcher window that the assistant lacks administrator rights.
    std::function<void(WindowHandle launcherWindow)> notifyNotAdmin;
    std::function<bool()> isAdministrator;
};

// The roles this build provides.
LauncherRoles BuiltInRoles();

} // namespace app
