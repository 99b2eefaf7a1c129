#include "platform/ShellOpen.h"

#include "platform/CommandLine.h"
#include "platform/FileSystem.h"
#include "platform/TextCase.h"
#include "platform/Unicode.h"

#include <cstdlib>

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

// The desktop's opener for documents and addresses; empty when none is
// installed.
std::wstring DesktopOpener() {
    for (const char* opener : {"/usr/bin/xdg-open", "/bin/xdg-open", "/usr/local/bin/xdg-open"}) {
        if (::access(opener, X_OK) == 0)
            return Utf8ToWide(opener);
    }
    return std::wstring();
}

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
    std::wstring opener = DesktopOpener();
    if (!opener.empty()) {
        info.commandLine = BuildCommandLine(opener, QuoteArgument(path));
        return process->Start(info);
    }
    SetLastError(kErrNoAssociation);
    return false;
}

bool IsWebAddress(const std::wstring& address) {
    std::wstring lower = ToLowerAscii(address);
    std::size_t rest = 0;
    if (lower.rfind(L"http://", 0) == 0)
        rest = 7;
    else if (lower.rfind(L"https://", 0) == 0)
        rest = 8;
    else
        return false;
    if (address.size() == rest)
        return false;
    for (wchar_t c : address) {
        if (c <= L' ' || c == 0x7F || c == L'"')
            return false;
    }
    return true;
}

bool OpenAddress(const std::wstring& address) {
    if (!IsWebAddress(address)) {
        SetLastError(kErrInvalidParameter);
        return false;
    }
    const char* chosen = std::getenv("LAUNCHER_URL_OPENER");
    std::wstring opener = chosen && *chosen ? Utf8ToWide(chosen) : DesktopOpener();
    if (opener.empty()) {
        SetLastError(kErrNoAssociation);
        return false;
    }
    ProcessStartInfo info;
    info.tail = TailPassing::Split;
    info.commandLine = BuildCommandLine(opener, QuoteArgument(address));
    Process process;
    if (!process.Start(info))
        return false;
    process.Close(); // the browser goes on alone
    return true;
}

} // namespace plat
