#include "log/LauncherLogPath.h"

#include "base/Strings.h"
#include "platform/File.h"
#include "platform/FileSystem.h"

namespace launcherlog {

namespace {

bool Exists(const std::wstring& path) {
    return plat::GetFileAttributes(path) != plat::kInvalidAttributes;
}

// Reads `width` decimal digits at `pos`.
bool ReadDigits(const std::wstring& text, std::size_t pos, std::size_t width, int* value) {
    if (pos + width > text.size())
        return false;
    int v = 0;
    for (std::size_t i = pos; i < pos + width; ++i) {
        if (text[i] < L'0' || text[i] > L'9')
            return false;
        v = v * 10 + (text[i] - L'0');
    }
    *value = v;
    return true;
}

} // namespace

std::wstring LogCandidate(const std::wstring& folder, const std::wstring& fileName,
                          const plat::SystemTime& t, int index) {
    std::wstring name = base::FormatW(L"%04d%02d%02d_%02d%02d%02d", t.year, t.month, t.day, t.hour,
                                      t.minute, t.second);
    if (index > 0)
        name += base::FormatW(L"_%d", index);
    return folder + name + L"." + fileName + L".log";
}

std::wstring ChooseLogPath(const std::wstring& folder, const std::wstring& fileName,
                           const plat::SystemTime& localTime) {
    std::wstring candidate;
    for (int i = 0; i < kMaxNameTries; ++i) {
        candidate = LogCandidate(folder, fileName, localTime, i);
        // The name is claimed by creating the file: of launchers started in
        // the same second, each gets a log of its own.
        plat::File claim;
        if (claim.Open(candidate, plat::kWrite, plat::Disposition::CreateNew) ||
            plat::GetLastError() != plat::kErrFileExists)
            break;
    }
    return candidate;
}

bool ParseDatedFolderName(const std::wstring& name, std::uint32_t* packedTime) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!ReadDigits(name, 0, 4, &year) || !ReadDigits(name, 4, 2, &month) ||
        !ReadDigits(name, 6, 2, &day) || name.size() < 9 || name[8] != L'_' ||
        !ReadDigits(name, 9, 2, &hour) || !ReadDigits(name, 11, 2, &minute) ||
        !ReadDigits(name, 13, 2, &second))
        return false;
    // The packed form covers 1980 to 2107; other values are no date.
    if (year < 1980 || year > 2107 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 ||
        minute > 59 || second > 59)
        return false;
    const std::uint32_t date =
        static_cast<std::uint32_t>(((year - 1980) << 9) | (month << 5) | day);
    const std::uint32_t time =
        static_cast<std::uint32_t>((hour << 11) | (minute << 5) | (second / 2));
    *packedTime = (date << 16) | time;
    return true;
}

void MoveEarlierLogs(const std::wstring& folder) {
    const std::wstring sep(1, plat::PathSeparator());
    const std::wstring logs = plat::JoinPath(folder, L"logs") + sep;

    std::wstring newest;
    std::uint32_t newestTime = 0;
    bool found = false;
    for (const plat::FindEntry& entry : plat::FindFiles(logs + L"*.*")) {
        std::uint32_t packed = 0;
        if (!entry.isDirectory || !ParseDatedFolderName(entry.name, &packed))
            continue;
        if (!found || packed > newestTime) {
            newest = entry.name;
            newestTime = packed;
            found = true;
        }
    }
    if (!found)
        return;

    // "20240305_065500.1234" collects "1234.<base>.log"; a dated folder
    // without a "." collects the logs under their own names.
    std::wstring prefix = logs + newest + sep;
    const std::size_t dot = newest.rfind(L'.');
    if (dot != std::wstring::npos)
        prefix += newest.substr(dot + 1) + L".";

    for (const plat::FindEntry& entry : plat::FindFiles(plat::JoinPath(folder, L"*.log"))) {
        if (entry.isDirectory)
            continue;
        const std::size_t extension = entry.name.rfind(L'.');
        const std::wstring base =
            extension == std::wstring::npos ? entry.name : entry.name.substr(0, extension);
        for (int i = 0; i < kMaxNameTries; ++i) {
            const std::wstring destination =
                i == 0 ? prefix + base + L".log" : prefix + base + base::FormatW(L"(%d).log", i);
            if (Exists(destination))
                continue;
            plat::MoveFile(plat::JoinPath(folder, entry.name), destination);
            break;
        }
    }
}

std::wstring MakeLogPath(const std::wstring& executablePath, const plat::SystemTime& localTime) {
    const std::wstring folder = plat::FolderOf(executablePath);
    if (folder.empty())
        return executablePath + L".log";
    MoveEarlierLogs(folder);
    return ChooseLogPath(folder, plat::FileNameOf(executablePath), localTime);
}

std::wstring MakeLogPath(const std::wstring& executablePath) {
    const std::wstring folder = plat::FolderOf(executablePath);
    if (folder.empty())
        return executablePath + L".log";
    MoveEarlierLogs(folder);
    return ChooseLogPath(folder, plat::FileNameOf(executablePath), plat::GetLocalTime());
}

} // namespace launcherlog
