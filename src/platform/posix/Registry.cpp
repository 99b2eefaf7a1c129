// The registry store over folders and files: one folder per key, the key's
// values in one file inside it (layout in RegistryPaths.h, file format in
// RegistryFormat.h). Changes happen under the root's writer lock and replace
// files by rename; reads take no lock.

#include "platform/Registry.h"

#include "platform/TextCase.h"
#include "platform/Unicode.h"
#include "platform/posix/ErrnoMap.h"
#include "platform/posix/RegistryFiles.h"
#include "platform/posix/RegistryFormat.h"
#include "platform/posix/RegistryPaths.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <utility>

namespace plat {

using namespace posix;

namespace {

// Bigger files are not the store's own: they count as damaged.
constexpr std::size_t kMaxValuesFile = std::size_t{64} << 20;
constexpr std::size_t kMaxNameFile = std::size_t{64} << 10;

struct KeyPlace {
    RootPlace root;
    std::vector<std::wstring> names;
    std::string folder;
};

bool LocateKey(RegistryRoot root, const std::wstring& path, KeyPlace* place) {
    if (!SplitKeyPath(path, &place->names) || !ResolveRoot(root, &place->root))
        return false;
    place->folder = KeyFolderPath(place->root.folder, place->names);
    return true;
}

// Checks every folder on the way down, so that a link planted inside the
// store cannot lead out of it. The root key always exists.
bool KeyExists(const KeyPlace& place) {
    std::string folder = place.root.folder;
    for (const std::wstring& name : place.names) {
        folder += '/';
        folder += KeyFolderName(name);
        if (!IsKeyFolder(folder))
            return false;
    }
    return true;
}

enum class ValuesState { Read, Damaged, Failed };

// A key without a values file has no values.
ValuesState LoadValues(const std::string& keyFolder, ValueList* values) {
    values->clear();
    std::string file;
    if (!ReadStoreFile(keyFolder + "/" + kValuesFile, kMaxValuesFile, &file)) {
        ErrorCode error = GetLastError();
        if (error == kErrFileNotFound)
            return ValuesState::Read;
        return error == kErrInvalidData ? ValuesState::Damaged : ValuesState::Failed;
    }
    return ParseValues(file, values) ? ValuesState::Read : ValuesState::Damaged;
}

bool CheckOpen(bool open) {
    if (!open)
        SetLastError(kErrInvalidHandle);
    return open;
}

// The values of an open key, for reading. A damaged values file fails with
// last error 13.
bool ReadValues(const RegistryKey& key, ValueList* values) {
    KeyPlace place;
    if (!CheckOpen(key.IsOpen()) || !LocateKey(key.Root(), key.Path(), &place))
        return false;
    switch (LoadValues(place.folder, values)) {
    case ValuesState::Read:
        return true;
    case ValuesState::Damaged:
        SetLastError(kErrInvalidData);
        return false;
    case ValuesState::Failed:
        break;
    }
    return false;
}

bool ReadOfType(const RegistryKey& key, const std::wstring& name, RegistryType type,
                RegistryValue* value) {
    if (!key.ReadValue(name, value))
        return false;
    if (value->type != type) {
        SetLastError(kErrInvalidData);
        return false;
    }
    return true;
}

// One read-modify-write of a key's values under the root's lock. A damaged
// values file counts as empty and is replaced by the changed one.
template <typename Change> bool ChangeValues(const RegistryKey& key, Change change) {
    KeyPlace place;
    if (!CheckOpen(key.IsOpen()) || !LocateKey(key.Root(), key.Path(), &place))
        return false;
    if (place.names.empty() && !MakeRootFolders(place.root.folder, place.root.folderMode))
        return false;
    RegistryWriteLock lock(place.root);
    if (!lock.Locked() || !KeyExists(place)) // the key may have been deleted since it was opened
        return false;
    ValueList values;
    if (LoadValues(place.folder, &values) == ValuesState::Failed || !change(values))
        return false;
    return ReplaceStoreFile(place.folder, kValuesFile, SerializeValues(values),
                            place.root.fileMode);
}

bool PutValue(const RegistryKey& key, const std::wstring& name, RegistryValue value) {
    return ChangeValues(key, [&](ValueList& values) {
        if (StoredValue* stored = FindValue(values, name))
            stored->value = std::move(value); // the name keeps its first spelling
        else
            values.push_back(StoredValue{name, std::move(value)});
        return true;
    });
}

// The name a subkey folder was created with. Should its name file be lost
// or not match the folder, the name comes from the folder name itself.
std::wstring SubkeyName(const std::string& folder, const std::string& entry) {
    std::string bytes;
    std::wstring name;
    if (ReadStoreFile(folder + "/" + kNameFile, kMaxNameFile, &bytes) &&
        DecodeWideBytes(bytes, &name) && KeyFolderName(name) == entry)
        return name;
    if (KeyNameFromFolder(entry, &name))
        return name;
    return Utf8ToWide(entry);
}

// Sorted as Windows lists subkeys: without regard to case.
void SortNames(std::vector<std::wstring>& names) {
    std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
        std::wstring lowerA = ToLowerAscii(a), lowerB = ToLowerAscii(b);
        return lowerA != lowerB ? lowerA < lowerB : a < b;
    });
}

} // namespace

bool RegistryKey::Open(RegistryRoot root, const std::wstring& path) {
    open_ = false;
    KeyPlace place;
    if (!LocateKey(root, path, &place) || !KeyExists(place))
        return false;
    root_ = root;
    path_ = path;
    open_ = true;
    return true;
}

bool RegistryKey::Create(RegistryRoot root, const std::wstring& path) {
    open_ = false;
    KeyPlace place;
    if (!LocateKey(root, path, &place) ||
        !MakeRootFolders(place.root.folder, place.root.folderMode))
        return false;
    if (!place.names.empty()) {
        RegistryWriteLock lock(place.root);
        if (!lock.Locked())
            return false;
        std::string folder = place.root.folder;
        for (const std::wstring& name : place.names) {
            std::string parent = folder;
            std::string folderName = KeyFolderName(name);
            folder += '/';
            folder += folderName;
            if (IsKeyFolder(folder))
                continue;
            if (GetLastError() != kErrFileNotFound ||
                !MakeKeyFolder(parent, folderName, EncodeWideBytes(name), place.root.folderMode,
                               place.root.fileMode))
                return false;
        }
    }
    root_ = root;
    path_ = path;
    open_ = true;
    return true;
}

bool RegistryKey::ReadString(const std::wstring& name, std::wstring* value) const {
    RegistryValue stored;
    if (!ReadOfType(*this, name, RegistryType::String, &stored))
        return false;
    *value = std::move(stored.text);
    return true;
}

bool RegistryKey::ReadDword(const std::wstring& name, std::uint32_t* value) const {
    RegistryValue stored;
    if (!ReadOfType(*this, name, RegistryType::Dword, &stored))
        return false;
    *value = stored.dword;
    return true;
}

bool RegistryKey::ReadBinary(const std::wstring& name, std::string* value) const {
    RegistryValue stored;
    if (!ReadOfType(*this, name, RegistryType::Binary, &stored))
        return false;
    *value = std::move(stored.bytes);
    return true;
}

bool RegistryKey::ReadValue(const std::wstring& name, RegistryValue* value) const {
    ValueList values;
    if (!ReadValues(*this, &values))
        return false;
    const StoredValue* stored = FindValue(values, name);
    if (!stored) {
        SetLastError(kErrFileNotFound);
        return false;
    }
    *value = stored->value;
    return true;
}

bool RegistryKey::WriteString(const std::wstring& name, const std::wstring& value) {
    RegistryValue stored;
    stored.type = RegistryType::String;
    stored.text = value;
    return PutValue(*this, name, std::move(stored));
}

bool RegistryKey::WriteDword(const std::wstring& name, std::uint32_t value) {
    RegistryValue stored;
    stored.type = RegistryType::Dword;
    stored.dword = value;
    return PutValue(*this, name, std::move(stored));
}

bool RegistryKey::WriteBinary(const std::wstring& name, const std::string& value) {
    RegistryValue stored;
    stored.type = RegistryType::Binary;
    stored.bytes = value;
    return PutValue(*this, name, std::move(stored));
}

bool RegistryKey::DeleteValue(const std::wstring& name) {
    return ChangeValues(*this, [&](ValueList& values) {
        auto found = std::find_if(values.begin(), values.end(), [&](const StoredValue& stored) {
            return EqualsNoCase(stored.name, name);
        });
        if (found == values.end()) {
            SetLastError(kErrFileNotFound);
            return false;
        }
        values.erase(found);
        return true;
    });
}

std::vector<std::wstring> RegistryKey::SubkeyNames() const {
    std::vector<std::wstring> names;
    KeyPlace place;
    if (!CheckOpen(open_) || !LocateKey(root_, path_, &place))
        return names;
    DIR* dir = ::opendir(place.folder.c_str());
    if (!dir) {
        SetLastErrno(errno);
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        std::string entryName = entry->d_name;
        if (entryName.empty() || entryName[0] == '.') // ".", "..", the store's own files
            continue;
        std::string child = place.folder + "/" + entryName;
        if (IsKeyFolder(child))
            names.push_back(SubkeyName(child, entryName));
    }
    ::closedir(dir);
    SortNames(names);
    SetLastError(kErrSuccess);
    return names;
}

std::vector<std::wstring> RegistryKey::ValueNames() const {
    std::vector<std::wstring> names;
    ValueList values;
    if (!ReadValues(*this, &values))
        return names;
    for (StoredValue& stored : values)
        names.push_back(std::move(stored.name));
    SetLastError(kErrSuccess);
    return names;
}

bool DeleteRegistryTree(RegistryRoot root, const std::wstring& path) {
    KeyPlace place;
    if (!LocateKey(root, path, &place))
        return false;
    if (place.names.empty()) {
        SetLastError(kErrAccessDenied); // a root cannot be deleted
        return false;
    }
    RegistryWriteLock lock(place.root);
    if (!lock.Locked() || !KeyExists(place))
        return false;
    return RemoveKeyFolder(place.root.folder, place.folder);
}

bool RegistryKeyExists(RegistryRoot root, const std::wstring& path) {
    KeyPlace place;
    return LocateKey(root, path, &place) && KeyExists(place);
}

} // namespace plat
