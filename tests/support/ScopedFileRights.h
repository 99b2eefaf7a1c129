#pragma once
// Takes from the calling thread the rights that let an administrator read,
// write and change any file whatever its mode, for the object's lifetime:
// threads it starts meanwhile inherit the loss, so a test running as root
// meets read-only folders as a user does. Programs it starts get the rights
// back (an elevated helper in a test stays elevated). Test thread only.

namespace testsupport {

class ScopedNoFileOverride {
public:
    ScopedNoFileOverride();
    ~ScopedNoFileOverride();
    ScopedNoFileOverride(const ScopedNoFileOverride&) = delete;
    ScopedNoFileOverride& operator=(const ScopedNoFileOverride&) = delete;

    // The rights are gone now (false when they could not be taken away).
    bool Active() const { return active_; }

private:
    bool active_ = false;
    unsigned saved_[2] = {0, 0};
};

} // namespace testsupport
