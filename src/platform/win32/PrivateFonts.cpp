// Privately registered font files.

#include "platform/win32/PrivateFonts.h"

#include "platform/win32/Handle.h"

#include <algorithm>

namespace plat::win {

namespace {

constexpr DWORD kPrivateFlags = FR_PRIVATE | FR_NOT_ENUM;
// Font files of a theme are small; bigger ones are served but not matched.
constexpr LONGLONG kMaxKeptBytes = 64ll << 20;
// The table tag of a font collection, as GetFontData takes it.
constexpr DWORD kCollectionTag = 0x66637474; // "ttcf"

std::string ReadSmallFile(const std::wstring& path) {
    Handle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file.Valid() || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 ||
        size.QuadPart > kMaxKeptBytes)
        return {};
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    if (!::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) ||
        got != bytes.size())
        return {};
    return bytes;
}

std::string FontBytes(HDC dc, DWORD table) {
    const DWORD size = ::GetFontData(dc, table, 0, nullptr, 0);
    if (size == GDI_ERROR || size == 0 || size > kMaxKeptBytes)
        return {};
    std::string bytes(size, '\0');
    if (::GetFontData(dc, table, 0, bytes.data(), size) != size)
        return {};
    return bytes;
}

} // namespace

PrivateFonts& PrivateFonts::Instance() {
    static PrivateFonts* fonts = new PrivateFonts();
    return *fonts;
}

int PrivateFonts::Add(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        FailWith(kErrFileNotFound);
        return 0;
    }
    const int added = ::AddFontResourceExW(path.c_str(), kPrivateFlags, nullptr);
    if (added <= 0) {
        FailWith(kErrInvalidData);
        return 0;
    }
    std::string bytes = ReadSmallFile(path);
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.push_back(Entry{path, std::move(bytes)});
    return added;
}

bool PrivateFonts::Remove(const std::wstring& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = std::find_if(entries_.begin(), entries_.end(),
                              [&](const Entry& entry) { return entry.path == path; });
    if (found == entries_.end())
        return FailWith(kErrFileNotFound);
    ::RemoveFontResourceExW(path.c_str(), kPrivateFlags, nullptr);
    entries_.erase(found);
    return true;
}

std::string PrivateFonts::FileOf(HDC dc) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (entries_.empty())
        return {};
    std::string whole = FontBytes(dc, kCollectionTag);
    if (whole.empty())
        whole = FontBytes(dc, 0);
    if (whole.empty())
        return {};
    for (const Entry& entry : entries_) {
        if (entry.bytes == whole)
            return WideToUtf8(entry.path);
    }
    return {};
}

} // namespace plat::win
