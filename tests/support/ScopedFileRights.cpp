#include "support/ScopedFileRights.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace testsupport {

namespace {

// The rights that pass over a file's mode: writing and reading it, searching
// its folder, and acting as its owner.
constexpr unsigned kOverrides =
    (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER);

bool GetCaps(__user_cap_data_struct* data) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(SYS_capget, &header, data) == 0;
}

bool SetCaps(__user_cap_data_struct* data) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(SYS_capset, &header, data) == 0;
}

} // namespace

ScopedNoFileOverride::ScopedNoFileOverride() {
    __user_cap_data_struct data[2] = {};
    if (!GetCaps(data))
        return;
    saved_[0] = data[0].effective;
    saved_[1] = data[1].effective;
    // Only the effective set shrinks: the rights stay permitted and come
    // back when the object goes.
    data[0].effective &= ~kOverrides;
    active_ = SetCaps(data);
}

ScopedNoFileOverride::~ScopedNoFileOverride() {
    if (!active_)
        return;
    __user_cap_data_struct data[2] = {};
    if (!GetCaps(data))
        return;
    data[0].effective = saved_[0];
    data[1].effective = saved_[1];
    SetCaps(data);
}

} // namespace testsupport
