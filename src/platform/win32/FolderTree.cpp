#include "platform/FolderTree.h"
#include "platform/Elevation.h"
#include "platform/FileSystem.h"
#include "platform/ImageLock.h"
#include "platform/TextCase.h"
#include "platform/win32/FolderWalk.h"
#include "platform/win32/Handle.h"
#include "platform/win32/RunningImages.h"

#include <aclapi.h>

#include <chrono>
#include <thread>

namespace plat {

namespace {

using win::FolderEntry;
using win::IntToHandle;

bool Stopped(const std::atomic<bool>* stop) {
    return stop != nullptr && stop->load();
}

std::uint32_t CountBelow(HANDLE folder, DWORD volume, int depth) {
    std::vector<FolderEntry> entries;
    std::wstring base = win::FinalPathOf(folder);
    if (base.empty() || !win::ListFolder(base, &entries))
        return 0;
    std::uint32_t count = 0;
    for (const FolderEntry& entry : entries) {
        ++count;
        if (!entry.IsFolder() || depth >= kMaxTreeDepth)
            continue;
        win::Handle sub = win::OpenSubfolder(base, entry.name, 0);
        if (sub.Valid() && win::VolumeOf(sub.Get()) == volume)
            count += CountBelow(sub.Get(), volume, depth + 1);
    }
    return count;
}

// Deletes what is below one folder; false when something other than a kept
// file stayed or the walk was stopped.
class TreeDeleter {
public:
    TreeDeleter(const TreeDeleteOptions& options, DWORD volume)
        : options_(options), volume_(volume) {}

    bool DeleteBelow(HANDLE folder, int depth) {
        std::wstring base = win::FinalPathOf(folder);
        std::vector<FolderEntry> entries;
        if (base.empty() || !win::ListFolder(base, &entries)) {
            Note(::GetLastError());
            return false;
        }
        bool clean = true;
        for (const FolderEntry& entry : entries) {
            if (Stopped(options_.stop))
                return false;
            const std::wstring full = base + L"\\" + entry.name;
            if (entry.IsFolder()) {
                if (depth < kMaxTreeDepth) {
                    win::Handle sub = win::OpenSubfolder(base, entry.name, 0);
                    if (sub.Valid() && win::VolumeOf(sub.Get()) == volume_) {
                        clean = DeleteBelow(sub.Get(), depth + 1) && clean;
                        if (Stopped(options_.stop))
                            return false;
                    }
                }
                // Only an emptied folder goes.
                if (!RemoveFolder(full, entry.attributes))
                    clean = false;
            } else if (IsKept(entry, depth)) {
                // stays
            } else if (!DeleteEntry(full, entry)) {
                clean = false;
            }
            Step();
        }
        return clean;
    }

    ErrorCode Failure() const { return failure_; }

private:
    bool IsKept(const FolderEntry& entry, int depth) const {
        if (options_.keepName.empty() || (options_.keepOnlyAtTop && depth != 0) || entry.IsLink())
            return false;
        return EqualsNoCase(entry.name, options_.keepName);
    }

    bool RemoveFolder(const std::wstring& full, DWORD attributes) {
        if (attributes & FILE_ATTRIBUTE_READONLY)
            ::SetFileAttributesW(full.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
        if (::RemoveDirectoryW(full.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND)
            return true;
        Note(::GetLastError());
        return false;
    }

    bool DeleteEntry(const std::wstring& full, const FolderEntry& entry) {
        // A link is removed as a link: a link to a folder is a folder entry
        // of its own, removed like an empty folder.
        if (entry.IsLink() && (entry.attributes & FILE_ATTRIBUTE_DIRECTORY))
            return RemoveFolder(full, entry.attributes);
        if (entry.attributes & FILE_ATTRIBUTE_READONLY)
            ::SetFileAttributesW(full.c_str(), entry.attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
        const int attempts = options_.attempts < 1 ? 1 : options_.attempts;
        const bool program = !entry.IsLink() && win::IsProgramFileName(full);
        for (int attempt = 0; attempt < attempts; ++attempt) {
            if (attempt > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(options_.retryPauseMs));
            // A running program's file stays until its program ends.
            if (program && IsImageInUse(full)) {
                Note(ERROR_SHARING_VIOLATION);
                continue;
            }
            if (::DeleteFileW(full.c_str()))
                return true;
            DWORD error = ::GetLastError();
            if (error == ERROR_FILE_NOT_FOUND)
                return true;
            // A running program's file stays until its program ends.
            if (error == ERROR_ACCESS_DENIED && IsImageInUse(full))
                error = ERROR_SHARING_VIOLATION;
            Note(error);
        }
        return false;
    }

    void Note(DWORD error) {
        failure_ = error != 0 ? static_cast<ErrorCode>(error) : ErrorCode{kErrAccessDenied};
    }

    void Step() const {
        if (options_.onEntry)
            options_.onEntry();
    }

    const TreeDeleteOptions& options_;
    DWORD volume_;
    ErrorCode failure_ = kErrSuccess;
};

// Makes the user owner of entries and gives the user full access.
class TreeGranter {
public:
    TreeGranter(std::vector<unsigned char> sid, DWORD volume, const std::atomic<bool>* stop,
                const std::function<void()>& onEntry)
        : sid_(std::move(sid)), volume_(volume), stop_(stop), onEntry_(onEntry) {}

    bool Grant(HANDLE h, bool folder) const {
        PSID user = Sid();
        PACL oldDacl = nullptr;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (::GetSecurityInfo(h, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              &oldDacl, nullptr, &descriptor) != ERROR_SUCCESS)
            return false;
        EXPLICIT_ACCESSW access{};
        access.grfAccessPermissions = FILE_ALL_ACCESS;
        access.grfAccessMode = GRANT_ACCESS;
        access.grfInheritance = folder ? SUB_CONTAINERS_AND_OBJECTS_INHERIT : NO_INHERITANCE;
        access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        access.Trustee.TrusteeType = TRUSTEE_IS_USER;
        access.Trustee.ptstrName = static_cast<LPWSTR>(user);
        PACL newDacl = nullptr;
        DWORD result = ::SetEntriesInAclW(1, &access, oldDacl, &newDacl);
        if (result == ERROR_SUCCESS)
            result = ::SetSecurityInfo(h, SE_FILE_OBJECT,
                                       OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, user,
                                       nullptr, newDacl, nullptr);
        if (newDacl)
            ::LocalFree(newDacl);
        ::LocalFree(descriptor);
        ::SetLastError(result);
        return result == ERROR_SUCCESS;
    }

    void GrantBelow(HANDLE folder, int depth) {
        std::wstring base = win::FinalPathOf(folder);
        std::vector<FolderEntry> entries;
        if (base.empty() || !win::ListFolder(base, &entries)) {
            ++failures_;
            return;
        }
        for (const FolderEntry& entry : entries) {
            if (Stopped(stop_))
                return;
            if (onEntry_)
                onEntry_();
            if (entry.IsLink())
                continue;
            if (entry.IsFolder()) {
                if (depth >= kMaxTreeDepth) {
                    ++failures_;
                    continue;
                }
                win::Handle sub = win::OpenSubfolder(base, entry.name, WRITE_DAC | WRITE_OWNER);
                if (!sub.Valid() || win::VolumeOf(sub.Get()) != volume_) {
                    ++failures_;
                    continue;
                }
                if (!Grant(sub.Get(), true))
                    ++failures_;
                GrantBelow(sub.Get(), depth + 1);
            } else if (!GrantFile(base + L"\\" + entry.name)) {
                ++failures_;
            }
        }
    }

    std::uint32_t Failures() const { return failures_; }

private:
    PSID Sid() const { return const_cast<unsigned char*>(sid_.data()); }

    bool GrantFile(const std::wstring& full) const {
        win::Handle file(::CreateFileW(
            full.c_str(), READ_CONTROL | WRITE_DAC | WRITE_OWNER | FILE_READ_ATTRIBUTES,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
            FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!file.Valid())
            return false;
        BY_HANDLE_FILE_INFORMATION info{};
        if (!::GetFileInformationByHandle(file.Get(), &info) ||
            (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)))
            return false;
        // A second name of somebody else's file: giving it away would give
        // away a file outside the tree.
        if (info.nNumberOfLinks > 1 && win::OwnerNumberOf(file.Get()) != InvokingUserId())
            return false;
        return Grant(file.Get(), false);
    }

    std::vector<unsigned char> sid_;
    DWORD volume_;
    const std::atomic<bool>* stop_;
    const std::function<void()>& onEntry_;
    std::uint32_t failures_ = 0;
};

HANDLE Of(const OpenFolder& folder) {
    return IntToHandle(folder.Descriptor());
}

} // namespace

OpenFolder::~OpenFolder() {
    Close();
}

bool OpenFolder::Open(const std::wstring& path) {
    Close();
    std::wstring native = win::WinPath(path);
    while (native.size() > 3 && native.back() == L'\\')
        native.pop_back();
    if (native.empty())
        return win::FailWith(kErrPathNotFound);
    DWORD attributes = ::GetFileAttributesW(native.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return win::FailWith(kErrPathNotFound);
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return win::FailWith(kErrAccessDenied);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return win::FailWith(kErrPathNotFound);
    win::Handle h = win::OpenFolderEntry(native, 0);
    if (!h.Valid())
        return false;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h.Get(), &info))
        return win::FailWithSystemError();
    // Swapped for a link between the look and the open.
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return win::FailWith(kErrAccessDenied);
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return win::FailWith(kErrPathNotFound);
    fd_ = win::HandleToInt(h.Release());
    return true;
}

void OpenFolder::Close() {
    if (fd_ >= 0)
        ::CloseHandle(IntToHandle(fd_));
    fd_ = -1;
}

std::wstring OpenFolder::ResolvedPath() const {
    if (fd_ < 0)
        return std::wstring();
    return win::WithoutLongPrefix(win::FinalPathOf(IntToHandle(fd_)));
}

std::uint32_t OpenFolder::OwnerId() const {
    if (fd_ < 0)
        return ~0u;
    return win::OwnerNumberOf(IntToHandle(fd_));
}

bool OpenFolder::IsEmpty() const {
    std::vector<FolderEntry> entries;
    return fd_ >= 0 && win::ListFolder(win::FinalPathOf(IntToHandle(fd_)), &entries) &&
           entries.empty();
}

bool OpenFolder::HoldsFile(const std::wstring& name) const {
    std::vector<FolderEntry> entries;
    if (fd_ < 0 || !win::ListFolder(win::FinalPathOf(IntToHandle(fd_)), &entries))
        return false;
    for (const FolderEntry& entry : entries)
        if (!entry.IsLink() && !entry.IsFolder() && EqualsNoCase(entry.name, name))
            return true;
    return false;
}

bool OpenFolder::DeleteFile(const std::wstring& name) const {
    if (fd_ < 0 || !win::IsPlainName(name))
        return win::FailWith(kErrInvalidName);
    const std::wstring full = win::FinalPathOf(IntToHandle(fd_)) + L"\\" + name;
    DWORD attributes = ::GetFileAttributesW(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return win::FailWithSystemError();
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
            return ::RemoveDirectoryW(full.c_str()) ? true : win::FailWithSystemError();
        return win::FailWith(kErrAccessDenied);
    }
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT) && win::IsProgramFileName(name) &&
        IsImageInUse(full))
        return win::FailWith(kErrSharingViolation);
    if (::DeleteFileW(full.c_str()))
        return true;
    return win::FailWithSystemError();
}

bool OpenFolder::ReadFile(const std::wstring& name, std::size_t limit,
                          std::string* contents) const {
    if (fd_ < 0 || !win::IsPlainName(name))
        return win::FailWith(kErrInvalidName);
    const std::wstring full = win::FinalPathOf(IntToHandle(fd_)) + L"\\" + name;
    win::Handle file(::CreateFileW(full.c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.Valid()) {
        DWORD error = ::GetLastError();
        return win::FailWithCode(error == ERROR_PATH_NOT_FOUND ? DWORD{ERROR_FILE_NOT_FOUND}
                                                               : error);
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file.Get(), &info))
        return win::FailWithSystemError();
    const std::uint64_t size =
        (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if ((info.dwFileAttributes &
         (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) ||
        size > limit)
        return win::FailWith(kErrInvalidData);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    std::size_t total = 0;
    while (total < bytes.size()) {
        DWORD got = 0;
        if (!::ReadFile(file.Get(), bytes.data() + total, static_cast<DWORD>(bytes.size() - total),
                        &got, nullptr))
            return win::FailWithSystemError();
        if (got == 0)
            break;
        total += got;
    }
    bytes.resize(total);
    *contents = std::move(bytes);
    return true;
}

bool PathEntryExists(const std::wstring& path) {
    // Attributes of the entry itself: a link that leads nowhere still has them.
    WIN32_FILE_ATTRIBUTE_DATA data{};
    return ::GetFileAttributesExW(win::WinPath(path).c_str(), GetFileExInfoStandard, &data) != 0;
}

std::uint32_t CountTreeEntries(const OpenFolder& folder) {
    if (!folder.IsOpen())
        return 0;
    return CountBelow(Of(folder), win::VolumeOf(Of(folder)), 0);
}

bool DeleteTreeContents(const OpenFolder& folder, const TreeDeleteOptions& options) {
    if (!folder.IsOpen())
        return win::FailWith(kErrInvalidHandle);
    TreeDeleter deleter(options, win::VolumeOf(Of(folder)));
    bool clean = deleter.DeleteBelow(Of(folder), 0) && !Stopped(options.stop);
    if (!clean && deleter.Failure() != kErrSuccess)
        SetLastError(deleter.Failure());
    return clean;
}

bool GrantTreeToInvokingUser(const OpenFolder& folder, const std::atomic<bool>* stop,
                             const std::function<void()>& onEntry, std::uint32_t* failures) {
    if (!folder.IsOpen())
        return win::FailWith(kErrInvalidHandle);
    std::vector<unsigned char> sid = win::CurrentUserSid();
    if (sid.empty())
        return false;
    // The held handle lacks the rights to change owner and access; a second
    // one is opened by the folder's resolved path and checked to be the same
    // folder.
    std::wstring base = win::FinalPathOf(Of(folder));
    win::Handle writable = win::OpenFolderEntry(base, WRITE_DAC | WRITE_OWNER);
    if (!writable.Valid())
        return false;
    if (!win::SameEntry(writable.Get(), Of(folder)))
        return win::FailWith(kErrAccessDenied);
    TreeGranter granter(std::move(sid), win::VolumeOf(Of(folder)), stop, onEntry);
    if (!granter.Grant(writable.Get(), true))
        return win::FailWithSystemError();
    granter.GrantBelow(Of(folder), 0);
    if (failures)
        *failures = granter.Failures();
    return true;
}

} // namespace plat
