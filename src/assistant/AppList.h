#pragma once
// "applist.dat" in an installation folder: the shortcuts made for the
// installation's programs, as 652-byte records of a Name (65 UTF-16LE
// characters) and an Exec (261). Read by the assistant and the uninstaller
// thread; free functions, any thread.

#include <cstddef>
#include <string>
#include <vector>

namespace plat {
class OpenFolder;
}

namespace assistant {

inline constexpr wchar_t kAppListFileName[] = L"applist.dat";
inline constexpr std::size_t kAppListRecordSize = 652;
// More records than any installation makes: a larger file is no list.
inline constexpr std::size_t kMaxAppListRecords = 4096;

struct AppListRecord {
    std::wstring name;
    std::wstring exec;
};

enum class AppListState {
    Read,      // the records are there (perhaps none)
    Missing,   // no such file
    Malformed, // not a whole number of records, too large, a link, unreadable
};

// Reads "applist.dat" of the open installation folder, never through a
// link. Records are given only for Read.
AppListState ReadAppList(const plat::OpenFolder& folder, std::vector<AppListRecord>* records);

} // namespace assistant
