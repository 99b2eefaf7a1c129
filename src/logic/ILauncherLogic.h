#pragma once
// The launcher object as the entry point drives it: preinit, init, run and
// uninit, and how a phase reports its failure. Main thread only.

#include "base/RunCommand.h"
#include "platform/OsVersion.h"

#include <string>

class CLogImplW;

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
