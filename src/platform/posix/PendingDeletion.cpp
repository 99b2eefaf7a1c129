// The pending-deletion list: "LPD1\n" and one "<boot id>\t<path>\n" line per
// entry, UTF-8.

#include "platform/PendingDeletion.h"

#include "platform/Elevation.h"
#include "platform/Error.h"
#include "platform/Folders.h"
#include "platform/Unicode.h"
#include "platform/posix/LockFile.h"
#include "platform/posix/TextFiles.h"
#include "platform/posix/UserAccounts.h"

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace plat {

namespace {

constexpr const char kHeader[] = "LPD1\n";
constexpr std::size_t kMaxEntries = 4096;
constexpr std::size_t kMaxListFile = 4 * 1024 * 1024;

using Entry = std::pair<std::string, std::string>; // boot id, path

std::string BootId() {
    if (const char* moved = std::getenv("LAUNCHER_BOOT_ID"); moved && moved[0] != '\0')
        return moved;
    std::ifstream in("/proc/sys/kernel/random/boot_id");
    std::string id;
    std::getline(in, id);
    return id.empty() ? "unknown" : id;
}

// "$XDG_STATE_HOME/launcher", else "~/.local/state/launcher"; created
// private. Empty on failure.
std::string ListFolder() {
    std::string state;
    if (const char* value = std::getenv("XDG_STATE_HOME"); value && value[0] == '/')
        state = value;
    if (state.empty()) {
        std::string home;
        if (const char* value = std::getenv("HOME"); value && value[0] == '/')
            home = value;
        posix::UserAccount account;
        if (home.empty() && posix::LookUpUser(InvokingUserId(), &account))
            home = account.home;
        if (home.empty()) {
            SetLastError(kErrPathNotFound);
            return std::string();
        }
        state = home + "/.local/state";
    }
    std::wstring folder = Utf8ToWide(state + "/launcher");
    if (!EnsurePrivateFolder(folder))
        return std::string();
    return WideToUtf8(folder);
}

// A missing or damaged list reads as empty.
std::vector<Entry> ReadList(const std::string& file) {
    std::vector<Entry> entries;
    std::string text;
    const std::string header = kHeader;
    if (!posix::ReadSmallFile(file, kMaxListFile, &text) ||
        text.compare(0, header.size(), header) != 0)
        return entries;
    for (const std::string& line :
         posix::SplitLines(std::string_view(text).substr(header.size()))) {
        std::size_t tab = line.find('\t');
        if (tab == std::string::npos || tab == 0 || tab + 1 >= line.size() || line[tab + 1] != '/')
            continue;
        entries.emplace_back(line.substr(0, tab), line.substr(tab + 1));
        if (entries.size() == kMaxEntries)
            break;
    }
    return entries;
}

bool WriteList(const std::string& file, const std::vector<Entry>& entries) {
    std::string text = kHeader;
    for (const Entry& entry : entries)
        text += entry.first + "\t" + entry.second + "\n";
    return posix::ReplaceFileContents(file, text, 0600);
}

// A file or link goes; a folder only when it is empty.
bool DeletePath(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return false;
    if (S_ISDIR(st.st_mode))
        return ::rmdir(path.c_str()) == 0;
    return ::unlink(path.c_str()) == 0;
}

} // namespace

bool DeleteAtNextSystemStart(const std::wstring& path) {
    std::string native = WideToUtf8(path);
    if (native.empty() || native[0] != '/' || native.find_first_of("\n\t\r") != std::string::npos) {
        SetLastError(kErrInvalidName);
        return false;
    }
    std::string folder = ListFolder();
    if (folder.empty())
        return false;
    posix::LockFile lock(folder + "/pending-deletions.lock");
    if (!lock.Held())
        return false;
    std::string file = folder + "/pending-deletions";
    std::vector<Entry> entries = ReadList(file);
    if (entries.size() >= kMaxEntries) {
        SetLastError(kErrNotEnoughMemory);
        return false;
    }
    entries.emplace_back(BootId(), native);
    return WriteList(file, entries);
}

int WorkOffPendingDeletions() {
    if (ActsForOtherUser())
        return 0;
    std::string folder = ListFolder();
    if (folder.empty())
        return 0;
    posix::LockFile lock(folder + "/pending-deletions.lock");
    if (!lock.Held())
        return 0;
    std::string file = folder + "/pending-deletions";
    std::vector<Entry> entries = ReadList(file);
    if (entries.empty())
        return 0;
    std::string boot = BootId();
    std::vector<Entry> kept;
    int deleted = 0;
    for (const Entry& entry : entries) {
        if (entry.first == boot)
            kept.push_back(entry);
        else if (DeletePath(entry.second))
            ++deleted;
    }
    if (kept.size() != entries.size())
        WriteList(file, kept);
    return deleted;
}

} // namespace plat
