#pragma once
// File work of the registry store: the writer lock of a root, whole-file
// reads, atomic replacement of files and the creation and removal of key
// folders. Private to the POSIX backend. Every call may run on any thread
// and opens its own descriptors, so threads of one process exclude each
// other through the lock just as separate processes do.

#include "platform/posix/LockFile.h"
#include "platform/posix/RegistryPaths.h"

#include <cstddef>
#include <string>

namespace plat::posix {

// Holds the exclusive flock of one root's lock file while it lives. Every
// change of the store (values, key creation and deletion) happens under it;
// readers take no lock, since files are only ever replaced by rename and a
// reader sees either the old file or the new one, never a mix. The lock file
// gets the root's file mode, so that in the machine's store a user may take
// the lock to change a key an administrator gave to that user.
// Lives on the calling thread for one operation.
class RegistryWriteLock : public LockFile {
public:
    explicit RegistryWriteLock(const RootPlace& root);

    // False when the lock could not be taken (last error set).
    bool Locked() const { return Held(); }
};

// Reads a whole regular file of at most `limit` bytes. Fails with last
// error 2 when it is missing and 13 when it is larger or no regular file.
bool ReadStoreFile(const std::string& path, std::size_t limit, std::string* contents);

// Replaces folder/name with `contents`: writes a temporary file in the same
// folder, flushes it to disk and renames it over the old one.
bool ReplaceStoreFile(const std::string& folder, const char* name, const std::string& contents,
                      unsigned mode);

// A folder that is not a link. Fails with last error 2 when nothing is
// there, 5 when something else is.
bool IsKeyFolder(const std::string& path);

// Creates every missing folder of `path`, as the root of a store.
bool MakeRootFolders(const std::string& path, unsigned mode);

// Creates parent/folderName holding a name file with `nameBytes`. The folder
// is built under a temporary name and renamed into place, so that it never
// appears without its name. Call under the root's lock.
bool MakeKeyFolder(const std::string& parent, const std::string& folderName,
                   const std::string& nameBytes, unsigned folderMode, unsigned fileMode);

// Moves a key folder out of sight in one step (into a trash folder in the
// root) and then removes it with everything in it. Call under the root's
// lock.
bool RemoveKeyFolder(const std::string& rootFolder, const std::string& keyFolder);

} // namespace plat::posix
