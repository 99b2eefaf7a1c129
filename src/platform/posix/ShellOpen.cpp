#include "platform/ShellOpen.h"

#include "platform/CommandLine.h"
#include "platform/FileSystem.h"
#include "platform/Unicode.h"

#include <sys/stat.h>
#include <unistd.h>

namespace plat {

namespace {

constexpr ErrorCode kErrNoAssociation = 1155;

bool MayRun(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

} // namespace

bool OpenDocument(const std::wstring& path, Process* process) {
    std::string native = WideToUtf8(path);
    if (!FileExists(path)) {
        SetLastError(kErrFileNotFound);
        return false;
    }
    ProcessStartInfo info;
    info.tail = TailPassing::Split;
    if (MayRun(native)) {
        info.commandLine = BuildCommandLine(path, std::wstring());
        return process->Start(info);
    }
    for (const char* opener : {"/usr/bin/xdg-open", "/bin/xdg-open", "/usr/local/bin/xdg-open"}) {
        if (::access(opener, X_OK) == 0) {
            info.commandLine = BuildCommandLine(Utf8ToWide(opener), QuoteArgument(path));
            return process->Start(info);
        }
    }
    SetLastError(kErrNoAssociation);
    return false;
}

} // namespace plat
