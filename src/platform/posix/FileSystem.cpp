#include "platform/FileSystem.h"

#include "platform/File.h"
#include "platform/FolderTree.h"
#include "platform/TextCase.h"
#include "platform/Unicode.h"
#include "platform/posix/ErrnoMap.h"
#include "platform/posix/ImageLock.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace plat {

using posix::SetLastErrno;

namespace {

std::string Native(const std::wstring& path) {
    return WideToUtf8(path);
}

// ENOENT on a path whose folder is missing is "path not found" on Windows.
void SetLastErrnoForPath(int err, const std::string& path) {
    if (err == ENOENT) {
        std::size_t slash = path.find_last_of('/');
        if (slash != std::string::npos && slash > 0 &&
            ::access(path.substr(0, slash).c_str(), F_OK) != 0) {
            SetLastError(kErrPathNotFound);
            return;
        }
    }
    SetLastErrno(err);
}

std::uint32_t AttributesOf(const struct stat& st, const std::string& name) {
    std::uint32_t attributes = 0;
    if (S_ISDIR(st.st_mode))
        attributes |= kAttrDirectory;
    if ((st.st_mode & S_IWUSR) == 0)
        attributes |= kAttrReadOnly;
    if (!name.empty() && name[0] == '.')
        attributes |= kAttrHidden;
    return attributes ? attributes : kAttrNormal;
}

} // namespace

std::uint32_t GetFileAttributes(const std::wstring& path) {
    std::string native = Native(path);
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0) {
        SetLastErrnoForPath(errno, native);
        return kInvalidAttributes;
    }
    return AttributesOf(st, Native(FileNameOf(path)));
}

bool SetFileAttributes(const std::wstring& path, std::uint32_t attributes) {
    std::string native = Native(path);
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0) {
        SetLastErrnoForPath(errno, native);
        return false;
    }
    mode_t mode = st.st_mode & 07777;
    if (attributes & kAttrReadOnly)
        mode &= static_cast<mode_t>(~(S_IWUSR | S_IWGRP | S_IWOTH));
    else
        mode |= S_IWUSR;
    if (::chmod(native.c_str(), mode) != 0) {
        SetLastErrno(errno);
        return false;
    }
    return true;
}

bool FileExists(const std::wstring& path) {
    struct stat st {};
    return ::stat(Native(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::wstring& path) {
    struct stat st {};
    return ::stat(Native(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsLink(const std::wstring& path) {
    struct stat st {};
    return ::lstat(Native(path).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool DeleteFile(const std::wstring& path) {
    std::string native = Native(path);
    struct stat st {};
    if (::lstat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        SetLastError(kErrAccessDenied);
        return false;
    }
    // Windows refuses to delete a read-only file.
    if (::lstat(native.c_str(), &st) == 0 && !S_ISLNK(st.st_mode) && (st.st_mode & S_IWUSR) == 0) {
        SetLastError(kErrAccessDenied);
        return false;
    }
    // A running program's file stays, as on Windows.
    if (posix::ImageInUseAt(AT_FDCWD, native)) {
        SetLastError(kErrSharingViolation);
        return false;
    }
    if (::unlink(native.c_str()) != 0) {
        SetLastErrnoForPath(errno, native);
        return false;
    }
    return true;
}

bool CopyFile(const std::wstring& from, const std::wstring& to, bool failIfExists) {
    File in;
    if (!in.Open(from, kRead, Disposition::OpenExisting))
        return false;
    File out;
    if (!out.Open(to, kWrite, failIfExists ? Disposition::CreateNew : Disposition::CreateAlways))
        return false;
    char buffer[64 * 1024];
    for (;;) {
        std::size_t done = 0;
        if (!in.Read(buffer, sizeof buffer, &done))
            return false;
        if (done == 0)
            break;
        if (!out.Write(buffer, done))
            return false;
    }
    struct stat st {};
    if (::fstat(static_cast<int>(in.NativeHandle()), &st) == 0)
        ::fchmod(static_cast<int>(out.NativeHandle()), st.st_mode & 07777);
    return true;
}

namespace {

bool IsProgramName(const std::string& path) {
    if (path.size() < 4)
        return false;
    std::string extension = path.substr(path.size() - 4);
    for (char& c : extension)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return extension == ".exe";
}

} // namespace

bool MoveFile(const std::wstring& from, const std::wstring& to, std::uint32_t flags) {
    std::string src = Native(from), dst = Native(to);
    struct stat st {};
    if (::lstat(src.c_str(), &st) != 0) {
        SetLastErrnoForPath(errno, src);
        return false;
    }
    const bool folder = S_ISDIR(st.st_mode);
    const mode_t mode = st.st_mode;
    if (!(flags & kMoveReplaceExisting) && ::lstat(dst.c_str(), &st) == 0) {
        SetLastError(kErrAlreadyExists);
        return false;
    }
    // A running program's file is not replaced, and a folder that holds one
    // is not moved, as on Windows; the running file itself may be renamed.
    if (posix::ImageInUseAt(AT_FDCWD, dst) || (folder && posix::TreeHoldsImageInUse(src))) {
        SetLastError(kErrSharingViolation);
        return false;
    }
    if (::rename(src.c_str(), dst.c_str()) == 0) {
        // A file that becomes a program ("*.exe", as a package's file is
        // written beside its target and renamed onto it) may run, as every
        // such file may where packages come from.
        if (S_ISREG(mode) && IsProgramName(dst))
            ::chmod(dst.c_str(), (mode & 07777) | ((mode & 0444) >> 2));
        return true;
    }
    int err = errno;
    if (err == EXDEV && (flags & kMoveCopyAllowed) && !DirectoryExists(from)) {
        if (!CopyFile(from, to, false))
            return false;
        return DeleteFile(from) || (SetFileAttributes(from, 0) && DeleteFile(from));
    }
    SetLastErrnoForPath(err, dst);
    return false;
}

bool CreateDirectory(const std::wstring& path) {
    std::string native = Native(path);
    while (native.size() > 1 && native.back() == '/')
        native.pop_back();
    if (::mkdir(native.c_str(), 0755) != 0) {
        SetLastErrno(errno == ENOENT ? ENOTDIR : errno);
        return false;
    }
    return true;
}

bool CreateDirectoryTree(const std::wstring& path) {
    std::string native = Native(path);
    while (native.size() > 1 && native.back() == '/')
        native.pop_back();
    for (std::size_t pos = 1; pos <= native.size(); ++pos) {
        if (pos != native.size() && native[pos] != '/')
            continue;
        std::string part = native.substr(0, pos);
        struct stat st {};
        if (::stat(part.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) {
                SetLastError(kErrPathNotFound);
                return false;
            }
            continue;
        }
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
            SetLastErrno(errno);
            return false;
        }
    }
    return true;
}

bool RemoveDirectory(const std::wstring& path) {
    std::string native = Native(path);
    if (::rmdir(native.c_str()) != 0) {
        SetLastErrnoForPath(errno, native);
        return false;
    }
    return true;
}

bool MatchWildcard(const std::wstring& pattern, const std::wstring& name) {
    // "*.*" means every name on Windows, with or without a dot.
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
    std::string nativeFolder = folder.empty() ? std::string(".") : Native(folder);
    DIR* dir = ::opendir(nativeFolder.c_str());
    if (!dir) {
        SetLastErrno(errno == ENOENT ? ENOTDIR : errno);
        return entries;
    }
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        std::wstring wideName = Utf8ToWide(name);
        if (!MatchWildcard(mask, wideName))
            continue;
        struct stat st {};
        std::string full = nativeFolder + "/" + name;
        // The entry itself: a link is listed as a link, never as its target.
        if (::lstat(full.c_str(), &st) != 0)
            continue;
        FindEntry found;
        found.name = wideName;
        found.isDirectory = S_ISDIR(st.st_mode);
        found.isLink = S_ISLNK(st.st_mode);
        found.isSpecial = !found.isDirectory && !found.isLink && !S_ISREG(st.st_mode);
        found.size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
        found.modifiedUtcMs =
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
        found.attributes = AttributesOf(st, name);
        if (found.isLink)
            found.attributes = (found.attributes & ~kAttrNormal) | kAttrReparsePoint;
        entries.push_back(std::move(found));
    }
    ::closedir(dir);
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
    struct statvfs vfs {};
    if (::statvfs(Native(path).c_str(), &vfs) != 0) {
        SetLastErrno(errno);
        return false;
    }
    *freeBytes = static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
    return true;
}

bool DeleteFolderTree(const std::wstring& path) {
    std::error_code ec;
    const std::filesystem::path target(Native(path));
    std::filesystem::file_status status = std::filesystem::symlink_status(target, ec);
    if (ec || status.type() == std::filesystem::file_type::not_found)
        return true;
    // A folder that holds a running program's file keeps that file (and
    // the folders leading to it), as on Windows; the rest goes.
    if (status.type() == std::filesystem::file_type::directory &&
        posix::TreeHoldsImageInUse(target.string())) {
        OpenFolder folder;
        if (folder.Open(path))
            DeleteTreeContents(folder, TreeDeleteOptions{});
        SetLastError(kErrSharingViolation);
        return false;
    }
    // remove_all removes links themselves, never what they point to.
    std::filesystem::remove_all(target, ec);
    if (ec) {
        SetLastErrno(ec.value());
        return false;
    }
    return true;
}

wchar_t PathSeparator() {
    return L'/';
}

std::wstring NativePath(const std::wstring& backslashPath) {
    std::wstring out = backslashPath;
    for (auto& c : out)
        if (c == L'\\')
            c = L'/';
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
    if (out != L"/")
        out += L'/';
    return out + name.substr(start);
}

} // namespace plat
