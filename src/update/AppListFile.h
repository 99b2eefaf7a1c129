#pragma once
// "applist.dat" in the installation folder: the shortcuts made for the
// installation's programs, as a run of 652-byte records, each a Name (130
// bytes, UTF-16LE, zero-terminated) and an Exec (522 bytes). Read on the
// checker thread.

#include <cstddef>
#include <string>
#include <vector>

namespace update {

struct AppListRecord {
    std::wstring name;
    std::wstring exec;
};

inline constexpr std::size_t kAppListRecordSize = 652;
inline constexpr std::size_t kAppListNameBytes = 130;

// "applist.dat" in the installation folder.
std::wstring AppListPathIn(const std::wstring& installDir);

// Replaces *records with the file's records. A missing file, or one whose
// size is not a multiple of the record size, gives none and false.
bool ReadAppListFile(const std::wstring& path, std::vector<AppListRecord>* records);

} // namespace update
