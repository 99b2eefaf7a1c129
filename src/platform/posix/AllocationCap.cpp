#include "platform/AllocationCap.h"

#include <cerrno>
#include <cstdlib>

// The cap is enforced by putting malloc, calloc and realloc of this program
// in front of the C library's: shared libraries bind to the program's
// definitions first. They check the thread's cap and hand everything else to
// the C library's allocator, so free and the rest stay the library's own.
// Sanitizer builds keep their own allocator untouched.
#if defined(__SANITIZE_ADDRESS__)
#define LAUNCHER_OWN_ALLOCATOR 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer) ||                         \
    __has_feature(thread_sanitizer)
#define LAUNCHER_OWN_ALLOCATOR 0
#endif
#endif
#ifndef LAUNCHER_OWN_ALLOCATOR
#define LAUNCHER_OWN_ALLOCATOR 1
#endif

namespace {

// Zero: no cap. Constant-initialised, so reading it never allocates.
constinit thread_local std::size_t tCap = 0;

[[maybe_unused]] bool OverCap(std::size_t size) {
    return tCap != 0 && size > tCap;
}

} // namespace

#if LAUNCHER_OWN_ALLOCATOR
extern "C" {
void* __libc_malloc(std::size_t size) noexcept;
void* __libc_calloc(std::size_t count, std::size_t size) noexcept;
void* __libc_realloc(void* block, std::size_t size) noexcept;

void* malloc(std::size_t size) noexcept {
    if (OverCap(size)) {
        errno = ENOMEM;
        return nullptr;
    }
    return __libc_malloc(size);
}

void* calloc(std::size_t count, std::size_t size) noexcept {
    std::size_t total = 0;
    if (__builtin_mul_overflow(count, size, &total) || OverCap(total)) {
        errno = ENOMEM;
        return nullptr;
    }
    return __libc_calloc(count, size);
}

void* realloc(void* block, std::size_t size) noexcept {
    if (OverCap(size)) {
        errno = ENOMEM;
        return nullptr;
    }
    return __libc_realloc(block, size);
}
}
#endif

namespace plat {

CAllocationCap::CAllocationCap(std::size_t maxBytes) : previous_(tCap) {
    tCap = maxBytes;
}

CAllocationCap::~CAllocationCap() {
    tCap = previous_;
}

bool CAllocationCap::Enforced() {
    return LAUNCHER_OWN_ALLOCATOR != 0;
}

} // namespace plat
