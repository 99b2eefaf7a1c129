#pragma once
// An exclusive flock on a lock file, held while the object lives: the named
// mutexes' guard, the registry store's writer lock and the pending-deletion
// list's lock. The file is created (with `mode`, 0600 unless given) when
// missing and never followed through a link; one that this process may only
// read (an administrator's, shared with users) is locked through a read-only
// descriptor. Threads of one
// process exclude each other as separate processes do, since every lock
// opens its own descriptor. Lives on the calling thread for one step.
// Private to the POSIX backend.

#include <string>

namespace plat::posix {

class LockFile {
public:
    // Waits until the lock is granted; on failure nothing is held and the
    // last error is set.
    explicit LockFile(const std::string& path, unsigned mode = 0600);
    ~LockFile();
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

} // namespace plat::posix
