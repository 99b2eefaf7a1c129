#include "platform/FileSystem.h"
#include "platform/File.h"
#include "platform/FolderTree.h"
#include "platform/ImageLock.h"
#include "platform/TextCase.h"
#include "platform/win32/Handle.h"
#include "platform/win32/RunningImages.h"

#include <cstdlib>

namespace plat {

namespace {

using win::WinPath;

DWORD RawAttributes(const std::wstring& path) {
    return ::GetFileAttributesW(WinPath(path).c_str());
}

bool IsReparse(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::int64_t UtcMsOf(const FILETIME& time) {
    ULARGE_INTEGER value{};
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    // 100 ns steps since 1601; 11644473600 seconds lie between 1601 and 1970.
    return static_cast<std::int64_t>(value.QuadPart / 10000) - 11644473600000LL;
}

std::wstring WithoutTrailingSeparators(std::wstring path) {
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/'))
        path.pop_back();
    return path;
}

} // namespace

std::uint32_t GetFileAttributes(const std::wstring& path) {
    DWORD attributes = RawAttributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        win::FailWithSystemError();
        return kInvalidAttributes;
    }
    return attributes;
}

bool SetFileAttributes(const std::wstring& path, std::uint32_t attributes) {
    DWORD now = RawAttributes(path);
    if (now == INVALID_FILE_ATTRIBUTES)
        return win::FailWithSystemError();
    const DWORD changeable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
    DWORD wanted = (now & ~changeable) | (attributes & changeable);
    wanted &= FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
              FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    if (wanted == 0)
        wanted = FILE_ATTRIBUTE_NORMAL;
    return ::SetFileAttributesW(WinPath(path).c_str(), wanted) ? true : win::FailWithSystemError();
}

bool FileExists(const std::wstring& path) {
    DWORD attributes = RawAttributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::wstring& path) {
    DWORD attributes = RawAttributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool IsLink(const std::wstring& path) {
    return IsReparse(RawAttributes(path));
}

bool DeleteFile(const std::wstring& path) {
    const std::wstring native = WinPath(path);
    DWORD attributes = RawAttributes(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        // A link to a folder is removed as a link; a folder is no file.
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
            return ::RemoveDirectoryW(native.c_str()) ? true : win::FailWithSystemError();
        return win::FailWith(kErrAccessDenied);
    }
    // A running program's file stays; the launcher expects the sharing
    // violation (the system itself would say 5, or nothing at all).
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_READONLY) &&
        win::IsProgramFileName(path) && IsImageInUse(path))
        return win::FailWith(kErrSharingViolation);
    if (::DeleteFileW(native.c_str()))
        return true;
    return win::FailWithSystemError();
}

bool CopyFile(const std::wstring& from, const std::wstring& to, bool failIfExists) {
    if (::CopyFileW(WinPath(from).c_str(), WinPath(to).c_str(), failIfExists ? TRUE : FALSE))
        return true;
    DWORD error = ::GetLastError();
    return win::FailWith(error == ERROR_FILE_EXISTS ? ErrorCode{kErrFileExists}
                                                    : static_cast<ErrorCode>(error));
}

bool MoveFile(const std::wstring& from, const std::wstring& to, std::uint32_t flags) {
    if (!(flags & kMoveReplaceExisting) && RawAttributes(to) != INVALID_FILE_ATTRIBUTES &&
        RawAttributes(from) != INVALID_FILE_ATTRIBUTES)
        return win::FailWith(kErrAlreadyExists);
    // A running program's file is not replaced, and a folder that holds
    // one is not moved; the running file itself may be renamed.
    DWORD fromAttributes = RawAttributes(from);
    if ((win::IsProgramFileName(to) && IsImageInUse(to)) ||
        (fromAttributes != INVALID_FILE_ATTRIBUTES && (fromAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(fromAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && win::RunsImageBelow(from)))
        return win::FailWith(kErrSharingViolation);
    DWORD moveFlags = 0;
    if (flags & kMoveReplaceExisting)
        moveFlags |= MOVEFILE_REPLACE_EXISTING;
    if (flags & kMoveCopyAllowed)
        moveFlags |= MOVEFILE_COPY_ALLOWED;
    if (::MoveFileExW(WinPath(from).c_str(), WinPath(to).c_str(), moveFlags))
        return true;
    DWORD error = ::GetLastError();
    if (error == ERROR_FILE_EXISTS)
        return win::FailWith(kErrAlreadyExists);
    // Replacing a running program's file: reported as the file in use.
    if (error == ERROR_ACCESS_DENIED && IsImageInUse(to))
        return win::FailWith(kErrSharingViolation);
    return win::FailWithCode(error);
}

bool CreateDirectory(const std::wstring& path) {
    return ::CreateDirectoryW(WinPath(WithoutTrailingSeparators(path)).c_str(), nullptr)
               ? true
               : win::FailWithSystemError();
}

bool CreateDirectoryTree(const std::wstring& path) {
    const std::wstring native = WinPath(WithoutTrailingSeparators(path));
    if (native.empty())
        return win::FailWith(kErrPathNotFound);
    // Every prefix that ends before a separator, from the top down; the
    // volume part ("C:" or "\\server\share") is taken as existing.
    std::size_t start = 0;
    if (native.rfind(L"\\\\", 0) == 0) {
        std::size_t server = native.find(L'\\', 2);
        std::size_t share = server == std::wstring::npos ? server : native.find(L'\\', server + 1);
        start = share == std::wstring::npos ? native.size() : share + 1;
    } else if (native.size() >= 2 && native[1] == L':') {
        start = native.size() > 2 && native[2] == L'\\' ? 3 : 2;
    }
    for (std::size_t pos = start; pos <= native.size(); ++pos) {
        if (pos != native.size() && native[pos] != L'\\')
            continue;
        if (pos == 0)
            continue;
        std::wstring part = native.substr(0, pos);
        DWORD attributes = ::GetFileAttributesW(part.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES) {
            if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
                return win::FailWith(kErrPathNotFound);
            continue;
        }
        if (!::CreateDirectoryW(part.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
            return win::FailWithSystemError();
    }
    return true;
}

bool RemoveDirectory(const std::wstring& path) {
    return ::RemoveDirectoryW(WinPath(WithoutTrailingSeparators(path)).c_str())
               ? true
               : win::FailWithSystemError();
}

bool MatchWildcard(const std::wstring& pattern, const std::wstring& name) {
    // "*.*" means every name, with or without a dot.
    if (pattern == L"*.*" || pattern == L"*")
        return true;
    std::size_t p = 0, n = 0, star = std::wstring::npos, mark = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == L'?' || AsciiLower(pattern[p]) == AsciiLower(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == L'*') {
            star = p++;
            mark = n;
        } else if (star != std::wstring::npos) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*')
        ++p;
    return p == pattern.size();
}

std::vector<FindEntry> FindFiles(const std::wstring& pattern) {
    std::vector<FindEntry> entries;
    std::wstring folder = FolderOf(pattern);
    std::wstring mask = FileNameOf(pattern);
    // The system's own matching knows short names and old rules; the
    // folder is listed whole and matched here, as everywhere else.
    std::wstring all = WinPath((folder.empty() ? std::wstring(L".\\") : folder) + L"*");
    WIN32_FIND_DATAW data{};
    HANDLE find =
        ::FindFirstFileExW(all.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) {
        DWORD error = ::GetLastError();
        win::FailWithCode(error == ERROR_FILE_NOT_FOUND ? DWORD{ERROR_PATH_NOT_FOUND} : error);
        return entries;
    }
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L".." || !MatchWildcard(mask, name))
            continue;
        FindEntry found;
        found.name = name;
        found.attributes = data.dwFileAttributes;
        found.isLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        found.isDirectory = !found.isLink && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        found.isSpecial = (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0;
        if (!found.isDirectory && !found.isLink)
            found.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        found.modifiedUtcMs = UtcMsOf(data.ftLastWriteTime);
        entries.push_back(std::move(found));
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    SetLastError(entries.empty() ? kErrFileNotFound : kErrSuccess);
    return entries;
}

bool GetDiskFreeSpace(const std::wstring& path, std::uint64_t* freeBytes) {
    if (const char* stated = std::getenv("LAUNCHER_FREE_SPACE"); stated && *stated) {
        char* end = nullptr;
        unsigned long long bytes = std::strtoull(stated, &end, 10);
        if (end && *end == '\0') {
            *freeBytes = bytes;
            return true;
        }
    }
    ULARGE_INTEGER available{};
    if (!::GetDiskFreeSpaceExW(WinPath(path).c_str(), &available, nullptr, nullptr))
        return win::FailWithSystemError();
    *freeBytes = available.QuadPart;
    return true;
}

bool DeleteFolderTree(const std::wstring& path) {
    const std::wstring native = WinPath(WithoutTrailingSeparators(path));
    DWORD attributes = ::GetFileAttributesW(native.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return true;
    // A link at the path itself goes as a link.
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        bool removed = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? ::RemoveDirectoryW(native.c_str())
                                                               : ::DeleteFileW(native.c_str());
        return removed ? true : win::FailWithSystemError();
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return win::FailWith(kErrDirectory);
    bool complete = false;
    {
        OpenFolder folder;
        if (!folder.Open(native))
            return false;
        TreeDeleteOptions options;
        complete = DeleteTreeContents(folder, options);
    }
    if (!complete)
        return false;
    if (!::RemoveDirectoryW(native.c_str()))
        return win::FailWithSystemError();
    return true;
}

wchar_t PathSeparator() {
    return L'\\';
}

std::wstring NativePath(const std::wstring& backslashPath) {
    std::wstring out = backslashPath;
    for (auto& c : out)
        if (c == L'/')
            c = L'\\';
    return out;
}

std::wstring FolderOf(const std::wstring& path) {
    std::size_t pos = path.find_last_of(L"/\\");
    return pos == std::wstring::npos ? std::wstring() : path.substr(0, pos + 1);
}

std::wstring FileNameOf(const std::wstring& path) {
    std::size_t pos = path.find_last_of(L"/\\");
    return pos == std::wstring::npos ? path : path.substr(pos + 1);
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty())
        return name;
    std::wstring out = folder;
    while (out.size() > 1 && (out.back() == L'/' || out.back() == L'\\'))
        out.pop_back();
    std::size_t start = 0;
    while (start < name.size() && (name[start] == L'/' || name[start] == L'\\'))
        ++start;
    out += L'\\';
    return out + name.substr(start);
}

} // namespace plat
