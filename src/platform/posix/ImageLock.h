#pragma once
// The running-program lock of ImageLock.h as the other parts of the POSIX
// backend test it before they delete or replace a file. Private to the
// backend.

#include <string>

namespace plat::posix {

// The entry `name` of the folder `folderFd` (AT_FDCWD for a path) is a
// runnable regular file that a running launcher holds.
bool ImageInUseAt(int folderFd, const std::string& name);

// Some runnable file below the folder at `path` (links not followed, at most
// 64 levels) is held.
bool TreeHoldsImageInUse(const std::string& path);

} // namespace plat::posix
