#pragma once
// One holder of a named object (mutex, event) shared by the processes of the
// user: a file in its kind's folder of the runtime folder, on which every
// holder keeps a shared flock. The object exists while some process holds
// it, which an exclusive probe tells; the last holder to detach removes the
// file. Probing and attaching happen under one exclusive guard lock, so
// that a probe never sees the short gap while a creator turns its probe
// lock into a shared one. Private to the POSIX backend; a holder is used by
// the thread that attached it.

#include <string>

namespace plat::posix {

// What a holder keeps: the object file, open for reading and writing, and
// its path.
struct NamedObjectHold {
    int fd = -1;
    std::string path;
};

// Attaches to the object `name` of the kind ("mutex", "event"). With
// mustExist only an object some process holds is opened (2 otherwise); else
// it is created when nobody holds it. `existed` tells whether another holder
// had it. On failure the last error is set and `hold` stays empty.
bool AttachNamedObject(const char* kind, const std::string& name, bool mustExist, bool* existed,
                       NamedObjectHold* hold);
// Detaches; the last holder removes the file. Keeps the last error.
void DetachNamedObject(NamedObjectHold* hold);

} // namespace plat::posix
