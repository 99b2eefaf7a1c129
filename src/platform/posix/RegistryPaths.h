#pragma once
// Where the two roots of the registry store live and how key paths become
// folder paths inside them. Private to the POSIX backend; safe on any thread
// (it only reads the environment).
//
// Every key is a folder; its subkeys are folders inside it, named by
// KeyFolderName. Files of the store itself start with a dot, which an encoded
// key name never does, so a key called "values" or ".lock" cannot collide
// with them.

#include "platform/Registry.h"

#include <string>
#include <string_view>
#include <vector>

namespace plat::posix {

inline constexpr const char* kValuesFile = ".values";  // the key's values
inline constexpr const char* kNameFile = ".name";      // the key's name as first spelt
inline constexpr const char* kLockFile = ".lock";      // writer lock, in the root folder only
inline constexpr const char* kTempPrefix = ".tmp-";    // files and folders being written
inline constexpr const char* kTrashPrefix = ".trash-"; // deleted trees being removed

struct RootPlace {
    std::string folder;         // native, without a trailing separator
    unsigned folderMode = 0700; // for folders the store creates
    unsigned fileMode = 0600;   // for files the store writes
};

// The folder of a root. Fails with last error 3 when none can be named: a
// moving variable that is set but not an absolute path, or no home folder.
bool ResolveRoot(RegistryRoot root, RootPlace* place);

// Splits "Software\Demo" into its names. Empty names (doubled, leading or
// trailing "\") are skipped; "." and ".." are refused with last error 123,
// so no path can climb out of its root. An empty path names the root.
bool SplitKeyPath(std::wstring_view path, std::vector<std::wstring>* names);

// The folder name of a key name: lowercased (ASCII), then every byte other
// than a-z, 0-9, '-' and '_' written as %XX, so "/" and "." can never act as
// path syntax. Overlong results are cut and end with a hash of the name.
std::string KeyFolderName(std::wstring_view name);
// The key name a folder name came from, where it can be told (not for cut
// names); its case is lost.
bool KeyNameFromFolder(std::string_view folderName, std::wstring* name);

// root/enc(name1)/enc(name2)...
std::string KeyFolderPath(const std::string& rootFolder, const std::vector<std::wstring>& names);

} // namespace plat::posix
