#pragma once

// Bounds single heap allocations of the calling thread while an object of
// this class lives: a request larger than the cap fails as if memory had run
// out, instead of being reserved and filled. For third-party decoders that
// size their buffers from the bytes they decode (a hostile archive must get a
// clear error, never the machine's memory). Lives on the thread that creates
// it; caps nest, the innermost one holds until it ends.

#include <cstddef>

namespace plat {

class CAllocationCap {
public:
    explicit CAllocationCap(std::size_t maxBytes);
    ~CAllocationCap();
    CAllocationCap(const CAllocationCap&) = delete;
    CAllocationCap& operator=(const CAllocationCap&) = delete;

    // False in builds whose allocator belongs to a sanitizer: there the cap
    // is not enforced (the sanitizer's own allocation limit stands in). False
    // on Windows too, where the C library's allocator cannot be put behind
    // the cap: callers bound the sizes they allocate themselves.
    static bool Enforced();

private:
    std::size_t previous_;
};

} // namespace plat
