#include "platform/NamedMutex.h"
#include "platform/win32/Handle.h"
#include "platform/win32/NamedObjectName.h"

namespace plat {

namespace {

using win::IntToHandle;

constexpr ErrorCode kErrNotOwner = 288;

} // namespace

NamedMutex::~NamedMutex() {
    Close();
}

bool NamedMutex::Attach(const std::string& name, bool mustExist, bool* existed) {
    Close();
    const std::wstring kernelName = win::KernelObjectName(name);
    HANDLE h = mustExist ? ::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, kernelName.c_str())
                         : ::CreateMutexW(nullptr, FALSE, kernelName.c_str());
    if (h == nullptr) {
        DWORD error = ::GetLastError();
        // No such mutex, whatever the system calls it.
        if (mustExist && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND))
            return win::FailWith(kErrFileNotFound);
        return win::FailWithCode(error);
    }
    *existed = mustExist || ::GetLastError() == ERROR_ALREADY_EXISTS;
    fd_ = win::HandleToInt(h);
    path_ = name;
    return true;
}

bool NamedMutex::Create(const std::string& name, bool initialOwner) {
    bool existed = false;
    if (!Attach(name, false, &existed))
        return false;
    // Only the creator takes it at once, as CreateMutex with an initial
    // owner does; the wait cannot block on a mutex this call made.
    if (initialOwner && !existed && ::WaitForSingleObject(IntToHandle(fd_), 0) == WAIT_OBJECT_0)
        owned_ = true;
    SetLastError(existed ? kErrAlreadyExists : kErrSuccess);
    return true;
}

bool NamedMutex::Open(const std::string& name) {
    bool existed = false;
    if (!Attach(name, true, &existed))
        return false;
    SetLastError(kErrSuccess);
    return true;
}

bool NamedMutex::Release() {
    if (fd_ < 0)
        return win::FailWith(kErrInvalidHandle);
    if (!owned_)
        return win::FailWith(kErrNotOwner);
    if (!::ReleaseMutex(IntToHandle(fd_)))
        return win::FailWithSystemError();
    owned_ = false;
    return true;
}

void NamedMutex::Close() {
    if (fd_ >= 0) {
        if (owned_)
            ::ReleaseMutex(IntToHandle(fd_));
        ::CloseHandle(IntToHandle(fd_));
    }
    fd_ = -1;
    owned_ = false;
    path_.clear();
}

} // namespace plat
