// Named mutexes as named object files in the runtime folder's "mutex/"
// folder (posix/NamedObject.h): the mutex exists while some process holds
// its file.

#include "platform/NamedMutex.h"

#include "platform/posix/NamedObject.h"

#include <utility>

namespace plat {

namespace {

constexpr ErrorCode kErrNotOwner = 288;
constexpr const char* kKind = "mutex";

} // namespace

NamedMutex::~NamedMutex() {
    Close();
}

bool NamedMutex::Attach(const std::string& name, bool mustExist, bool* existed) {
    Close();
    posix::NamedObjectHold hold;
    if (!posix::AttachNamedObject(kKind, name, mustExist, existed, &hold))
        return false;
    fd_ = hold.fd;
    path_ = std::move(hold.path);
    return true;
}

bool NamedMutex::Create(const std::string& name, bool initialOwner) {
    bool existed = false;
    if (!Attach(name, false, &existed))
        return false;
    owned_ = initialOwner && !existed;
    SetLastError(existed ? kErrAlreadyExists : kErrSuccess);
    return true;
}

bool NamedMutex::Open(const std::string& name) {
    bool existed = false;
    if (!Attach(name, true, &existed))
        return false;
    owned_ = false;
    return true;
}

bool NamedMutex::Release() {
    if (!IsOpen()) {
        SetLastError(kErrInvalidHandle);
        return false;
    }
    if (!owned_) {
        SetLastError(kErrNotOwner);
        return false;
    }
    owned_ = false;
    return true;
}

void NamedMutex::Close() {
    posix::NamedObjectHold hold{fd_, std::move(path_)};
    posix::DetachNamedObject(&hold);
    fd_ = -1;
    path_.clear();
    owned_ = false;
}

} // namespace plat
