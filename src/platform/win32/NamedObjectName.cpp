#include "platform/win32/NamedObjectName.h"
#include "platform/Unicode.h"

#include <cstdint>
#include <cwchar>

namespace plat::win {

std::wstring KernelObjectName(const std::string& name) {
    std::wstring wide = Utf8ToWide(name);
    std::size_t start = 0;
    for (const wchar_t* prefix : {L"Global\\", L"Local\\"}) {
        std::wstring text = prefix;
        if (wide.compare(0, text.size(), text) == 0) {
            start = text.size();
            break;
        }
    }
    for (std::size_t i = start; i < wide.size(); ++i)
        if (wide[i] == L'\\')
            wide[i] = L'_';
    // The system takes names up to MAX_PATH characters; a longer one keeps
    // its start and a hash of the whole, so different names stay different.
    constexpr std::size_t kMaxName = 200;
    if (wide.size() > kMaxName) {
        std::uint64_t hash = 14695981039346656037ull;
        for (wchar_t c : wide)
            hash = (hash ^ static_cast<std::uint64_t>(c)) * 1099511628211ull;
        wchar_t digits[24];
        std::swprintf(digits, 24, L"-%016llX", static_cast<unsigned long long>(hash));
        wide = wide.substr(0, kMaxName) + digits;
    }
    return wide;
}

} // namespace plat::win
