#include "assistant/FolderUtils.h"

#include "log/LogImplW.h"
#include "log/ProcessLog.h"
#include "platform/FileSystem.h"
#include "platform/FolderTree.h"
#include "platform/Folders.h"
#include "platform/PendingDeletion.h"
#include "platform/Process.h"

namespace assistant {

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// The last separator when it is not the first character, else npos.
std::size_t LastInnerSeparator(const std::wstring& path) {
    std::size_t pos = path.find_last_of(L"\\/");
    return (pos == std::wstring::npos || pos == 0) ? std::wstring::npos : pos;
}

} // namespace

std::uint32_t CountFiles(const std::wstring& folder) {
    plat::OpenFolder open;
    if (!open.Open(folder))
        return 0;
    return plat::CountTreeEntries(open);
}

void RegisterForDeletion(const std::wstring& path) {
    bool registered = plat::DeleteAtNextSystemStart(path);
    if (CLogImplW* log = GetProcessLog())
        log->Write(L"Register '" + path + L"' for deletion " +
                       (registered ? L"successful" : L"fail") + L".",
                   true);
}

bool FolderExists(const std::wstring& path) {
    plat::OpenFolder open;
    return open.Open(path);
}

bool StripTrailingBackslash(std::wstring* path) {
    if (path->empty() || !IsSeparator(path->back()))
        return false;
    path->pop_back();
    return true;
}

bool CreateFolderTree(const std::wstring& path) {
    std::wstring folder = path;
    StripTrailingBackslash(&folder);
    if (folder.empty())
        return false;
    return plat::CreateDirectoryTree(folder) && plat::DirectoryExists(folder);
}

bool DeleteFolderContents(const std::wstring& folder) {
    plat::OpenFolder open;
    if (!open.Open(folder))
        return false;
    return plat::DeleteTreeContents(open, plat::TreeDeleteOptions());
}

bool DeleteFolderTree(const std::wstring& folder) {
    std::wstring path = folder;
    StripTrailingBackslash(&path);
    if (!DeleteFolderContents(path))
        return false;
    return plat::RemoveDirectory(path);
}

bool IsFolderEmpty(const std::wstring& folder) {
    plat::OpenFolder open;
    return !open.Open(folder) || open.IsEmpty();
}

std::wstring GetTempFolder() {
    return plat::GetTempFolder();
}

std::wstring GetModulePath() {
    return plat::GetExecutablePath();
}

std::wstring GetModuleFolder() {
    return FolderOfPath(GetModulePath());
}

std::wstring FolderOfPath(const std::wstring& path) {
    std::size_t pos = LastInnerSeparator(path);
    return pos == std::wstring::npos ? std::wstring() : path.substr(0, pos);
}

std::wstring FileNameOfPath(const std::wstring& path) {
    std::size_t pos = LastInnerSeparator(path);
    return pos == std::wstring::npos ? std::wstring() : path.substr(pos + 1);
}

} // namespace assistant
