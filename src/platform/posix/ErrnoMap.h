#pragma once
// Maps errno values onto the Windows error numbers the launcher logs and shows.
// Private to the POSIX backend.

#include "platform/Error.h"

namespace plat::posix {

ErrorCode ErrnoToError(int err);
// Sets the thread's last error from an errno value.
void SetLastErrno(int err);

} // namespace plat::posix
