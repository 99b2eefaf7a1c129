#pragma once
// The machine-wide list of installation folders, and the names derived from
// an installation's index.

#include <array>
#include <string>

namespace assistant {

// The list of installation folders recorded under
// HKEY_LOCAL_MACHINE\<regPath>\Install: ten string values, "Directory" for
// entry 0 and "Directory1" to "Directory9" for the others. An entry holds a
// folder or an empty text; the entry number is the installation's index.
// Used by the launcher's window thread and by the elevated assistant's main
// thread; one object belongs to one thread at a time.
//
// Folders compare without regard to ASCII case, as on Windows, although
// Linux paths are case-sensitive: two folders that differ only in case count
// as one installation.
class CInstallDirList {
public:
    static constexpr int kEntryCount = 10;

    // regPath is the launcher's registry path ("\" between key names).
    explicit CInstallDirList(std::wstring regPath);

    // Reads every entry. Fails (last error 2) when the launcher's key
    // HKEY_LOCAL_MACHINE\<regPath> does not exist. An entry that is missing,
    // not a string or malformed reads as empty and is written back as an
    // empty string; a failing write-back does not fail the load.
    bool Load();
    // Creates the "Install" subkey when needed and writes all entries.
    bool Save();

    // Loads and gives the index of the first entry equal to the normalised
    // folder, or -1 (also when the load fails or the folder is empty).
    int Find(const std::wstring& folder);
    // Empties the first entry equal to the folder and saves; true when the
    // folder is no longer listed afterwards.
    bool Remove(const std::wstring& folder);
    // Loads, lists the folder (normalised) in the first empty entry unless it
    // is listed already, and saves; true when it is found afterwards. Folders
    // shorter than 4 characters and a full list fail.
    bool Add(const std::wstring& folder);
    // Loads, empties every entry shorter than 4 characters or naming a folder
    // that is missing or empty, and saves.
    bool Clean();
    // Loads and gives the first entry longer than 3 characters, or "".
    std::wstring FirstFolder();
    // Puts `to` (normalised) into the entry that lists `from` and saves.
    // The entry's index, or -1 when `from` is not listed or the save failed.
    int Rename(const std::wstring& from, const std::wstring& to);

    // The entries as last loaded or changed.
    const std::wstring& Entry(int index) const { return entries_[static_cast<std::size_t>(index)]; }

    // The value name of an entry: "Directory", "Directory1" ... "Directory9".
    static std::wstring ValueName(int index);
    // Removes double quotes, turns both separators into the native one and
    // drops trailing separators.
    static std::wstring Normalize(const std::wstring& folder);

private:
    std::wstring InstallKeyPath() const;

    std::wstring regPath_;
    std::array<std::wstring, kEntryCount> entries_;
};

// The name shown for installation `index`: the base name alone for index 0
// (or below), else "<base> (<index + 1>)"; the portable form puts
// " Portable" after the base name.
std::wstring InstallationDisplayName(const std::wstring& baseName, int index,
                                     bool portable = false);
// "<fullName> <index>": the name of the installation's uninstall entry.
std::wstring UninstallKeyName(const std::wstring& fullName, int index);
// The uninstall entry's key path under HKEY_LOCAL_MACHINE.
std::wstring UninstallKeyPath(const std::wstring& fullName, int index);

} // namespace assistant
