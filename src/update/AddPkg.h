#pragma once
// The installed add packages and their file "addpkg.dat" in the installation
// folder: a run of 128-byte records, each a package file name in UTF-16LE
// padded with zero bytes. Used by one thread at a time: the checker thread
// loads it, the window thread registers packages it has downloaded.

#include <cstddef>
#include <set>
#include <string>

namespace update {

class CAddPkg {
public:
    static constexpr std::size_t kRecordSize = 128;
    // Longest name a record holds (UTF-16 units), leaving room for a zero.
    static constexpr std::size_t kMaxNameUnits = kRecordSize / 2 - 1;

    // "addpkg.dat" in the installation folder.
    static std::wstring PathIn(const std::wstring& installDir);

    void SetPath(const std::wstring& path) { path_ = path; }
    const std::wstring& Path() const { return path_; }

    // Replaces the set with the names of the file's records (each up to its
    // first zero unit; empty records are skipped, duplicates merge). A
    // missing file, or one whose size is not a multiple of 128, leaves the
    // set empty and gives false.
    bool Load();

    // Registers a package. A new name goes into the set and one record is
    // appended to the file (created when missing) — the append only when
    // the file's size is a multiple of 128. True when the name was already
    // there or its record was written. An empty name, or one longer than a
    // record holds, is refused and changes nothing.
    bool Add(const std::wstring& name);

    // Recreates the file with one record per name, in the set's order.
    bool Rewrite() const;

    const std::set<std::wstring>& Names() const { return names_; }
    bool Contains(const std::wstring& name) const { return names_.count(name) != 0; }

private:
    std::wstring path_;
    std::set<std::wstring> names_;
};

} // namespace update
