#pragma once
// Paths for tests that run on every system: written the POSIX way in the
// test ("/srv/Game", "games/Game"), made native here. On Windows the
// separators become "\" and an absolute path lands on drive C:; elsewhere
// the text stays as it is.

#include "platform/Unicode.h"

#include <filesystem>
#include <string>

namespace testsupport {

inline std::wstring NativeSeparators(std::wstring path) {
#ifdef _WIN32
    for (wchar_t& c : path)
        if (c == L'/')
            c = L'\\';
#endif
    return path;
}

inline std::wstring Native(std::wstring path) {
    path = NativeSeparators(path);
#ifdef _WIN32
    if (!path.empty() && path[0] == L'\\' && (path.size() == 1 || path[1] != L'\\'))
        path = L"C:" + path;
#endif
    return path;
}

// A file-system path of a wide path: the wide text itself on Windows, its
// UTF-8 bytes elsewhere.
inline std::filesystem::path FsPath(const std::wstring& path) {
#ifdef _WIN32
    return std::filesystem::path(path);
#else
    return std::filesystem::path(plat::WideToUtf8(path));
#endif
}

} // namespace testsupport
