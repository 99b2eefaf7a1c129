#include "platform/Registry.h"
#include "platform/TextCase.h"
#include "platform/win32/RegistryRoots.h"

#include <algorithm>

namespace plat {

namespace {

using win::RegistryPlace;

// The largest value the launcher reads; anything larger is no value of its.
constexpr DWORD kMaxValueBytes = 16u << 20;

// An open system key that closes itself.
class SystemKey {
public:
    SystemKey() = default;
    ~SystemKey() {
        if (key_)
            ::RegCloseKey(key_);
    }
    SystemKey(const SystemKey&) = delete;
    SystemKey& operator=(const SystemKey&) = delete;
    HKEY* Out() { return &key_; }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

bool Fail(LSTATUS status) {
    return win::FailWithCode(static_cast<DWORD>(status));
}

// Opens the key of a platform path (creating it when asked).
bool OpenSystemKey(RegistryRoot root, const std::wstring& path, REGSAM access, bool create,
                   SystemKey* key) {
    RegistryPlace place;
    if (!win::LocateRegistryKey(root, path, &place))
        return false;
    LSTATUS status;
    if (create)
        status =
            ::RegCreateKeyExW(place.base, place.path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              access | place.view, nullptr, key->Out(), nullptr);
    else
        status =
            ::RegOpenKeyExW(place.base, place.path.c_str(), 0, access | place.view, key->Out());
    return status == ERROR_SUCCESS ? true : Fail(status);
}

bool OpenOf(const RegistryKey& key, REGSAM access, SystemKey* system) {
    if (!key.IsOpen())
        return win::FailWith(kErrInvalidHandle);
    return OpenSystemKey(key.Root(), key.Path(), access, false, system);
}

// Reads one value whole; false with 2 when missing, 13 when too large.
bool QueryRaw(HKEY key, const std::wstring& name, DWORD* type, std::string* bytes) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = 0;
        LSTATUS status = ::RegQueryValueExW(key, name.c_str(), nullptr, type, nullptr, &size);
        if (status != ERROR_SUCCESS)
            return Fail(status);
        if (size > kMaxValueBytes)
            return win::FailWith(kErrInvalidData);
        bytes->assign(size, '\0');
        status = ::RegQueryValueExW(key, name.c_str(), nullptr, type,
                                    reinterpret_cast<BYTE*>(bytes->data()), &size);
        if (status == ERROR_MORE_DATA)
            continue; // it grew meanwhile
        if (status != ERROR_SUCCESS)
            return Fail(status);
        bytes->resize(size);
        return true;
    }
    return win::FailWith(kErrInvalidData);
}

bool Decode(DWORD type, const std::string& bytes, RegistryValue* value) {
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
        value->type = RegistryType::String;
        std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
        std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(text.size() * 2),
                  reinterpret_cast<char*>(text.data()));
        // The stored terminator (or several) is no part of the text.
        while (!text.empty() && text.back() == L'\0')
            text.pop_back();
        value->text = std::move(text);
        return true;
    }
    case REG_DWORD:
        if (bytes.size() != sizeof(DWORD))
            return win::FailWith(kErrInvalidData);
        value->type = RegistryType::Dword;
        value->dword = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[0])) |
                       static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[1])) << 8 |
                       static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2])) << 16 |
                       static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[3])) << 24;
        return true;
    case REG_BINARY:
        value->type = RegistryType::Binary;
        value->bytes = bytes;
        return true;
    default:
        return win::FailWith(kErrInvalidData);
    }
}

bool ReadAny(const RegistryKey& key, const std::wstring& name, RegistryValue* value) {
    SystemKey system;
    if (!OpenOf(key, KEY_QUERY_VALUE, &system))
        return false;
    DWORD type = 0;
    std::string bytes;
    return QueryRaw(system.Get(), name, &type, &bytes) && Decode(type, bytes, value);
}

bool ReadOfType(const RegistryKey& key, const std::wstring& name, RegistryType type,
                RegistryValue* value) {
    if (!ReadAny(key, name, value))
        return false;
    return value->type == type ? true : win::FailWith(kErrInvalidData);
}

bool Put(RegistryKey& key, const std::wstring& name, DWORD type, const void* data, DWORD size) {
    SystemKey system;
    if (!OpenOf(key, KEY_SET_VALUE, &system))
        return false;
    LSTATUS status =
        ::RegSetValueExW(system.Get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    return status == ERROR_SUCCESS ? true : Fail(status);
}

} // namespace

bool RegistryKey::Open(RegistryRoot root, const std::wstring& path) {
    open_ = false;
    SystemKey system;
    if (!OpenSystemKey(root, path, KEY_QUERY_VALUE, false, &system))
        return false;
    root_ = root;
    path_ = path;
    open_ = true;
    return true;
}

bool RegistryKey::Create(RegistryRoot root, const std::wstring& path) {
    open_ = false;
    SystemKey system;
    if (!OpenSystemKey(root, path, KEY_QUERY_VALUE | KEY_SET_VALUE, true, &system))
        return false;
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
    return ReadAny(*this, name, value);
}

bool RegistryKey::WriteString(const std::wstring& name, const std::wstring& value) {
    // The terminator is stored with the text, as the system's readers expect.
    return Put(*this, name, REG_SZ, value.c_str(),
               static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

bool RegistryKey::WriteDword(const std::wstring& name, std::uint32_t value) {
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
        static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    return Put(*this, name, REG_DWORD, bytes, 4);
}

bool RegistryKey::WriteBinary(const std::wstring& name, const std::string& value) {
    if (value.size() > kMaxValueBytes)
        return win::FailWith(kErrInvalidParameter);
    return Put(*this, name, REG_BINARY, value.data(), static_cast<DWORD>(value.size()));
}

bool RegistryKey::DeleteValue(const std::wstring& name) {
    SystemKey system;
    if (!OpenOf(*this, KEY_SET_VALUE, &system))
        return false;
    LSTATUS status = ::RegDeleteValueW(system.Get(), name.c_str());
    return status == ERROR_SUCCESS ? true : Fail(status);
}

std::vector<std::wstring> RegistryKey::SubkeyNames() const {
    std::vector<std::wstring> names;
    SystemKey system;
    if (!OpenOf(*this, KEY_ENUMERATE_SUB_KEYS, &system))
        return names;
    wchar_t name[256]; // the longest key name is 255 characters
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        LSTATUS status =
            ::RegEnumKeyExW(system.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS) {
            Fail(status);
            return {};
        }
        names.emplace_back(name, length);
    }
    std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
        std::wstring lowerA = ToLowerAscii(a), lowerB = ToLowerAscii(b);
        return lowerA != lowerB ? lowerA < lowerB : a < b;
    });
    SetLastError(kErrSuccess);
    return names;
}

std::vector<std::wstring> RegistryKey::ValueNames() const {
    std::vector<std::wstring> names;
    SystemKey system;
    if (!OpenOf(*this, KEY_QUERY_VALUE, &system))
        return names;
    std::wstring name(16384, L'\0'); // the longest value name is 16383 characters
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        LSTATUS status = ::RegEnumValueW(system.Get(), index, name.data(), &length, nullptr,
                                         nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS) {
            Fail(status);
            return {};
        }
        names.emplace_back(name.data(), length);
    }
    SetLastError(kErrSuccess);
    return names;
}

bool DeleteRegistryTree(RegistryRoot root, const std::wstring& path) {
    RegistryPlace place;
    if (!win::LocateRegistryKey(root, path, &place))
        return false;
    if (place.isRoot)
        return win::FailWith(kErrAccessDenied); // a root cannot be deleted
    {
        SystemKey system;
        LSTATUS status = ::RegOpenKeyExW(place.base, place.path.c_str(), 0,
                                         DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE |
                                             KEY_SET_VALUE | place.view,
                                         system.Out());
        if (status != ERROR_SUCCESS)
            return Fail(status);
        // Everything below the key; a link key is deleted, never followed.
        status = ::RegDeleteTreeW(system.Get(), nullptr);
        if (status != ERROR_SUCCESS)
            return Fail(status);
    }
    LSTATUS status = ::RegDeleteKeyExW(place.base, place.path.c_str(), place.view, 0);
    return status == ERROR_SUCCESS ? true : Fail(status);
}

bool RegistryKeyExists(RegistryRoot root, const std::wstring& path) {
    SystemKey system;
    return OpenSystemKey(root, path, KEY_QUERY_VALUE, false, &system);
}

} // namespace plat
