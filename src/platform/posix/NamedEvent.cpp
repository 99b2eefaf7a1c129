// Named events as named object files in the runtime folder's "event/"
// folder (posix/NamedObject.h): the file's first byte is the state ('1'
// set). A wait watches the file with inotify and reads the byte again on
// every change, with a short poll as a safety net.

#include "platform/NamedEvent.h"

#include "platform/posix/Deadline.h"
#include "platform/posix/ErrnoMap.h"
#include "platform/posix/NamedObject.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>
#include <utility>

namespace plat {

namespace {

constexpr const char* kKind = "event";
// A wait looks at the state at least this often, also without a change
// notice.
constexpr int kPollMs = 100;

} // namespace

NamedEvent::~NamedEvent() {
    Close();
}

bool NamedEvent::Attach(const std::string& name, bool mustExist, bool* existed) {
    Close();
    posix::NamedObjectHold hold;
    if (!posix::AttachNamedObject(kKind, name, mustExist, existed, &hold))
        return false;
    fd_ = hold.fd;
    path_ = std::move(hold.path);
    return true;
}

bool NamedEvent::Create(const std::string& name, bool initiallySet) {
    bool existed = false;
    if (!Attach(name, false, &existed))
        return false;
    if (existed) {
        SetLastError(kErrAlreadyExists);
        return true;
    }
    // A new event, or the file of holders that are gone: it starts over.
    if (::ftruncate(fd_, 0) != 0 || !Write(initiallySet ? '1' : '0')) {
        ErrorCode error = GetLastError();
        Close();
        SetLastError(error);
        return false;
    }
    SetLastError(kErrSuccess);
    return true;
}

bool NamedEvent::Open(const std::string& name) {
    bool existed = false;
    return Attach(name, true, &existed);
}

bool NamedEvent::Write(char state) {
    if (fd_ < 0) {
        SetLastError(kErrInvalidHandle);
        return false;
    }
    if (::pwrite(fd_, &state, 1, 0) != 1) {
        posix::SetLastErrno(errno);
        return false;
    }
    return true;
}

bool NamedEvent::Set() {
    return Write('1');
}

bool NamedEvent::Reset() {
    return Write('0');
}

bool NamedEvent::IsSet() const {
    char state = 0;
    return fd_ >= 0 && ::pread(fd_, &state, 1, 0) == 1 && state == '1';
}

bool NamedEvent::Wait(int timeoutMs) const {
    if (fd_ < 0) {
        SetLastError(kErrInvalidHandle);
        return false;
    }
    int notify = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (notify >= 0 && ::inotify_add_watch(notify, path_.c_str(), IN_MODIFY) < 0) {
        ::close(notify);
        notify = -1;
    }
    const posix::Deadline deadline = posix::Deadline::In(timeoutMs);
    bool set = IsSet();
    while (!set && !deadline.Passed()) {
        const int left = deadline.PollMs();
        const int wait = left < 0 ? kPollMs : std::min(kPollMs, left);
        if (notify >= 0) {
            pollfd entry{notify, POLLIN, 0};
            if (::poll(&entry, 1, wait) > 0) {
                char events[4096];
                while (::read(notify, events, sizeof events) > 0) {
                }
            }
        } else {
            ::usleep(static_cast<useconds_t>(wait) * 1000);
        }
        set = IsSet();
    }
    if (notify >= 0)
        ::close(notify);
    if (!set)
        SetLastError(kErrWaitTimeout);
    return set;
}

void NamedEvent::Close() {
    posix::NamedObjectHold hold{fd_, std::move(path_)};
    posix::DetachNamedObject(&hold);
    fd_ = -1;
    path_.clear();
}

} // namespace plat
