#include "platform/NamedEvent.h"
#include "platform/win32/Handle.h"
#include "platform/win32/NamedObjectName.h"

namespace plat {

namespace {

using win::IntToHandle;

} // namespace

NamedEvent::~NamedEvent() {
    Close();
}

bool NamedEvent::Attach(const std::string& name, bool mustExist, bool* existed) {
    Close();
    const std::wstring kernelName = win::KernelObjectName(name);
    // Manual reset: set stays set until reset.
    HANDLE h = mustExist ? ::OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, kernelName.c_str())
                         : ::CreateEventW(nullptr, TRUE, FALSE, kernelName.c_str());
    if (h == nullptr) {
        DWORD error = ::GetLastError();
        if (mustExist && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND))
            return win::FailWith(kErrFileNotFound);
        return win::FailWithCode(error);
    }
    *existed = mustExist || ::GetLastError() == ERROR_ALREADY_EXISTS;
    fd_ = win::HandleToInt(h);
    path_ = name;
    return true;
}

bool NamedEvent::Create(const std::string& name, bool initiallySet) {
    bool existed = false;
    if (!Attach(name, false, &existed))
        return false;
    // An existing event keeps its state.
    if (!existed && initiallySet && !::SetEvent(IntToHandle(fd_))) {
        ErrorCode error = ::GetLastError();
        Close();
        return win::FailWithCode(error);
    }
    SetLastError(existed ? kErrAlreadyExists : kErrSuccess);
    return true;
}

bool NamedEvent::Open(const std::string& name) {
    bool existed = false;
    if (!Attach(name, true, &existed))
        return false;
    SetLastError(kErrSuccess);
    return true;
}

bool NamedEvent::Write(char state) {
    if (fd_ < 0)
        return win::FailWith(kErrInvalidHandle);
    BOOL done = state != 0 ? ::SetEvent(IntToHandle(fd_)) : ::ResetEvent(IntToHandle(fd_));
    return done ? true : win::FailWithSystemError();
}

bool NamedEvent::Set() {
    return Write(1);
}

bool NamedEvent::Reset() {
    return Write(0);
}

bool NamedEvent::IsSet() const {
    return fd_ >= 0 && ::WaitForSingleObject(IntToHandle(fd_), 0) == WAIT_OBJECT_0;
}

bool NamedEvent::Wait(int timeoutMs) const {
    if (fd_ < 0)
        return win::FailWith(kErrInvalidHandle);
    DWORD result = ::WaitForSingleObject(IntToHandle(fd_),
                                         timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
    if (result == WAIT_OBJECT_0)
        return true;
    if (result == WAIT_TIMEOUT)
        return win::FailWith(kErrWaitTimeout);
    return win::FailWithSystemError();
}

void NamedEvent::Close() {
    if (fd_ >= 0)
        ::CloseHandle(IntToHandle(fd_));
    fd_ = -1;
    path_.clear();
}

} // namespace plat
