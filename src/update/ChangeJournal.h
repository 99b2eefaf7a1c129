#pragma once
// The change journal of an installation folder, "changes.dat": the client
// version recorded when actions were last applied and the ids of the actions
// applied so far. The file is a plain run of 32-bit little-endian values:
// four version numbers (major, minor, build, revision), then the ids in the
// order they were applied; the count is the file length divided by 4.
//
// One object per use, on the launcher window's thread; every use loads the
// file afresh and every change saves it at once. A save writes a temporary
// file beside the journal and renames it over, so a power cut leaves the old
// or the new journal, never a torn one.
//
// A journal that cannot be read, whose length is no multiple of 4, that is
// too short to hold the version, or that is larger than any real journal is
// damaged: it loads as empty (version 0.0.0.0, no ids) and Damaged() tells
// the caller, who must not run destructive actions on that basis.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace update {

using VersionNumbers = std::array<std::int32_t, 4>;

// A version text split at "." with empty parts skipped; the first four parts
// read as signed decimal numbers (a part without digits gives 0), missing
// parts 0.
VersionNumbers ParseVersionText(std::string_view text);
// -1, 0 or 1: the first differing component decides.
int CompareVersions(const VersionNumbers& a, const VersionNumbers& b);

inline constexpr wchar_t kJournalFileName[] = L"changes.dat";
// Far more ids than any product ships actions; a larger file is not a journal.
inline constexpr std::uint64_t kMaxJournalBytes = 1024 * 1024;

class CChangeJournal {
public:
    enum class LoadState {
        Loaded,  // read as it stands (an empty file included)
        Created, // there was none: an empty journal was written
        Damaged, // unreadable, torn or oversized: taken as empty
    };

    // `clientExe` is the client executable's file name inside the folder.
    CChangeJournal(std::wstring installFolder, std::wstring clientExe);

    std::wstring Path() const;
    LoadState Load();
    // Writes every value through a temporary file renamed over the journal.
    bool Save() const;
    // Loads the journal and records the client executable's file version;
    // without that executable (or its version) nothing is saved.
    bool UpdateVersion();
    // Whether an action of that id and client-version range is due: the
    // version test is skipped while the first three recorded numbers are 0;
    // an id already recorded is not due again.
    bool IsActionApplicable(std::int32_t id, std::string_view verStart,
                            std::string_view verEnd) const;
    // Records the id (0 is never recorded) and saves the journal.
    bool MarkActionApplied(std::int32_t id);

    bool Damaged() const { return state_ == LoadState::Damaged; }
    LoadState State() const { return state_; }
    std::uint64_t DamagedSize() const { return damagedSize_; }
    const std::vector<std::int32_t>& Values() const { return values_; }
    VersionNumbers Version() const;
    bool HasId(std::int32_t id) const;

private:
    std::wstring folder_;
    std::wstring clientExe_;
    std::vector<std::int32_t> values_;
    LoadState state_ = LoadState::Loaded;
    std::uint64_t damagedSize_ = 0;
};

// Reads the client executable's file version ("major.minor.build.revision"
// as the build recorded it); false when the file or its version is missing.
bool ReadClientFileVersion(const std::wstring& path, std::string* version);

} // namespace update
