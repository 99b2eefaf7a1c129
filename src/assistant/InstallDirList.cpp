#include "assistant/InstallDirList.h"

#include "base/Strings.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"

#include <utility>
#include <vector>

namespace assistant {

namespace {

constexpr wchar_t kInstallSubkey[] = L"Install";
constexpr wchar_t kUninstallRoot[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
// The value buffer holds 1022 bytes of UTF-16 with its terminator.
constexpr std::size_t kMaxEntryLength = 1022 / 2 - 1;
// Shorter folders are drive roots or garbage, never an installation.
constexpr std::size_t kMinFolderLength = 4;

bool IsSeparator(wchar_t c) {
    return c == L'/' || c == L'\\';
}

// A string value the list can use as an entry.
bool ReadEntry(const plat::RegistryKey& key, const std::wstring& name, std::wstring* text) {
    plat::RegistryValue value;
    if (!key.IsOpen() || !key.ReadValue(name, &value))
        return false;
    if (value.type != plat::RegistryType::String || value.text.size() > kMaxEntryLength ||
        value.text.find(L'\0') != std::wstring::npos)
        return false;
    *text = std::move(value.text);
    return true;
}

bool IsEmptyFolder(const std::wstring& folder) {
    return plat::FindFiles(plat::JoinPath(folder, L"*")).empty();
}

} // namespace

CInstallDirList::CInstallDirList(std::wstring regPath) : regPath_(std::move(regPath)) {}

std::wstring CInstallDirList::InstallKeyPath() const {
    return regPath_ + L"\\" + kInstallSubkey;
}

std::wstring CInstallDirList::ValueName(int index) {
    return index == 0 ? std::wstring(L"Directory") : L"Directory" + std::to_wstring(index);
}

std::wstring CInstallDirList::Normalize(const std::wstring& folder) {
    std::wstring out;
    out.reserve(folder.size());
    for (wchar_t c : folder) {
        if (c == L'"')
            continue;
        out += IsSeparator(c) ? plat::PathSeparator() : c;
    }
    while (!out.empty() && IsSeparator(out.back()))
        out.pop_back();
    return out;
}

bool CInstallDirList::Load() {
    if (!plat::RegistryKeyExists(plat::RegistryRoot::LocalMachine, regPath_)) {
        plat::SetLastError(plat::kErrFileNotFound);
        return false;
    }
    plat::RegistryKey key;
    key.Open(plat::RegistryRoot::LocalMachine, InstallKeyPath());
    std::vector<int> repaired;
    for (int i = 0; i < kEntryCount; ++i) {
        std::wstring& entry = entries_[static_cast<std::size_t>(i)];
        if (!ReadEntry(key, ValueName(i), &entry)) {
            entry.clear();
            repaired.push_back(i);
        }
    }
    if (!repaired.empty()) {
        plat::RegistryKey writable;
        if (writable.Create(plat::RegistryRoot::LocalMachine, InstallKeyPath()))
            for (int i : repaired)
                writable.WriteString(ValueName(i), std::wstring());
    }
    plat::SetLastError(plat::kErrSuccess);
    return true;
}

bool CInstallDirList::Save() {
    plat::RegistryKey key;
    if (!key.Create(plat::RegistryRoot::LocalMachine, InstallKeyPath()))
        return false;
    for (int i = 0; i < kEntryCount; ++i)
        if (!key.WriteString(ValueName(i), entries_[static_cast<std::size_t>(i)]))
            return false;
    return true;
}

int CInstallDirList::Find(const std::wstring& folder) {
    // An empty text would match every free entry.
    std::wstring wanted = Normalize(folder);
    if (wanted.empty() || !Load())
        return -1;
    for (int i = 0; i < kEntryCount; ++i) {
        const std::wstring& entry = entries_[static_cast<std::size_t>(i)];
        if (!entry.empty() && base::EqualsNoCase(Normalize(entry), wanted))
            return i;
    }
    return -1;
}

bool CInstallDirList::Remove(const std::wstring& folder) {
    int index = Find(folder);
    if (index >= 0) {
        entries_[static_cast<std::size_t>(index)].clear();
        Save();
    }
    return Find(folder) == -1;
}

bool CInstallDirList::Add(const std::wstring& folder) {
    std::wstring wanted = Normalize(folder);
    if (wanted.size() < kMinFolderLength) {
        plat::SetLastError(plat::kErrInvalidParameter);
        return false;
    }
    if (Find(wanted) < 0) {
        if (!Load())
            return false;
        std::wstring* freeEntry = nullptr;
        for (std::wstring& entry : entries_) {
            if (entry.empty()) {
                freeEntry = &entry;
                break;
            }
        }
        if (!freeEntry) {
            plat::SetLastError(plat::kErrInsufficientBuffer);
            return false;
        }
        *freeEntry = wanted;
    }
    if (!Save())
        return false;
    return Find(wanted) >= 0;
}

bool CInstallDirList::Clean() {
    if (!Load())
        return false;
    for (std::wstring& entry : entries_) {
        if (entry.size() < kMinFolderLength || !plat::DirectoryExists(entry) ||
            IsEmptyFolder(entry))
            entry.clear();
    }
    return Save();
}

std::wstring CInstallDirList::FirstFolder() {
    if (!Load())
        return std::wstring();
    for (const std::wstring& entry : entries_)
        if (entry.size() >= kMinFolderLength)
            return entry;
    return std::wstring();
}

int CInstallDirList::Rename(const std::wstring& from, const std::wstring& to) {
    int index = Find(from);
    if (index < 0)
        return -1;
    entries_[static_cast<std::size_t>(index)] = Normalize(to);
    return Save() ? index : -1;
}

std::wstring InstallationDisplayName(const std::wstring& baseName, int index, bool portable) {
    std::wstring name = portable ? baseName + L" Portable" : baseName;
    if (index <= 0)
        return name;
    return name + L" (" + std::to_wstring(index + 1) + L")";
}

std::wstring UninstallKeyName(const std::wstring& fullName, int index) {
    return fullName + L" " + std::to_wstring(index);
}

std::wstring UninstallKeyPath(const std::wstring& fullName, int index) {
    return kUninstallRoot + UninstallKeyName(fullName, index);
}

} // namespace assistant
