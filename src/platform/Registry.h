#pragma once
// A small hierarchical settings store standing in for the Windows registry:
// two roots (the current user's and the machine's), keys with subkeys, and
// string, DWORD and binary values. Any thread and any process may use it;
// every change is written atomically under a lock, so two processes writing
// at the same time never lose or tear each other's values.
//
// Key paths use "\" between names, as on Windows ("Software\Demo\Language").
// Names compare without regard to ASCII case. LAUNCHER_REGISTRY_HKCU and
// LAUNCHER_REGISTRY_HKLM move the roots (tests).

#include "platform/Error.h"

#include <cstdint>
#include <string>
#include <vector>

namespace plat {

enum class RegistryRoot { CurrentUser, LocalMachine };

// Value kinds, with the Windows type numbers.
enum class RegistryType : std::uint32_t { String = 1, Binary = 3, Dword = 4 };

struct RegistryValue {
    RegistryType type = RegistryType::String;
    std::wstring text;       // String
    std::uint32_t dword = 0; // Dword
    std::string bytes;       // Binary
};

// An open key. Operations fail with last error 2 when the key or value is
// missing and 5 when the store cannot be written; on a closed key they fail
// with 6. Reading a value as another type than it holds fails with 13, and so
// does every read of a key whose values file is damaged: such a key counts as
// having no values, and its next write starts the file afresh. Paths with a
// "." or ".." name fail with 123; empty names (as in "a\\b") are skipped.
// A key holds only its root and path, so it may be used from any thread; each
// call reaches the store anew.
class RegistryKey {
public:
    RegistryKey() = default;

    // Opens an existing key.
    bool Open(RegistryRoot root, const std::wstring& path);
    // Opens the key, creating it and any missing parents.
    bool Create(RegistryRoot root, const std::wstring& path);
    bool IsOpen() const { return open_; }
    void Close() { open_ = false; }

    bool ReadString(const std::wstring& name, std::wstring* value) const;
    bool ReadDword(const std::wstring& name, std::uint32_t* value) const;
    bool ReadBinary(const std::wstring& name, std::string* value) const;
    bool ReadValue(const std::wstring& name, RegistryValue* value) const;

    bool WriteString(const std::wstring& name, const std::wstring& value);
    bool WriteDword(const std::wstring& name, std::uint32_t value);
    bool WriteBinary(const std::wstring& name, const std::string& value);
    bool DeleteValue(const std::wstring& name);

    // Names as first spelt. Subkeys come sorted without regard to case,
    // values in the order they were first written. Empty with the last error
    // set on failure; last error 0 on success.
    std::vector<std::wstring> SubkeyNames() const;
    std::vector<std::wstring> ValueNames() const;

    RegistryRoot Root() const { return root_; }
    const std::wstring& Path() const { return path_; }

private:
    RegistryRoot root_ = RegistryRoot::CurrentUser;
    std::wstring path_;
    bool open_ = false;
};

// Deletes a key with all its subkeys and values. A root itself cannot be
// deleted (last error 5).
bool DeleteRegistryTree(RegistryRoot root, const std::wstring& path);
bool RegistryKeyExists(RegistryRoot root, const std::wstring& path);

} // namespace plat
