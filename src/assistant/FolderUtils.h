#pragma once
// File and folder helpers shared by the launcher, its assistant and the
// update engine: counting and deleting folder trees (never through a link,
// never onto another device), creating folder paths, deletion at the next
// system start, and the path helpers. Free functions without state; any
// thread.

#include <cstdint>
#include <string>

namespace assistant {

// Every file and folder below the folder (a folder counts one plus its own
// entries); 0 for a folder that cannot be listed.
std::uint32_t CountFiles(const std::wstring& folder);

// Registers the file for deletion at the next system start and logs
// "Register '<path>' for deletion successful." (or "fail") to the process
// log.
void RegisterForDeletion(const std::wstring& path);

// A folder (not a link to one) exists at the path.
bool FolderExists(const std::wstring& path);
// Removes one trailing separator ("\" or "/"); true when there was one.
bool StripTrailingBackslash(std::wstring* path);
// Creates the folder and every missing folder above it; false when a part
// exists but is no folder.
bool CreateFolderTree(const std::wstring& path);
// Deletes everything inside the folder; true when every removal succeeded.
bool DeleteFolderContents(const std::wstring& folder);
// Deletes the folder with its contents; the result is that of removing the
// folder itself.
bool DeleteFolderTree(const std::wstring& folder);
// True when the folder is missing, cannot be listed or holds nothing.
bool IsFolderEmpty(const std::wstring& folder);

// The launcher's temporary folder, with its trailing separator.
std::wstring GetTempFolder();
// The running executable's full path and its folder.
std::wstring GetModulePath();
std::wstring GetModuleFolder();
// The text before (after) the last separator, "\" or "/", when that
// separator is not the first character; empty otherwise.
std::wstring FolderOfPath(const std::wstring& path);
std::wstring FileNameOfPath(const std::wstring& path);

} // namespace assistant
